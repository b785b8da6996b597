// The global shortcut on a real X server, pressed by xdotool as a user would.
#include "platform/x11/X11HotKeySource.h"
#include "settings/GlobalShortcut.h"
#include "X11KeyEvents.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

const Shortcut ctrlShiftG; // the default
const Shortcut ctrlAltH{VirtualKey::H, VirtualKey::controlModifier | VirtualKey::altModifier, QStringLiteral("H")};
constexpr quint16 ctrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
constexpr quint16 ctrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

bool xdotoolKey(const char *keys)
{
    return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)}) == 0;
}

} // namespace

class TestX11GlobalShortcut final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
            QSKIP("needs an X11 display");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("needs xdotool");
    }

    void firesWhateverNumLockSays()
    {
        GlobalShortcut shortcut(std::make_unique<X11HotKeySource>());
        QSignalSpy pressed(&shortcut, &GlobalShortcut::pressed);
        QVERIFY(shortcut.registerShortcut(ctrlShiftG));
        QVERIFY(xdotoolKey("ctrl+shift+g"));
        QTRY_COMPARE(pressed.count(), 1);
        QVERIFY(xdotoolKey("Num_Lock") && xdotoolKey("ctrl+shift+g") && xdotoolKey("Num_Lock"));
        QTRY_COMPARE(pressed.count(), 2);
    }

    void refusedShortcutLeavesNothingRegistered()
    {
        GlobalShortcut shortcut(std::make_unique<X11HotKeySource>());
        QSignalSpy pressed(&shortcut, &GlobalShortcut::pressed);
        QVERIFY(shortcut.registerShortcut(ctrlAltH));
        // Taken only with Caps Lock on: the variants granted before have to be given back.
        OtherX11Client other;
        QVERIFY(other.grab('g', ctrlShift | XCB_MOD_MASK_LOCK));
        QVERIFY(!shortcut.registerShortcut(ctrlShiftG));
        QVERIFY(!shortcut.registered());
        QVERIFY(other.grab('g', ctrlShift));
        QVERIFY(other.grab('h', ctrlAlt));

        other.ungrab('h', ctrlAlt);
        QVERIFY(shortcut.registerShortcut(ctrlAltH));
        QVERIFY(xdotoolKey("ctrl+alt+h"));
        QTRY_COMPARE(pressed.count(), 1);
    }

    void registeringReplacesTheOldShortcut()
    {
        GlobalShortcut shortcut(std::make_unique<X11HotKeySource>());
        QSignalSpy pressed(&shortcut, &GlobalShortcut::pressed);
        QVERIFY(shortcut.registerShortcut(ctrlAltH));
        QVERIFY(shortcut.registerShortcut(ctrlShiftG));
        // Free for others, so its presses go to them: a grab is exclusive.
        OtherX11Client other;
        QVERIFY(other.grab('h', ctrlAlt));
        QVERIFY(!other.grab('g', ctrlShift));
        QVERIFY(xdotoolKey("ctrl+alt+h") && xdotoolKey("ctrl+shift+g"));
        QTRY_COMPARE(pressed.count(), 1);
    }

    // Held keys repeat, also as a release and a press each time: still one press.
    void heldKeysPressOnce()
    {
        // Repeating soon after the key goes down; the server's default again afterwards.
        QCOMPARE(QProcess::execute(QStringLiteral("xset"), {"r", "rate", "100", "50"}), 0);
        const auto restore = qScopeGuard([] { QProcess::execute(QStringLiteral("xset"), {"r", "rate"}); });
        GlobalShortcut shortcut(std::make_unique<X11HotKeySource>());
        QSignalSpy pressed(&shortcut, &GlobalShortcut::pressed);
        QSignalSpy held(&shortcut, &GlobalShortcut::heldChanged);
        QVERIFY(shortcut.registerShortcut(ctrlShiftG));
        X11KeyEvents keys('g');
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("ctrl+shift+g")}), 0);
        QTRY_VERIFY(keys.presses >= 3);
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("ctrl+shift+g")}), 0);
        QVERIFY(keys.sync());
        QCOMPARE(pressed.count(), 1);
        QVERIFY(!held.isEmpty());
        QCOMPARE(held.first().first().toBool(), true);
        QCOMPARE(held.last().first().toBool(), false);
        // Released, the next press is a new one.
        QVERIFY(xdotoolKey("ctrl+shift+g"));
        QTRY_COMPARE(pressed.count(), 2);
    }

    // Shift+1 types "!" but is still the "1" key.
    void shortcutMatchesTheUnshiftedKey()
    {
        xcb_connection_t *x = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        const Shortcut ctrlShift1{VirtualKey::Digit1, ctrlShiftG.modifiers, QStringLiteral("1")};
        const auto pressOf = [x](xcb_keysym_t unshifted) {
            return QKeyEvent(QEvent::KeyPress, Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier,
                             keycodeOf(x, unshifted), '!', ctrlShift);
        };
        QVERIFY(ctrlShift1.matches(pressOf('1')));
        QVERIFY(!ctrlShift1.matches(pressOf('2')));
    }
};

QTEST_MAIN(TestX11GlobalShortcut)
#include "tst_x11_globalshortcut.moc"
