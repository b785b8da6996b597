// The floating button over a real library model on a temporary folder of drawn screenshots,
// driven by synthetic mouse events.

#include "LibraryModelHarness.h"
#include "FakeAccessibility.h"
#include "WindowEdges.h"

#include "SystemImages.h"
#include "ui/design/AppearancePalette.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/floating/FloatingButton.h"
#include "ui/floating/FloatingMoveButton.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QtTest>

using harness::Fixture;

namespace {

struct Button final
{
    explicit Button(bool reduceMotion = false)
        : accessibility(reduceMotion, false)
        , thumbnails(systemImages())
        , view(*f.model, *f.preferences, accessibility, thumbnails)
    {
        view.move(200, 200);
        view.show();
    }

    // Writes a screenshot newer than every earlier one.
    void addShot(const QString &name)
    {
        const QString path = f.shot(name);
        QVERIFY(!path.isEmpty());
        QVERIFY(TestSupport::setModificationTime(path, QDateTime::currentDateTime().addSecs(++written)));
    }

    // Sends a mouse event to the move button at `local`, with window and global positions.
    void mouse(QEvent::Type type, QPoint local)
    {
        FloatingMoveButton *target = view.moveButton();
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, target->mapTo(target->window(), QPointF(local)),
                          target->mapToGlobal(QPointF(local)), button, held, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    void startDrag()
    {
        mouse(QEvent::MouseButtonPress, QPoint(20, 20));
        mouse(QEvent::MouseMove, QPoint(30, 20));
        QVERIFY(view.moveButton()->isDragging());
    }

    Fixture f;
    FakeAccessibility accessibility;
    ThumbnailCache thumbnails;
    FloatingButton view;
    int written = 0;
};

QStringList titles(const QMenu &menu)
{
    QStringList result;
    for (const QAction *action : menu.actions())
        result.append(action->isSeparator() ? QStringLiteral("---") : action->text());
    return result;
}

QAction *action(const QMenu &menu, const QString &title)
{
    for (QAction *candidate : menu.actions()) {
        if (candidate->text() == title)
            return candidate;
    }
    return nullptr;
}

} // namespace

class TestFloatingButton : public QObject
{
    Q_OBJECT

private slots:
    void pressMoveRelease_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("release"); // also where the pointer moves first
        QTest::addColumn<int>("opens");
        QTest::addColumn<int>("drags");

        QTest::newRow("still click") << QPoint(20, 20) << QPoint(20, 20) << 1 << 0;
        QTest::newRow("3 px jitter opens") << QPoint(20, 20) << QPoint(23, 20) << 1 << 0;
        QTest::newRow("4 px drags") << QPoint(20, 20) << QPoint(20, 24) << 0 << 1;
        QTest::newRow("released outside") << QPoint(1, 1) << QPoint(-1, -1) << 0 << 0;
    }

