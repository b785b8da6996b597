// Writes pictures of the floating button (idle, and with the new-screenshot dot) and of the
// gallery panel opened beside it, on a desktop, with a compositor (translucent glass) and
// without one (opaque, clipped), in light and dark, into $BRIMFOLD_RENDER_DIR.
#include "AppHarness.h"
#include "DrawnScenes.h"

#include "app/FloatingButtonPresenter.h"
#include "app/GalleryPresenter.h"
#include "platform/Displays.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/floating/FloatingButton.h"
#include "ui/gallery/GalleryView.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

using namespace apptest;

namespace {

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(40, 41, 46));
    p.setColor(QPalette::WindowText, QColor(236, 236, 240));
    p.setColor(QPalette::Base, QColor(30, 31, 35));
    p.setColor(QPalette::AlternateBase, QColor(46, 47, 52));
    p.setColor(QPalette::Text, QColor(236, 236, 240));
    p.setColor(QPalette::Button, QColor(52, 53, 58));
    p.setColor(QPalette::ButtonText, QColor(236, 236, 240));
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 160));
    p.setColor(QPalette::Highlight, QColor(98, 92, 230));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

// A desktop with a window of another program, the area the panels float over.
QImage desktop(const QSize &size, bool dark)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, dark ? QColor(38, 48, 74) : QColor(118, 146, 196));
    g.setColorAt(1, dark ? QColor(70, 44, 70) : QColor(214, 170, 196));
    p.fillRect(image.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF window(120, 90, 760, 520);
    p.setPen(Qt::NoPen);
    p.setBrush(dark ? QColor(28, 29, 33) : QColor(250, 250, 252));
    p.drawRoundedRect(window, 10, 10);
    p.setBrush(dark ? QColor(44, 45, 52) : QColor(232, 233, 238));
    p.drawRoundedRect(QRectF(window.topLeft(), QSizeF(window.width(), 38)), 10, 10);
    p.setPen(dark ? QColor(150, 150, 160) : QColor(120, 120, 130));
    for (int line = 0; line < 12; ++line)
        p.drawLine(QPointF(150, 160 + line * 32), QPointF(150 + (line * 97 % 500) + 120, 160 + line * 32));
    return image;
}

// Draws a panel where it is on screen. Without a compositor (the panel is clipped) only its
// shape shows, and each pixel of it as painted, whatever its alpha: the X server shows the
// premultiplied colour of a partly transparent pixel as it is, darker than intended.
void drawPanel(QPainter &p, BrimfoldPanel &panel)
{
    QImage picture = panel.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    p.save();
    p.translate(panel.geometry().topLeft());
    if (!panel.mask().isEmpty()) {
        p.setClipRegion(panel.mask());
        picture.reinterpretAsFormat(QImage::Format_RGB32);
    }
    p.drawImage(0, 0, picture);
    p.restore();
}

} // namespace

class TestRenderPanels final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void render_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("compositor");
        QTest::newRow("light-compositor") << false << true;
        QTest::newRow("light-no-compositor") << false << false;
        QTest::newRow("dark-compositor") << true << true;
        QTest::newRow("dark-no-compositor") << true << false;
    }

    void render()
    {
        QFETCH(bool, dark);
        QFETCH(bool, compositor);
        const QString dir = qEnvironmentVariable("BRIMFOLD_RENDER_DIR");
        if (dir.isEmpty())
            QSKIP("BRIMFOLD_RENDER_DIR is not set: nothing to render");
        QVERIFY(QDir().mkpath(dir));
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());

        App app(Desktop::fake, true);
        app.accessibility->set(true, !compositor);
        const QDateTime now = QDateTime::currentDateTime();
        const QList<DrawnScreenshots::Shot> shots = DrawnScreenshots::shots();
        for (int i = 0; i < shots.size(); ++i) {
            const QString path = QDir(app.folder).filePath(shots.at(i).name);
            QVERIFY(shots.at(i).image.save(path));
            QVERIFY(TestSupport::setModificationTime(path, now.addSecs(-(i * 5400) - 60)));
        }
        app.controller->preferences().setFolderPath(app.folder);
        app.controller->preferences().setHasConnectedFolder(true);
        app.controller->start();
        QTRY_COMPARE_WITH_TIMEOUT(app.model().items().size(), shots.size(), 10000);

        BrimfoldPanel *button = app.controller->floating().panel();
        QVERIFY(button);
        QVERIFY(QTest::qWaitForWindowExposed(button));
        const QString suffix = QStringLiteral("%1-%2.png")
                                   .arg(dark ? QStringLiteral("dark") : QStringLiteral("light"),
                                        compositor ? QStringLiteral("compositor") : QStringLiteral("no-compositor"));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();

        QTest::qWait(300); // thumbnails
        QImage idle = desktop(screen.size(), dark);
        {
            QPainter p(&idle);
            drawPanel(p, *button);
        }
        QVERIFY(idle.copy(button->geometry().adjusted(-60, -60, 60, 60) & screen)
                    .save(QDir(dir).filePath(QStringLiteral("7-button-idle-") + suffix)));

        app.model().setHasNewScreenshots(true);
        QTest::qWait(300);
        QImage dot = desktop(screen.size(), dark);
        {
            QPainter p(&dot);
            drawPanel(p, *button);
        }
        QVERIFY(dot.copy(button->geometry().adjusted(-60, -60, 60, 60) & screen)
                    .save(QDir(dir).filePath(QStringLiteral("8-button-new-") + suffix)));

        app.controller->gallery().show(true);
        BrimfoldPanel *gallery = app.controller->gallery().panel();
        QVERIFY(QTest::qWaitForWindowExposed(gallery));
        QTest::qWait(600); // thumbnails of the first rows
        QImage beside = desktop(screen.size(), dark);
        {
            QPainter p(&beside);
            drawPanel(p, *button);
            drawPanel(p, *gallery);
        }
        // The two panels and a little of the desktop around them.
        const QRect area = (gallery->geometry() | button->geometry()).adjusted(-40, -40, 40, 40) & screen;
        QVERIFY(beside.copy(area).save(QDir(dir).filePath(QStringLiteral("9-gallery-beside-button-") + suffix)));
    }
};

QTEST_MAIN(TestRenderPanels)
#include "render_panels.moc"
