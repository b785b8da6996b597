#include "FakeImages.h"
#include "core/Screenshot.h"
#include "platform/ImageServices.h"
#include "ui/PreviewWindow.h"

#include <QHash>
#include <QMutex>
#include <QScreen>
#include <QSemaphore>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

Screenshot shot(const QString &path)
{
    const QDateTime when(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
    return Screenshot::withResolvedPath(path, when, when, 1000, 5120, 2880);
}

} // namespace

class TestPreviewWindow : public QObject
{
    Q_OBJECT

private slots:
    void decodesInTheBackgroundAndDropsStaleResults();
    void closesAndLetsThePictureGo_data();
    void closesAndLetsThePictureGo();
    void undecodableFileSaysSo();
};

void TestPreviewWindow::decodesInTheBackgroundAndDropsStaleResults()
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
}

void TestPreviewWindow::closesAndLetsThePictureGo_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"escape", "space", "click", "close", "toggle"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

void TestPreviewWindow::closesAndLetsThePictureGo()
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
    else if (how == QLatin1String("click"))
        QTest::mouseClick(&window, Qt::LeftButton, {}, window.rect().center());
    else if (how == QLatin1String("close"))
        window.close();
    else
        window.toggle(item);
    window.hide();

    QVERIFY(!window.isVisible());
    QCOMPARE(closed.count(), 1);
    QVERIFY(window.image().isNull());
}

void TestPreviewWindow::undecodableFileSaysSo()
{
    FakeImages images;
    images.failing.insert(QStringLiteral("/a.broken"));
    PreviewWindow window(images);
    window.show(shot(QStringLiteral("/a.broken")));
    QTRY_COMPARE(window.content(), PreviewWindow::Content::unavailable);

    // A message on the backdrop, not an empty dark box.
    const QImage picture = window.grab().toImage();
    int light = 0;
    for (int y = picture.height() / 4; y < picture.height() * 3 / 4; ++y) {
        for (int x = picture.width() / 4; x < picture.width() * 3 / 4; ++x)
            light += picture.pixelColor(x, y).lightness() > 150 ? 1 : 0;
    }
    QVERIFY2(light > 50, qPrintable(QString::number(light)));
}

QTEST_MAIN(TestPreviewWindow)
#include "tst_previewwindow.moc"
