// The global shortcut in a Wayland session: the grab serves until the desktop's portal binds
// the shortcut, and takes over again whenever the desktop says no.
#include "FakeHotKeys.h"
#include "FakeShortcutPortal.h"

#include "platform/HotKeySource.h"
#include "platform/portal/PortalHotKeySource.h"
#include "settings/GlobalShortcut.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

const Shortcut ctrlShiftG;
const Shortcut ctrlAltK{VirtualKey::K, VirtualKey::controlModifier | VirtualKey::altModifier, QStringLiteral("K")};

bool holds(const FakeHotKeys &grabs, const Shortcut &shortcut)
{
    return grabs.held && grabs.held->keyCode == shortcut.keyCode && grabs.held->modifiers == shortcut.modifiers;
}

} // namespace

class TestDesktopShortcut final : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeShortcutPortal> m_portal;
    FakeHotKeys *m_grabs = nullptr;
    std::unique_ptr<GlobalShortcut> m_shortcut;

    void makeShortcut()
    {
        auto grabs = std::make_unique<FakeHotKeys>();
        m_grabs = grabs.get();
        m_shortcut = std::make_unique<GlobalShortcut>(
            std::move(grabs), std::make_unique<PortalHotKeySource>(m_bus->connect(QStringLiteral("client"))));
    }

private slots:
    void init()
    {
        if (!startPortal(m_bus, m_portal))
            QSKIP("needs dbus-daemon");
        QVERIFY(m_portal->isServing());
    }

    void cleanup()
    {
        m_shortcut.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        m_portal.reset();
        m_bus.reset();
    }

    void grabUntilTheDesktopBinds()
    {
        makeShortcut();
        QSignalSpy answers(m_shortcut.get(), &GlobalShortcut::desktopAnswered);
        QSignalSpy pressed(m_shortcut.get(), &GlobalShortcut::pressed);
        QVERIFY(m_shortcut->registerShortcut(ctrlShiftG));
        m_shortcut->bindWithDesktop(ctrlShiftG);
        QVERIFY(holds(*m_grabs, ctrlShiftG));
        QCOMPARE(m_shortcut->desktopTrigger(), std::nullopt);

        QTRY_COMPARE(answers.count(), 1);
        QCOMPARE(answers.at(0).at(0).value<GlobalShortcut::DesktopAnswer>(), GlobalShortcut::DesktopAnswer::bound);
        // One press must not count twice.
        QVERIFY(!m_grabs->held);
        QCOMPARE(m_shortcut->registered(), ctrlShiftG);
        QCOMPARE(m_shortcut->desktopTrigger(), QStringLiteral("Press Ctrl+Shift+G"));
        m_portal->activate(m_portal->lastSession());
        QTRY_COMPARE(pressed.count(), 1);

        // Asking for another: the old one is grabbed again while the desktop decides.
        m_shortcut->bindWithDesktop(ctrlAltK);
        QVERIFY(holds(*m_grabs, ctrlShiftG));
        QCOMPARE(m_shortcut->desktopTrigger(), std::nullopt);
        QTRY_COMPARE(answers.count(), 2);
        QVERIFY(!m_grabs->held);
        QCOMPARE(m_shortcut->registered(), ctrlAltK);
    }

    void refusedOrAbsentKeepsTheGrab_data()
    {
        QTest::addColumn<bool>("portalServes");
        QTest::addColumn<GlobalShortcut::DesktopAnswer>("answer");
        QTest::newRow("refused") << true << GlobalShortcut::DesktopAnswer::refused;
        QTest::newRow("no portal") << false << GlobalShortcut::DesktopAnswer::unavailable;
    }

    void refusedOrAbsentKeepsTheGrab()
    {
        QFETCH(bool, portalServes);
        QFETCH(GlobalShortcut::DesktopAnswer, answer);
        m_portal->bindResponse = 1;
        if (!portalServes)
            m_portal.reset();
        makeShortcut();
        QSignalSpy answers(m_shortcut.get(), &GlobalShortcut::desktopAnswered);
        QSignalSpy pressed(m_shortcut.get(), &GlobalShortcut::pressed);
        QVERIFY(m_shortcut->registerShortcut(ctrlShiftG));
        if (portalServes)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^the desktop refused the shortcut")));
        m_shortcut->bindWithDesktop(ctrlAltK);
        QTRY_COMPARE(answers.count(), 1);
        QCOMPARE(answers.at(0).at(0).value<GlobalShortcut::DesktopAnswer>(), answer);
        QVERIFY(holds(*m_grabs, ctrlShiftG));
        QCOMPARE(m_shortcut->registered(), ctrlShiftG);
        QCOMPARE(m_shortcut->desktopTrigger(), std::nullopt);
        m_grabs->press();
        QCOMPARE(pressed.count(), 1);
    }

    // Registering by grab ends the desktop's binding: its presses stop counting.
    void registeringByGrabEndsTheBinding()
    {
        makeShortcut();
        QSignalSpy answers(m_shortcut.get(), &GlobalShortcut::desktopAnswered);
        QSignalSpy triggers(m_shortcut.get(), &GlobalShortcut::desktopTriggerChanged);
        QSignalSpy pressed(m_shortcut.get(), &GlobalShortcut::pressed);
        m_shortcut->bindWithDesktop(ctrlShiftG);
        QTRY_COMPARE(answers.count(), 1);
        QCOMPARE(triggers.count(), 1);
        const QString session = m_portal->lastSession();
        QVERIFY(m_shortcut->registerShortcut(ctrlAltK));
        QCOMPARE(triggers.count(), 2);
        QCOMPARE(m_shortcut->desktopTrigger(), std::nullopt);
        QTRY_COMPARE(m_portal->callsOf(QStringLiteral("Close")).size(), 1);
        m_portal->activate(session);
        QVERIFY(m_portal->settle(QDBusConnection(QStringLiteral("client"))));
        QCOMPARE(pressed.count(), 0);
        QVERIFY(holds(*m_grabs, ctrlAltK));
    }
};

QTEST_GUILESS_MAIN(TestDesktopShortcut)
#include "tst_desktopshortcut.moc"