    void pressMoveRelease()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, release);
        QFETCH(int, opens);
        QFETCH(int, drags);
        Button b;
        b.view.moveButton()->setPrimaryButtonProbe([] { return true; });
        QSignalSpy opened(&b.view, &FloatingButton::openRequested);
        QSignalSpy started(&b.view, &FloatingButton::moveStarted);
        QSignalSpy ended(&b.view, &FloatingButton::moveEnded);
        const QPoint windowBefore = b.view.pos();

        b.mouse(QEvent::MouseButtonPress, press);
        b.mouse(QEvent::MouseMove, release);
        QCOMPARE(started.size(), drags);
        QCOMPARE(b.view.moveButton()->cursor().shape(), drags ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
        if (drags) // offscreen cannot move windows for us, so the window follows the pointer
            QCOMPARE(b.view.pos(), windowBefore + (release - press));
        b.mouse(QEvent::MouseButtonRelease, release);

        QCOMPARE(opened.size(), opens);
        QCOMPARE(ended.size(), drags);
        QVERIFY(!b.view.moveButton()->isPolling());
        QCOMPARE(b.view.moveButton()->cursor().shape(), Qt::OpenHandCursor);
    }

    void pollEndsDragOnce()
    {
        Button b;
        bool held = true;
        int probes = 0;
        b.view.moveButton()->setPrimaryButtonProbe([&] {
            ++probes;
            return held;
        });
        QSignalSpy ended(&b.view, &FloatingButton::moveEnded);
        b.startDrag();
        QTRY_VERIFY(probes >= 3); // polled while held: no end yet
        QCOMPARE(ended.size(), 0);

        held = false; // released while the window manager held the pointer: no release event
        QVERIFY(ended.wait(1000));
        b.mouse(QEvent::MouseButtonRelease, QPoint(30, 20));

        // Hidden mid-drag: the poll stops and nobody hears of an end.
        b.startDrag();
        b.view.hide();
        QVERIFY(!b.view.moveButton()->isPolling() && !b.view.moveButton()->isDragging());
        held = false;
        QCoreApplication::processEvents();
        QCOMPARE(ended.size(), 1);
    }

    void contextMenu_data()
    {
        QTest::addColumn<bool>("withScreenshot");
        QTest::addColumn<QStringList>("expected");
        const QString tail = QStringLiteral("---|Reset position|Hide floating button|Settings…");
        QTest::newRow("empty library") << false << (QStringLiteral("Open Brimfold|") + tail).split('|');
        QTest::newRow("with a screenshot")
            << true << (QStringLiteral("Open Brimfold|Copy latest screenshot|") + tail).split('|');
    }

    void contextMenu()
    {
        QFETCH(bool, withScreenshot);
        QFETCH(QStringList, expected);
        Button b;
        if (withScreenshot)
            QVERIFY(b.f.populate({QStringLiteral("Screenshot 1.png")}));
        std::unique_ptr<QMenu> menu(b.view.createContextMenu());
        QCOMPARE(titles(*menu), expected);

        for (const auto &[title, signal] : {std::pair{"Open Brimfold", SIGNAL(openRequested())},
                                            std::pair{"Reset position", SIGNAL(resetPositionRequested())},
                                            std::pair{"Settings…", SIGNAL(settingsRequested())}}) {
            QSignalSpy spy(&b.view, signal);
            action(*menu, QString::fromUtf8(title))->trigger();
            QVERIFY2(spy.count() == 1, title);
        }
        QVERIFY(b.f.preferences->showFloatingButton());
        action(*menu, QStringLiteral("Hide floating button"))->trigger();
        QVERIFY(!b.f.preferences->showFloatingButton());
        if (!withScreenshot)
            return;

        // The copy takes the screenshot that was newest when the menu opened.
        const Screenshot before = *b.f.model->latest();
        b.addShot(QStringLiteral("Screenshot 2.png"));
        b.f.model->refresh();
        QTRY_COMPARE(b.f.model->items().size(), 2);
        QVERIFY(b.f.model->latest()->id() != before.id());
        action(*menu, QStringLiteral("Copy latest screenshot"))->trigger();
        QTRY_COMPARE(b.f.model->copyActions().copiedID(), std::optional<QString>(before.id()));
        QVERIFY(b.f.clipboard->image.has_value());
    }

    void texts()
    {
        Button b;
        QVERIFY(b.f.populate({QStringLiteral("Screenshot 1.png"), QStringLiteral("Screenshot 2.png")}));
        const FloatingMoveButton *control = b.view.moveButton();
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(b.view.moveButton());
        QVERIFY(accessible);
        QCOMPARE(accessible->role(), QAccessible::Button);

        QVERIFY(control->toolTip().startsWith(QStringLiteral("Click to open · Ctrl+Shift+G\n")));
        QCOMPARE(accessible->text(QAccessible::Description), control->toolTip());
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Open Brimfold, 2 screenshots"));

        b.f.model->setHasNewScreenshots(true);
        QVERIFY(b.view.showsDot());
        QCOMPARE(accessible->text(QAccessible::Name),
                 QStringLiteral("Open Brimfold, 2 screenshots, new screenshots available"));
        b.f.model->setHasNewScreenshots(false);
        QVERIFY(!b.view.showsDot());
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Open Brimfold, 2 screenshots"));

        b.f.preferences->setShortcut(Shortcut{VirtualKey::B, VirtualKey::altModifier, QStringLiteral("B")});
        QVERIFY(control->toolTip().startsWith(QStringLiteral("Click to open · Alt+B\n")));

        // The screen reader's press opens the gallery.
        QSignalSpy opened(&b.view, &FloatingButton::openRequested);
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(opened.wait(1000));
    }

    void arrivalsPulse_data()
    {
        QTest::addColumn<bool>("reduceMotion");
        QTest::addColumn<int>("pulses");
        QTest::newRow("motion") << false << 3;
        QTest::newRow("reduce motion") << true << 0;
    }

    void arrivalsPulse()
    {
        QFETCH(bool, reduceMotion);
        QFETCH(int, pulses);
        Button b(reduceMotion);
        QVERIFY(b.f.populate({QStringLiteral("Screenshot 0.png")}));
        QElapsedTimer clock;
        QList<qint64> durations; // of the pulses that ended
        int started = 0;
        connect(&b.view, &FloatingButton::arrivalChanged, this, [&](bool arrival) {
            if (arrival) {
                ++started;
                clock.start();
            } else {
                durations.append(clock.elapsed());
            }
        });

        for (int i = 1; i <= 3; ++i) {
            b.addShot(QStringLiteral("Screenshot %1.png").arg(i));
            b.f.model->refresh();
            QTRY_COMPARE(b.f.model->arrivalCount(), i);
            QTRY_COMPARE(durations.size(), started);
        }
        QCOMPARE(started, pulses);
        for (const qint64 duration : durations)
            QVERIFY2(duration >= FloatingButton::arrivalPulseMs - 5, qPrintable(QString::number(duration)));
        QTRY_COMPARE(b.view.currentScale(), 1.0); // springs back after each pulse
    }

    void glyphUntilAScreenshotExists()
    {
        Button b;
        QVERIFY(b.view.showsGlyph());
        QVERIFY(b.f.populate({QStringLiteral("Screenshot 1.png")}));
        QVERIFY(!b.view.showsGlyph());
        const int side = b.view.side();
        QCOMPARE(b.view.size(), QSize(side + 24, side + 24));
        QCOMPARE(b.view.moveButton()->geometry(), QRect(12, 12, side, side));
        // The card asks for a thumbnail twice the side wide, and repaints with it.
        QTRY_VERIFY(b.thumbnails.cachedImage(*b.f.model->latest(), side * 2).has_value());

        b.f.preferences->setButtonSize(FloatingButtonSize::large);
        QCOMPARE(b.view.size(), QSize(68 + 24, 68 + 24));

        // Opaque glass clips a button that is its own window; placed in a panel it must not keep
        // that clip, which would cut off the dot that comes later.
        b.accessibility.set(false, true);
        QVERIFY(!b.view.mask().isEmpty());
        QWidget panel;
        b.view.setParent(&panel);
        QVERIFY(b.view.mask().isEmpty());
        b.view.setParent(nullptr);
    }

    void hoverStraightensAndGrows()
    {
        Button b(true);
        QCOMPARE(b.view.currentTilt(), 4.0);
        QEnterEvent enter(QPointF(5, 5), QPointF(17, 17), QPointF(217, 217));
        QApplication::sendEvent(b.view.moveButton(), &enter);
        QCOMPARE(b.view.currentTilt(), 0.0);
        QCOMPARE(b.view.currentScale(), 1.035);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(b.view.moveButton(), &leave);
        QCOMPARE(b.view.currentTilt(), 4.0);
        QCOMPARE(b.view.currentScale(), 1.0);
    }

    void opaqueShapeKeepsTheRoundedGlass_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("dot");
        QTest::addColumn<FloatingButtonSize>("size");
        for (const FloatingButtonSize size : {FloatingButtonSize::compact, FloatingButtonSize::standard}) {
            for (const bool dark : {false, true}) {
                for (const bool dot : {false, true}) {
                    QTest::addRow("%s, %s%s", size == FloatingButtonSize::compact ? "compact" : "standard",
                                  dark ? "dark" : "light", dot ? ", dot" : "")
                        << dark << dot << size;
                }
            }
        }
    }

    void opaqueShapeKeepsTheRoundedGlass()
    {
        // No compositor: the window is cut to a shape of whole pixels.
        QFETCH(bool, dark);
        QFETCH(bool, dot);
        QFETCH(FloatingButtonSize, size);
        Button b(true);
        b.accessibility.set(true, true);
        b.f.preferences->setButtonSize(size);
        b.view.setPalette(dark ? AppearancePalette::dark() : AppearancePalette::light());
        b.f.model->setHasNewScreenshots(dot);
        const int side = b.view.side();
        const QRegion mask = b.view.mask();
        const QRect glass(FloatingButton::margin, FloatingButton::margin, side, side);
        if (!dot) {
            // The glass whole, with the same curve at all four corners.
            QCOMPARE(mask.boundingRect(), glass);
            QCOMPARE(WindowEdges::firstAsymmetricRow(mask), -1);
        }

        // Each edge pixel the window keeps is the glass (its rim over it) or the dot: never the
        // blend with black an unpainted pixel shows.
        const QPalette palette = b.view.palette();
        const QColor window = palette.color(QPalette::Window);
        const int floor = std::min({window.lightness(),
                                    WindowEdges::over(BrimfoldDesign::primary(palette, 0.1), window).lightness(),
                                    BrimfoldDesign::coral().lightness()}) - 4;
        const QImage shown = WindowEdges::shownWithoutCompositor(b.view);
        const QList<QPoint> darker = WindowEdges::darkerEdgePixels(shown, mask, floor);
        QVERIFY2(darker.isEmpty(), qPrintable(QStringLiteral("%1 darker, first at %2,%3")
                                                  .arg(darker.size())
                                                  .arg(darker.value(0).x())
                                                  .arg(darker.value(0).y())));
    }
};

QTEST_MAIN(TestFloatingButton)
#include "tst_floatingbutton.moc"
