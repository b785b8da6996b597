#include "FakeImages.h"
#include "ui/preview/PreviewWindow.h"

#include <QApplication>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>
#include <QWheelEvent>

#include <optional>

namespace {

Screenshot shot(const QString &path, QSize pixels = QSize(5120, 2880))
{
    const QDateTime when(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
    return Screenshot::withResolvedPath(path, when, when, 1000, pixels.width(), pixels.height());
}

void turnWheel(QWidget &widget, int angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               std::optional<QPointF> where = std::nullopt)
{
    const QPointF at = where.value_or(QRectF(widget.rect()).center());
    QWheelEvent event(at, widget.mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

bool bluish(const QColor &colour)
{
    return colour.blue() > colour.red() + 25;
}

} // namespace

class TestPreviewWindow : public QObject
{
    Q_OBJECT

private slots:
    void decodesInTheBackgroundDropsStaleResultsAndSaysWhenItCannot()
    {
        FakeImages images;
        images.colours.insert(QStringLiteral("/b.png"), Qt::blue);
        for (const char *path : {"/a.png", "/c.png"})
            images.setGate(QLatin1String(path));
        PreviewWindow window(images);
        QScreen *screen = QGuiApplication::primaryScreen();
        window.show(shot(QStringLiteral("/a.png")), screen);
        // Open at once, waiting on the decode rather than blocked by it.
        QVERIFY(window.isVisible());
        QCOMPARE(window.content(), PreviewWindow::Content::loading);

        window.show(shot(QStringLiteral("/b.png")), screen);
        QTRY_COMPARE(window.content(), PreviewWindow::Content::image);
        images.open(QStringLiteral("/a.png"));
        QTRY_VERIFY(!window.isDecoding());
        QCOMPARE(window.image().pixelColor(0, 0), QColor(Qt::blue));
        QVERIFY(!images.threads.contains(QThread::currentThread()));
        const QRect area = screen->availableGeometry();
        const qreal screenSide = std::max(area.width(), area.height()) * screen->devicePixelRatio();
        QVERIFY(images.largestSide > 0 && images.largestSide <= screenSide);
        QVERIFY((window.geometry().center() - area.center()).manhattanLength() <= 2);

        // Closed while decoding: the late picture is not kept.
        window.show(shot(QStringLiteral("/c.png")), screen);
        window.hide();
        images.open(QStringLiteral("/c.png"));
        QTRY_VERIFY(!window.isDecoding());
        QVERIFY(window.image().isNull());

        // A file that cannot be decoded says so: a message on the backdrop, not an empty dark box.
        images.failing.insert(QStringLiteral("/a.broken"));
        window.show(shot(QStringLiteral("/a.broken")), screen);
        QTRY_COMPARE(window.content(), PreviewWindow::Content::unavailable);
        const QImage picture = window.grab().toImage();
        int light = 0;
        for (int y = picture.height() / 4; y < picture.height() * 3 / 4; ++y) {
            for (int x = picture.width() / 4; x < picture.width() * 3 / 4; ++x)
                light += picture.pixelColor(x, y).lightness() > 150 ? 1 : 0;
        }
        QVERIFY2(light > 50, qPrintable(QString::number(light)));
    }

    void closesAndLetsThePictureGo_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"escape", "space", "click", "close", "toggle"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }

    void closesAndLetsThePictureGo()
    {
        QFETCH(QString, how);
        FakeImages images;
        PreviewWindow window(images);
        const Screenshot item = shot(QStringLiteral("/a.png"));
        window.toggle(item);
        QTRY_COMPARE(window.content(), PreviewWindow::Content::image);
        QSignalSpy closed(&window, &PreviewWindow::closed);

        if (how == QLatin1String("escape"))
            QTest::keyClick(&window, Qt::Key_Escape);
        else if (how == QLatin1String("space"))
            QTest::keyClick(&window, Qt::Key_Space);
        else if (how == QLatin1String("click")) {
            QTest::mouseClick(&window, Qt::LeftButton, {}, window.rect().center());
            QTRY_VERIFY(!window.isVisible()); // once no second click can make it a double-click
        }
        else if (how == QLatin1String("close"))
            window.close();
        else
            window.toggle(item);
        window.hide();

        QVERIFY(!window.isVisible());
        QCOMPARE(closed.count(), 1);
        QVERIFY(window.image().isNull());
    }

    void largePictureOpensOnTheFirstWordFoundAndSteps()
    {
        FakeImages images;
        PreviewWindow window(images);
        QScreen *screen = QGuiApplication::primaryScreen();
        // In reading order: by the top left corner, in the middle, by the bottom right corner.
        const QList<QRectF> found{QRectF(0.02, 0.02, 0.05, 0.01), QRectF(0.5, 0.5, 0.04, 0.01),
                                  QRectF(0.95, 0.97, 0.04, 0.01)};
        window.show(shot(QStringLiteral("/big.png")), screen, found);
        QTRY_COMPARE(window.content(), PreviewWindow::Content::image);
        // Shown at its own size, so decoded whole rather than at the window's size.
        QCOMPARE(images.largestSide, 5120);
        const QRectF well(window.imageRect());
        QCOMPARE(window.pictureRect().size(), QSizeF(window.image().size()) / screen->devicePixelRatio());
        QVERIFY(window.pictureRect().width() > well.width());
        // The first word is by the corner: the picture's corner stops at the window's.
        QCOMPARE(window.highlights().current(), 0);
        QCOMPARE(window.pictureRect().topLeft(), well.topLeft());
        QVERIFY(well.contains(window.highlightRects().at(0)));

        QTest::keyClick(&window, Qt::Key_Return);
        QCOMPARE(window.highlights().current(), 1);
        QVERIFY((window.highlightRects().at(1).center() - well.center()).manhattanLength() < 1);
        QTest::keyClick(&window, Qt::Key_Tab);
        QCOMPARE(window.pictureRect().bottomRight(), well.bottomRight());
        QVERIFY(well.contains(window.highlightRects().at(2)));
        QTest::keyClick(&window, Qt::Key_Tab); // round to the first
        QCOMPARE(window.highlights().current(), 0);
        QTest::keyClick(&window, Qt::Key_Backtab);
        QCOMPARE(window.highlights().current(), 2);
        QTest::keyClick(&window, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(window.highlights().current(), 1);

        // The wheel moves the picture up to its edge, and turning back moves it at once.
        const QRectF middle = window.pictureRect();
        turnWheel(window, -120);
        QCOMPARE(window.pictureRect().top(), middle.top() - 60);
        for (int i = 0; i < 100; ++i)
            turnWheel(window, -120);
        QCOMPARE(window.pictureRect().bottom(), well.bottom());
        turnWheel(window, 120);
        QCOMPARE(window.pictureRect().bottom(), well.bottom() + 60);
        // Stepping brings the word back into view.
        QTest::keyClick(&window, Qt::Key_Return);
        QVERIFY(well.contains(window.highlightRects().at(2)));

        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }

    void picturesThatFitOrHaveNoWordsFoundAreFitted()
    {
        FakeImages images;
        images.sizes.insert(QStringLiteral("/small.png"), QSize(300, 200));
        PreviewWindow window(images);
        QScreen *screen = QGuiApplication::primaryScreen();
        const qreal ratio = screen->devicePixelRatio();

        // Small: at its own size in the middle, the mark on the word's place.
        window.show(shot(QStringLiteral("/small.png"), QSize(300, 200)), screen, {QRectF(0.5, 0.25, 0.25, 0.1)});
        QTRY_COMPARE(window.content(), PreviewWindow::Content::image);
        const QRectF picture = window.pictureRect();
        QCOMPARE(picture.size(), QSizeF(300, 200) / ratio);
        QCOMPARE(picture.center(), QRectF(window.imageRect()).center());
        const QRectF mark(picture.x() + 150 / ratio, picture.y() + 50 / ratio, 75 / ratio, 20 / ratio);
        QCOMPARE(window.highlightRects(), QList<QRectF>{mark});
        const QImage drawn = window.grab().toImage();
        QVERIFY(bluish(drawn.pixelColor((mark.center() * ratio).toPoint())));
        QVERIFY(!bluish(drawn.pixelColor(((picture.topLeft() + QPointF(20, 20)) * ratio).toPoint())));
        // Shown at its own size either way: there is no zoom to speak of.
        window.setZoom(PreviewWindow::Zoom::actualSize);
        QVERIFY(window.zoomLabel().isEmpty());

        // Large without words found: fitted whole, decoded at the window's size, and the keys
        // that step do nothing.
        window.show(shot(QStringLiteral("/big.png")), screen);
        QTRY_COMPARE(window.content(), PreviewWindow::Content::image);
        QVERIFY(QRectF(window.imageRect()).adjusted(-0.5, -0.5, 0.5, 0.5).contains(window.pictureRect()));
        QVERIFY(images.largestSide < 5120);
        QCOMPARE(window.zoom(), PreviewWindow::Zoom::fit);
        QVERIFY(window.zoomLabel().isEmpty());
        QTest::keyClick(&window, Qt::Key_Return);
        QTest::keyClick(&window, Qt::Key_Tab);
        QVERIFY(window.isVisible());
        QCOMPARE(window.highlights().current(), -1);
        QVERIFY(window.highlightRects().isEmpty());

        // Zoomed to its own size at once, sharp once the whole picture is decoded; the window
        // stays put, and the whole picture is decoded only once.
        const QRect frame = window.geometry();
        window.setZoom(PreviewWindow::Zoom::actualSize);
        QCOMPARE(window.pictureRect().width(), 5120 / ratio);
        QCOMPARE(window.zoomLabel(), QStringLiteral("100%"));
        QTRY_COMPARE(window.image().width(), 5120);
        QCOMPARE(window.pictureRect().width(), 5120 / ratio);
        QCOMPARE(window.geometry(), frame);
        QCOMPARE(images.calls(QStringLiteral("/big.png")), 2);
        window.setZoom(PreviewWindow::Zoom::fit);
        window.setZoom(PreviewWindow::Zoom::actualSize);
        QCOMPARE(images.calls(QStringLiteral("/big.png")), 2);
    }

    void switchesBetweenFittedAndOwnSize_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"f and 1", "ctrl+0 and plus", "minus and equals", "ctrl+wheel", "double-click"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }

    void switchesBetweenFittedAndOwnSize()
    {
        QFETCH(QString, how);
        FakeImages images;
        PreviewWindow window(images);
        QScreen *screen = QGuiApplication::primaryScreen();
        const QList<QRectF> found{QRectF(0.1, 0.1, 0.05, 0.01), QRectF(0.8, 0.7, 0.04, 0.02)};
        window.show(shot(QStringLiteral("/big.png")), screen, found);
        QTRY_COMPARE(window.content(), PreviewWindow::Content::image);
        const QRectF well(window.imageRect());
        QCOMPARE(window.zoom(), PreviewWindow::Zoom::actualSize);
        QCOMPARE(window.zoomLabel(), QStringLiteral("100%"));
        const QSizeF own = window.pictureRect().size();
        QTest::keyClick(&window, Qt::Key_Tab);

        // A double-click's first press must not close the window; a 0 ms wait shows it at once.
        QStyleHints *hints = QGuiApplication::styleHints();
        const auto restore = qScopeGuard(
            [hints, interval = hints->mouseDoubleClickInterval()] { hints->setMouseDoubleClickInterval(interval); });
        hints->setMouseDoubleClickInterval(0);
        const auto zoom = [&](bool in, QPointF at) {
            if (how == QLatin1String("f and 1"))
                QTest::keyClick(&window, in ? Qt::Key_1 : Qt::Key_F);
            else if (how == QLatin1String("ctrl+0 and plus"))
                QTest::keyClick(&window, in ? Qt::Key_Plus : Qt::Key_0, in ? Qt::ShiftModifier : Qt::ControlModifier);
            else if (how == QLatin1String("minus and equals"))
                QTest::keyClick(&window, in ? Qt::Key_Equal : Qt::Key_Minus, Qt::ControlModifier);
            else if (how == QLatin1String("ctrl+wheel"))
                turnWheel(window, in ? 120 : -120, Qt::ControlModifier, at);
            else {
                // As the window system sends it: a click, then the second press as a double-click.
                QTest::mouseClick(&window, Qt::LeftButton, {}, at.toPoint());
                QTest::mouseDClick(&window, Qt::LeftButton, {}, at.toPoint());
                QTest::mouseRelease(&window, Qt::LeftButton, {}, at.toPoint());
            }
            QCoreApplication::processEvents();
        };

        zoom(false, well.center());
        QVERIFY(window.isVisible());
        QCOMPARE(window.zoom(), PreviewWindow::Zoom::fit);
        QVERIFY(window.zoomLabel().isEmpty());
        const QRectF fitted = window.pictureRect();
        QVERIFY(well.adjusted(-0.5, -0.5, 0.5, 0.5).contains(fitted));
        QVERIFY(fitted.width() < own.width());
        // The marks stay on their words.
        const QRectF word = window.highlightRects().at(1);
        QCOMPARE(word.center(), fitted.topLeft() + QPointF(0.82 * fitted.width(), 0.71 * fitted.height()));

        // Zoomed in with the pointer, the spot under it stays there; with a key, it shows the
        // current word.
        const QPointF at = (fitted.topLeft() + QPointF(0.25 * fitted.width(), 0.4 * fitted.height())).toPoint();
        const QPointF spot((at.x() - fitted.left()) / fitted.width(), (at.y() - fitted.top()) / fitted.height());
        zoom(true, at);
        QVERIFY(window.isVisible());
        QCOMPARE(window.zoomLabel(), QStringLiteral("100%"));
        const QRectF shown = window.pictureRect();
        QCOMPARE(shown.size(), own);
        if (how == QLatin1String("ctrl+wheel") || how == QLatin1String("double-click")) {
            const QPointF under = shown.topLeft() + QPointF(spot.x() * shown.width(), spot.y() * shown.height());
            QVERIFY((under - at).manhattanLength() < 1);
        } else {
            QVERIFY(well.contains(window.highlightRects().at(1)));
        }
    }
};

QTEST_MAIN(TestPreviewWindow)
#include "tst_previewwindow.moc"
