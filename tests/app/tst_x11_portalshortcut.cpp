// The real program with a fake desktop portal on a private session bus: in a Wayland session
// the desktop's presses open and close the gallery; in an X11 session the portal is left alone.
#include "DesktopTools.h"
#include "FakeShortcutPortal.h"
#include "X11KeyEvents.h"

#include "platform/portal/ReopenChannel.h"

#include <QDBusConnectionInterface>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Whether another client holds Ctrl+Shift+G: a grab of our own is refused.
bool ctrlShiftGIsGrabbed() { return !OtherX11Client().grab('g', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT); }

int visibleGalleries(qint64 pid) { return int(desktop::visibleWindows(QStringLiteral("Brimfold"), pid).size()); }

} // namespace

class TestX11PortalShortcut final : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeShortcutPortal> m_portal;
    QTemporaryDir m_folder;
    QProcess m_program;
    QByteArray m_errors; // what the program wrote to standard error so far

    bool grabbed()
    {
        m_errors += m_program.readAllStandardError();
        return m_errors.contains("brimfold.platform.hotkey: grabbed");
    }

    // Starts the program on the private bus, as in a session of `sessionType`.
    void start(const QString &sessionType)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus->address());
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), sessionType);
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        // The program says when its grab is in place, so the test never probes the key before it.
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("brimfold.platform.hotkey.debug=true"));
        m_program.setProcessEnvironment(environment);
        m_program.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        m_errors.clear();
        m_program.start(QStringLiteral(BRIMFOLD_EXECUTABLE), {});
        QVERIFY(m_program.waitForStarted());
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("needs xdotool");
        QVERIFY(!desktop::writeConnectedSettings(m_folder.path()).isEmpty());
    }

    void init()
    {
        if (!startPortal(m_bus, m_portal))
            QSKIP("needs dbus-daemon");
        QVERIFY(m_portal->isServing());
    }

    void cleanup()
    {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.terminate();
            QVERIFY(m_program.waitForFinished(10000));
            QCOMPARE(m_program.exitCode(), 0);
        }
        m_portal.reset();
        m_bus.reset();
    }

    void waylandSessionUsesTheDesktopsShortcut()
    {
        start(QStringLiteral("wayland"));
        QTRY_COMPARE_WITH_TIMEOUT(m_portal->callsOf(QStringLiteral("BindShortcuts")).size(), 1, 15000);
        const FakeShortcutPortal::Call bind = m_portal->callsOf(QStringLiteral("BindShortcuts")).at(0);
        QCOMPARE(bind.session, m_portal->lastSession());
        QCOMPARE(visibleGalleries(m_program.processId()), 0);

        m_portal->activate(bind.session);
        QTRY_COMPARE_WITH_TIMEOUT(visibleGalleries(m_program.processId()), 1, 15000);
        m_portal->activate(bind.session);
        QTRY_COMPARE_WITH_TIMEOUT(visibleGalleries(m_program.processId()), 0, 15000);

        // The grab was given up once the desktop had the shortcut, so a press counts once.
        QTRY_VERIFY_WITH_TIMEOUT(!ctrlShiftGIsGrabbed(), 15000);
    }

    void x11SessionNeverCallsThePortal()
    {
        start(QStringLiteral("x11"));
        QDBusConnection bus = m_bus->connect(QStringLiteral("watcher"));
        QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(ReopenChannel::serviceName()), 15000);
        QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
        // Probing the key before the program's own grab could take it first.
        QTRY_VERIFY_WITH_TIMEOUT(grabbed(), 15000);
        QVERIFY(ctrlShiftGIsGrabbed());
        desktop::key("ctrl+shift+g");
        QTRY_COMPARE_WITH_TIMEOUT(visibleGalleries(m_program.processId()), 1, 15000);
        QCOMPARE(m_portal->calls.size(), 0);
        QCOMPARE(m_portal->versionReads, 0);
    }
};

QTEST_GUILESS_MAIN(TestX11PortalShortcut)
#include "tst_x11_portalshortcut.moc"
