// The desktop portal's global shortcuts, against a fake portal on a private bus: what is asked
// of the desktop, and how each of its answers ends.
#include "FakeShortcutPortal.h"

#include "core/VirtualKey.h"
#include "platform/portal/PortalHotKeySource.h"

#include <QSignalSpy>
#include <QTest>

using namespace VirtualKey;

class TestPortalHotKeySource final : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeShortcutPortal> m_portal;
    int m_connections = 0;

    // A client connection of its own each time: every source has its own bus name.
    std::unique_ptr<PortalHotKeySource> source()
    {
        return std::make_unique<PortalHotKeySource>(m_bus->connect(QStringLiteral("client%1").arg(++m_connections)));
    }
    // A source the desktop has bound the shortcut for; null if it never answered.
    std::unique_ptr<PortalHotKeySource> boundSource(quint32 key = G, quint32 modifiers = controlModifier | shiftModifier)
    {
        auto portal = source();
        QSignalSpy bound(portal.get(), &PortalHotKeySource::bound);
        portal->bind(key, modifiers);
        return bound.wait() ? std::move(portal) : nullptr;
    }
    // The newest source's connection.
    QDBusConnection client() const { return QDBusConnection(QStringLiteral("client%1").arg(m_connections)); }

private slots:
    void init()
    {
        if (!startPortal(m_bus, m_portal))
            QSKIP("needs dbus-daemon");
        QVERIFY(m_portal->isServing());
    }

    void cleanup()
    {
        m_portal.reset();
        m_bus.reset();
    }

    void triggerFormat_data()
    {
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<QString>("trigger");
        QTest::newRow("default") << quint32(G) << (controlModifier | shiftModifier) << "CTRL+SHIFT+g";
        QTest::newRow("order whatever the bits")
            << quint32(K) << (superModifier | shiftModifier | altModifier | controlModifier) << "CTRL+ALT+SHIFT+LOGO+k";
        QTest::newRow("space") << quint32(Space) << altModifier << "ALT+space";
        QTest::newRow("digit") << quint32(Digit5) << controlModifier << "CTRL+5";
        QTest::newRow("bracket") << quint32(LeftBracket) << superModifier << "LOGO+bracketleft";
        QTest::newRow("quote") << quint32(Quote) << controlModifier << "CTRL+apostrophe";
        QTest::newRow("function key") << quint32(F12) << altModifier << "ALT+F12";
        QTest::newRow("first function key") << quint32(F1) << altModifier << "ALT+F1";
        QTest::newRow("page down") << quint32(PageDown) << controlModifier << "CTRL+Page_Down";
        QTest::newRow("backspace") << quint32(Backspace) << controlModifier << "CTRL+BackSpace";
        QTest::newRow("forward delete") << quint32(ForwardDelete) << controlModifier << "CTRL+Delete";
        QTest::newRow("arrow") << quint32(Left) << controlModifier << "CTRL+Left";
        QTest::newRow("unknown key") << quint32(10) << controlModifier << "";
    }

    void triggerFormat()
    {
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(QString, trigger);
        QCOMPARE(PortalHotKeySource::trigger(keyCode, modifiers), trigger);
    }

    // A session first, then one shortcut bound in it; the desktop's words come back.
    void bindsInANewSession()
    {
        auto portal = source();
        QSignalSpy bound(portal.get(), &PortalHotKeySource::bound);
        portal->bind(G, controlModifier | shiftModifier);
        QVERIFY(!portal->isBound());
        QTRY_COMPARE(bound.count(), 1);
        QCOMPARE(bound.at(0).at(0).toString(), QStringLiteral("Press Ctrl+Shift+G"));
        QVERIFY(portal->isBound());
        QCOMPARE(portal->triggerDescription(), QStringLiteral("Press Ctrl+Shift+G"));

        QCOMPARE(m_portal->calls.size(), 2);
        const auto create = m_portal->calls.at(0);
        QCOMPARE(create.method, QStringLiteral("CreateSession"));
        QVERIFY(!create.options.value(QStringLiteral("handle_token")).toString().isEmpty());
        QVERIFY(!create.options.value(QStringLiteral("session_handle_token")).toString().isEmpty());
        const auto bind = m_portal->calls.at(1);
        QCOMPARE(bind.method, QStringLiteral("BindShortcuts"));
        QCOMPARE(bind.session, create.session);
        QCOMPARE(bind.sender, create.sender);
        QVERIFY(bind.options.value(QStringLiteral("handle_token")).toString()
                != create.options.value(QStringLiteral("handle_token")).toString());
        QCOMPARE(bind.shortcuts.size(), 1);
        QCOMPARE(bind.shortcuts.at(0).id, QStringLiteral("toggle-gallery"));
        const QVariantMap asked = bind.shortcuts.at(0).properties;
        QCOMPARE(asked.value(QStringLiteral("preferred_trigger")).toString(), QStringLiteral("CTRL+SHIFT+g"));
        QVERIFY(!asked.value(QStringLiteral("description")).toString().isEmpty());
    }

    // Only our shortcut in our session is a press; the others are someone else's.
    void pressesOfOurShortcutOnly()
    {
        const auto portal = boundSource();
        const QString ours = m_portal->lastSession();
        const auto other = boundSource(H, controlModifier | altModifier);
        QVERIFY(portal && other);
        QSignalSpy pressed(portal.get(), &PortalHotKeySource::pressed);
        QSignalSpy otherPressed(other.get(), &PortalHotKeySource::pressed);

        m_portal->activate(ours);
        QTRY_COMPARE(pressed.count(), 1);
        m_portal->activate(ours, QStringLiteral("something-else"));
        m_portal->activate(m_portal->lastSession());
        QTRY_COMPARE(otherPressed.count(), 1);
        QCOMPARE(pressed.count(), 1);

        // Closed: its session's presses no longer count.
        portal->release();
        QTRY_COMPARE(m_portal->callsOf(QStringLiteral("Close")).size(), 1);
        QCOMPARE(m_portal->callsOf(QStringLiteral("Close")).at(0).session, ours);
        m_portal->activate(ours);
        m_portal->activate(m_portal->lastSession());
        QTRY_COMPARE(otherPressed.count(), 2);
        QCOMPARE(pressed.count(), 1);
    }

    // A session binds once: binding again closes it and makes another.
    void rebindingMakesANewSession()
    {
        const auto portal = boundSource();
        QVERIFY(portal);
        QSignalSpy bound(portal.get(), &PortalHotKeySource::bound);
        QSignalSpy pressed(portal.get(), &PortalHotKeySource::pressed);
        const QString first = m_portal->lastSession();
        portal->bind(K, controlModifier | altModifier);
        QTRY_COMPARE(bound.count(), 1);
        const QString second = m_portal->lastSession();
        QVERIFY(second != first);
        QCOMPARE(m_portal->callsOf(QStringLiteral("Close")).size(), 1);
        QCOMPARE(m_portal->callsOf(QStringLiteral("Close")).at(0).session, first);
        m_portal->activate(first);
        m_portal->activate(second);
        QTRY_COMPARE(pressed.count(), 1);
    }

    // The user chose another trigger in the desktop's settings.
    void followsTheDesktopsTrigger()
    {
        auto portal = source();
        QSignalSpy bound(portal.get(), &PortalHotKeySource::bound);
        QSignalSpy changed(portal.get(), &PortalHotKeySource::triggerChanged);
        portal->bind(G, controlModifier | shiftModifier);
        QTRY_COMPARE(bound.count(), 1);
        m_portal->changeTrigger(QStringLiteral("/elsewhere"), QStringLiteral("Super+X"));
        m_portal->changeTrigger(m_portal->lastSession(), QStringLiteral("Super+Y"), QStringLiteral("other"));
        m_portal->changeTrigger(m_portal->lastSession(), QStringLiteral("Super+Z"));
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("Super+Z"));
        QCOMPARE(portal->triggerDescription(), QStringLiteral("Super+Z"));
    }

    // A non-zero response, or a bound set without our shortcut, is a refusal; the session goes.
    void refusals_data()
    {
        QTest::addColumn<uint>("response");
        QTest::addColumn<bool>("bindsAsked");
        QTest::newRow("cancelled by the user") << 1u << true;
        QTest::newRow("failed") << 2u << true;
        QTest::newRow("bound none of them") << 0u << false;
    }

    void refusals()
    {
        QFETCH(uint, response);
        QFETCH(bool, bindsAsked);
        m_portal->bindResponse = response;
        m_portal->bindsAsked = bindsAsked;
        auto portal = source();
        QSignalSpy refused(portal.get(), &PortalHotKeySource::refused);
        QSignalSpy bound(portal.get(), &PortalHotKeySource::bound);
        QSignalSpy unavailable(portal.get(), &PortalHotKeySource::unavailable);
        QSignalSpy pressed(portal.get(), &PortalHotKeySource::pressed);
        portal->bind(G, controlModifier | shiftModifier);
        QTRY_COMPARE(refused.count(), 1);
        QVERIFY(!portal->isBound());
        QTRY_COMPARE(m_portal->callsOf(QStringLiteral("Close")).size(), 1);
        m_portal->activate(m_portal->lastSession());
        QVERIFY(m_portal->settle(client()));
        QCOMPARE(pressed.count(), 0);
        QCOMPARE(bound.count(), 0);
        QCOMPARE(unavailable.count(), 0);
    }

    // No portal on the bus, or no bus at all: unavailable, and no call hangs.
    void withoutAPortal()
    {
        m_portal.reset();
        auto portal = source();
        QSignalSpy unavailable(portal.get(), &PortalHotKeySource::unavailable);
        portal->bind(G, controlModifier | shiftModifier);
        QTRY_COMPARE(unavailable.count(), 1);

        PortalHotKeySource unconnected(QDBusConnection(QStringLiteral("never-connected")));
        QSignalSpy alsoUnavailable(&unconnected, &PortalHotKeySource::unavailable);
        unconnected.bind(G, controlModifier | shiftModifier);
        QCOMPARE(alsoUnavailable.count(), 0); // later, like any answer
        QTRY_COMPARE(alsoUnavailable.count(), 1);
    }

    // A release while the desktop is still deciding drops its late answer.
    void releaseBeforeTheAnswer()
    {
        auto portal = source();
        QSignalSpy bound(portal.get(), &PortalHotKeySource::bound);
        portal->bind(G, controlModifier | shiftModifier);
        portal->release();
        QVERIFY(m_portal->settle(client()));
        QCOMPARE(bound.count(), 0);
        QVERIFY(!portal->isBound());
    }
};

QTEST_GUILESS_MAIN(TestPortalHotKeySource)
#include "tst_portalhotkeysource.moc"
