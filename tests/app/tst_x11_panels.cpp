// The panels on a real X display with a window manager: the global shortcut, giving the
// keyboard back, hiding when another window takes over, dragging the floating button, and its
// place across a display going away and coming back.
#include "AppHarness.h"
#include "DesktopTools.h"
#include "X11KeyEvents.h"

#include "app/FloatingButtonPresenter.h"
#include "app/GalleryPresenter.h"
#include "app/ShortcutCoordinator.h"
#include "platform/Displays.h"
#include "settings/FloatingPosition.h"
#include "settings/Preferences.h"
#include "ui/design/BrimfoldPanel.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace apptest;
using namespace desktop;

namespace {

void pressHotKey() { xdotool({"key", "ctrl+shift+g"}); }

// The window that has the keyboard. None while the window manager moves the focus: a key
// pressed then reaches no client, not even through a grab.
xcb_window_t inputFocus()
{
    xcb_connection_t *connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    xcb_get_input_focus_reply_t *reply = xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    const xcb_window_t focus = reply ? reply->focus : XCB_NONE;
    std::free(reply);
    return focus;
}

bool galleryHasKeyboard(AppController &c)
{
    return c.gallery().panel() && QGuiApplication::focusWindow() == c.gallery().panel()->windowHandle();
}

// The whole X screen, which the tests split into two displays side by side.
QSize rootSize()
{
    xcb_connection_t *connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const xcb_screen_t *root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    return QSize(root->width_in_pixels, root->height_in_pixels);
}

void setMonitors(bool twoDisplays)
{
    for (const char *name : {"RIGHT", "LEFT"}) {
        const bool right = name[0] == 'R';
        const int width = rootSize().width() / 2;
        const QString geometry = QStringLiteral("%1/254x%2/286+%3+0").arg(width).arg(rootSize().height()).arg(right ? width : 0);
        run("xrandr", twoDisplays ? QStringList{"--setmonitor", name, geometry, right ? "none" : "screen"}
                                  : QStringList{"--delmonitor", name});
    }
}

// Drags with the left button from `start` to `end` in six moves; false when `follows`, asked
// after each move, did not come to hold.
bool drag(QPoint start, QPoint end, const std::function<bool(QPoint)> &follows = {})
{
    xdotool({"mousemove", QString::number(start.x()), QString::number(start.y())});
    xdotool({"mousedown", "1"});
    bool followed = true;
    for (int step = 1; step <= 6; ++step) {
        const QPoint at = start + (end - start) * step / 6;
        xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
        followed = followed && (!follows || QTest::qWaitFor([&] { return follows(at); }, 5000));
    }
    xdotool({"mouseup", "1"});
    return followed;
}

} // namespace

