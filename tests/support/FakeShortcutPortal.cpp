#include "FakeShortcutPortal.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QCoreApplication>
#include <QDateTime>
#include <QTest>

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
// Answers a test's round trip on the portal's own thread.
const QString kEchoPath = QStringLiteral("/org/brimfold/test/echo");

} // namespace

QDBusArgument &operator<<(QDBusArgument &argument, const FakePortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, FakePortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

PrivateBus::PrivateBus()
{
    m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!m_daemon.waitForStarted(10000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

QDBusConnection PrivateBus::connect(const QString &name) const
{
    return QDBusConnection::connectToBus(m_address, name);
}

// One session's object, so the client can close it; the echo object is one as well.
class FakePortalSession final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")

public:
    FakePortalSession(FakeShortcutPortal &portal, const QString &path)
        : QObject(&portal)
        , m_portal(portal)
        , m_path(path)
    {
    }

public slots:
    void Close(const QDBusMessage &message)
    {
        m_portal.calls.append({QStringLiteral("Close"), message.service(), m_path, {}, {}});
        m_portal.m_bus.unregisterObject(m_path);
        deleteLater();
    }
    void Echo() {}

private:
    FakeShortcutPortal &m_portal;
    QString m_path;
};

FakeShortcutPortal::FakeShortcutPortal(const QString &address, QObject *parent)
    : QObject(parent)
    , m_bus(QDBusConnection::connectToBus(address, QStringLiteral("fake-portal")))
{
    qDBusRegisterMetaType<FakePortalShortcut>();
    qDBusRegisterMetaType<QList<FakePortalShortcut>>();
    m_serving = m_bus.isConnected()
        && m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)
        && m_bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))
        && m_bus.registerObject(kEchoPath, new FakePortalSession(*this, kEchoPath), QDBusConnection::ExportAllSlots);
}

bool FakeShortcutPortal::settle(const QDBusConnection &client)
{
    QDBusConnection connection(client);
    qsizetype before = -1;
    for (int round = 0; round < 50; ++round) {
        const qsizetype now = calls.size() + versionReads;
        if (now == before)
            return true;
        before = now;
        const QDBusPendingCall echo = connection.asyncCall(QDBusMessage::createMethodCall(
            "org.freedesktop.portal.Desktop", kEchoPath, "org.freedesktop.portal.Session", "Echo"));
        if (!QTest::qWaitFor([&] { return echo.isFinished(); }, 10000) || echo.isError())
            return false;
        // The client's handling of what arrived before the answer, and so its next call.
        QCoreApplication::sendPostedEvents();
    }
    return false;
}

FakeShortcutPortal::~FakeShortcutPortal()
{
    m_bus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    m_bus.unregisterObject(kPath, QDBusConnection::UnregisterTree);
    m_bus.unregisterObject(kEchoPath);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
}

QList<FakeShortcutPortal::Call> FakeShortcutPortal::callsOf(const QString &method) const
{
    QList<Call> found;
    std::copy_if(calls.cbegin(), calls.cend(), std::back_inserter(found),
                 [&](const Call &call) { return call.method == method; });
    return found;
}

QString FakeShortcutPortal::lastSession() const
{
    const QList<Call> made = callsOf(QStringLiteral("CreateSession"));
    return made.isEmpty() ? QString() : made.last().session;
}

QString FakeShortcutPortal::handlePath(const QString &kind, const QDBusMessage &message, const QString &token) const
{
    QString sender = message.service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QLatin1Char('/') + kind + QLatin1Char('/') + sender + QLatin1Char('/') + token;
}

// Sent before the method's own reply, as a quick desktop may: a client that subscribes only
// after the reply misses it.
void FakeShortcutPortal::respond(const QString &request, uint response, const QVariantMap &results)
{
    QDBusMessage signal = QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
    signal << response << results;
    m_bus.send(signal);
}

QDBusObjectPath FakeShortcutPortal::CreateSession(const QVariantMap &options, const QDBusMessage &message)
{
    const QString request = handlePath("request", message, options.value("handle_token").toString());
    const QString session = handlePath("session", message, options.value("session_handle_token").toString());
    calls.append({QStringLiteral("CreateSession"), message.service(), session, options, {}});
    m_bus.registerObject(session, new FakePortalSession(*this, session), QDBusConnection::ExportAllSlots);
    respond(request, 0, {{QStringLiteral("session_handle"), session}});
    return QDBusObjectPath(request);
}

QDBusObjectPath FakeShortcutPortal::BindShortcuts(const QDBusObjectPath &session,
                                                  const QList<FakePortalShortcut> &shortcuts,
                                                  const QString &, const QVariantMap &options,
                                                  const QDBusMessage &message)
{
    const QString request = handlePath("request", message, options.value("handle_token").toString());
    calls.append({QStringLiteral("BindShortcuts"), message.service(), session.path(), options, shortcuts});
    QList<FakePortalShortcut> bound;
    if (bindsAsked) {
        for (const FakePortalShortcut &asked : shortcuts) {
            bound.append({asked.id,
                          {{QStringLiteral("description"), asked.properties.value(QStringLiteral("description"))},
                           {QStringLiteral("trigger_description"), triggerDescription}}});
        }
    }
    QVariantMap results;
    if (bindResponse == 0)
        results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(bound));
    respond(request, bindResponse, results);
    return QDBusObjectPath(request);
}

void FakeShortcutPortal::activate(const QString &session, const QString &id)
{
    QDBusMessage signal = QDBusMessage::createSignal(kPath, "org.freedesktop.portal.GlobalShortcuts", "Activated");
    signal << QVariant::fromValue(QDBusObjectPath(session)) << id
           << qulonglong(QDateTime::currentMSecsSinceEpoch()) << QVariantMap();
    m_bus.send(signal);
}

void FakeShortcutPortal::changeTrigger(const QString &session, const QString &description, const QString &id)
{
    QDBusMessage signal = QDBusMessage::createSignal(kPath, "org.freedesktop.portal.GlobalShortcuts", "ShortcutsChanged");
    const QList<FakePortalShortcut> shortcuts{{id, {{QStringLiteral("trigger_description"), description}}}};
    signal << QVariant::fromValue(QDBusObjectPath(session)) << QVariant::fromValue(shortcuts);
    m_bus.send(signal);
}

#include "FakeShortcutPortal.moc"

bool startPortal(std::unique_ptr<PrivateBus> &bus, std::unique_ptr<FakeShortcutPortal> &portal)
{
    bus = std::make_unique<PrivateBus>();
    if (bus->address().isEmpty())
        return false;
    portal = std::make_unique<FakeShortcutPortal>(bus->address());
    return true;
}