class TestPanels final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The hot key opens and closes the gallery and gives the keyboard back, also when a new
    // shortcut another program holds was refused.
    void hotKeyOpensAndClosesAndGivesTheKeyboardBack()
    {
        const OtherX11Client taken(xcb_keysym_t(0x006b), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
        QVERIFY(taken.held);
        OtherWindow other;
        QVERIFY(other.id != 0);
        App app(Desktop::x11, false);
        QVERIFY(app.start(4));
        AppController &c = *app.controller;
        QVERIFY(!c.shortcuts().shortcutError());
        c.shortcuts().setShortcut(Shortcut{40, VirtualKey::controlModifier | VirtualKey::altModifier, QStringLiteral("K")});
        QCOMPARE(c.shortcuts().shortcutError(),
                 std::optional<QString>(QStringLiteral("That shortcut is unavailable. Try a different combination.")));
        QCOMPARE(c.preferences().shortcut(), Shortcut());
        other.activate();
        QTRY_COMPARE(activeWindow(), other.id);

        pressHotKey();
        QTRY_VERIFY(c.gallery().isShown());
        QTRY_VERIFY(galleryHasKeyboard(c));
        pressHotKey();
        QTRY_VERIFY(!c.gallery().panel()->isVisible());
        QTRY_COMPARE(activeWindow(), other.id);

        // Escape with an empty search hides it the same way, once the keyboard is back with
        // the other window (until then a key may reach no client), and this program has seen
        // it go (else the gallery would seem to have it before it shows).
        QTRY_COMPARE(quint64(inputFocus()), other.id);
        QTRY_VERIFY(!galleryHasKeyboard(c));
        pressHotKey();
        QTRY_VERIFY(c.gallery().isShown());
        QTRY_VERIFY(galleryHasKeyboard(c));
        xdotool({"key", "Escape"});
        QTRY_VERIFY(!c.gallery().panel()->isVisible());
        QTRY_COMPARE(activeWindow(), other.id);
    }

    // A press while the gallery fades out brings it back, and keeps it while the key is held:
    // the hot key's grab has the keyboard then, which is no other window taking over.
    void aPressDuringTheFadeOutBringsItBack()
    {
        // Without key repeats, whose releases would end the grab each time.
        run("xset", {"r", "off"});
        const auto restore = qScopeGuard([] { run("xset", {"r", "on"}); });
        App app(Desktop::x11, false);
        QVERIFY(app.start(2));
        AppController &c = *app.controller;
        GalleryPresenter &gallery = c.gallery();
        // A fade-out the second press surely lands in, and no grace for a keyboard gone elsewhere.
        GalleryPresenter::Timing timing = gallery.timing();
        timing.hideMs = 60000;
        timing.focusGraceMs = 0;
        gallery.setTiming(timing);
        pressHotKey();
        QTRY_VERIFY(galleryHasKeyboard(c));

        X11KeyEvents keys('g');
        QSignalSpy presses(app.x11HotKeys, &HotKeySource::pressed);
        QSignalSpy hidden(&gallery, &GalleryPresenter::hidden);
        pressHotKey();
        QTRY_VERIFY(gallery.isHiding());
        xdotool({"keydown", "ctrl+shift+g"});
        auto keyUp = qScopeGuard([] { xdotool({"keyup", "ctrl+shift+g"}); });
        QTRY_VERIFY(gallery.isShown() && gallery.panel()->windowOpacity() == 1.0);
        // Qt stops waiting for the keyboard to come back to its window while the grab holds it.
        QTRY_VERIFY(!QGuiApplication::focusWindow());
        keyUp.dismiss();
        xdotool({"keyup", "ctrl+shift+g"});
        QTRY_VERIFY(galleryHasKeyboard(c));
        // Every event of both presses has been handled: one toggle each.
        QVERIFY(keys.sync());
        QCOMPARE(presses.count(), 2);
        QVERIFY(gallery.isShown());
        QVERIFY(hidden.isEmpty());
    }

    void anotherWindowTakingOverHidesIt()
    {
        OtherWindow other;
        App app(Desktop::x11, true);
        QVERIFY(app.start(2));
        AppController &c = *app.controller;
        c.gallery().show(false);
        QTRY_VERIFY(galleryHasKeyboard(c));
        other.activate();
        QTRY_VERIFY(!c.gallery().panel()->isVisible());
        QCOMPARE(activeWindow(), other.id);
    }

    void draggingTheButtonMovesItAndRemembersWhere()
    {
        App app(Desktop::x11, true);
        QVERIFY(app.start(2));
        AppController &c = *app.controller;
        BrimfoldPanel *panel = c.floating().panel();
        QVERIFY(panel);
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        const std::optional<FloatingPosition> first = c.preferences().floatingPosition();
        QVERIFY(first);

        const QPoint end = panel->geometry().center() + QPoint(-420, -260);
        // It follows the pointer.
        QVERIFY(drag(panel->geometry().center(), end,
                     [&](QPoint at) { return (panel->geometry().center() - at).manhattanLength() < 40; }));

        QTRY_VERIFY(c.preferences().floatingPosition() != first);
        QTRY_VERIFY((panel->geometry().center() - end).manhattanLength() < 40);
        // What is stored is where the panel rests, in fractions of its display.
        const Displays::Display display = *c.services().displays->activeDisplay();
        const QRectF frame = c.services().displays->fromScreenRect(QRectF(panel->geometry()));
        const FloatingPosition stored = *c.preferences().floatingPosition();
        const FloatingPosition expected = FloatingPosition::fromFrame(display.id, frame, display.visibleFrame);
        QCOMPARE(stored.displayID, expected.displayID);
        QVERIFY(qAbs(stored.horizontal - expected.horizontal) < 0.01);
        QVERIFY(qAbs(stored.vertical - expected.vertical) < 0.01);
        QVERIFY(!c.gallery().isShown());
    }

    // A button dropped by hand on the second display rests on the main one while that display is
    // away and is back on exactly the same spot when it returns, with a panel reserving the top of
    // the desktop (whose work area Qt applies to a display added at run time but not to one there
    // from the start).
    void aButtonDroppedOnAnotherDisplayComesBackExactly()
    {
        QProcess dock;
        dock.start("trayer", {"--edge", "top", "--align", "left", "--widthtype", "pixel", "--width", "300", "--height",
                              "27", "--SetDockType", "true", "--SetPartialStrut", "true"});
        const auto stopDock = qScopeGuard([&] { dock.kill(); dock.waitForFinished(); });
        App app(Desktop::x11, false);
        QVERIFY(app.start(1));
        AppController &c = *app.controller;
        Displays &displays = *c.services().displays;
        QTRY_VERIFY(displays.mainDisplay()->visibleFrame.height() < displays.mainDisplay()->frame.height());
        const int middle = rootSize().width() / 2;
        setMonitors(true);
        const auto cleanup = qScopeGuard([] { setMonitors(false); });
        QTRY_COMPARE(displays.displays().size(), 2);
        BrimfoldPanel *panel = c.floating().panel();
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        // Where the stored position puts the button on the displays as they are now (on the
        // main display while its own is away).
        const auto resting = [&] {
            const FloatingPosition stored = *c.preferences().floatingPosition();
            Displays::Display on = *displays.mainDisplay();
            for (const Displays::Display &d : displays.displays()) {
                if (d.id == stored.displayID)
                    on = d;
            }
            return displays.toScreenRect(stored.frame(QSizeF(panel->size()), on.visibleFrame)).toRect().topLeft();
        };
        QTRY_COMPARE(panel->geometry().topLeft(), resting());

        QVERIFY(drag(panel->geometry().center(), QPoint(middle + 380, 300)));
        QTRY_COMPARE(c.preferences().floatingPosition()->displayID, QStringLiteral("RIGHT"));
        const FloatingPosition dropped = *c.preferences().floatingPosition();
        QTRY_COMPARE(panel->geometry().topLeft(), resting());
        const QPoint droppedAt = panel->geometry().topLeft();
        QVERIFY(droppedAt.x() >= middle);

        run("xrandr", {"--delmonitor", "RIGHT"});
        QTRY_COMPARE(displays.displays().size(), 1);
        QTRY_VERIFY(panel->geometry().right() < middle);
        QTRY_COMPARE(panel->geometry().topLeft(), resting());
        QCOMPARE(c.preferences().floatingPosition(), std::optional<FloatingPosition>(dropped));
        setMonitors(true);
        QTRY_COMPARE(displays.displays().size(), 2);
        QTRY_COMPARE(panel->geometry().topLeft(), droppedAt);
        QCOMPARE(c.preferences().floatingPosition(), std::optional<FloatingPosition>(dropped));
    }
};

QTEST_MAIN(TestPanels)
#include "tst_x11_panels.moc"
