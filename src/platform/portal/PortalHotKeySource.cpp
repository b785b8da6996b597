#include "platform/portal/PortalHotKeySource.h"

#include "core/VirtualKey.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QStringList>

#include <optional>

Q_LOGGING_CATEGORY(lcPortalShortcut, "brimfold.portal.shortcut", QtWarningMsg)

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");

// xkbcommon's names for the keysyms that are not a single letter or digit.
QString keysymName(quint32 keysym)
{
    if ((keysym >= '0' && keysym <= '9') || (keysym >= 'a' && keysym <= 'z'))
        return QString(QChar(char16_t(keysym)));
    if (keysym >= 0xffbe && keysym <= 0xffc9)
        return QStringLiteral("F%1").arg(keysym - 0xffbe + 1);
    static const std::pair<quint32, const char *> names[] = {
        {' ', "space"}, {'\'', "apostrophe"}, {',', "comma"}, {'-', "minus"}, {'.', "period"},
        {'/', "slash"}, {';', "semicolon"}, {'=', "equal"}, {'[', "bracketleft"},
        {'\\', "backslash"}, {']', "bracketright"}, {'`', "grave"},
        {0xff08, "BackSpace"}, {0xff09, "Tab"}, {0xff0d, "Return"}, {0xff1b, "Escape"},
        {0xff50, "Home"}, {0xff51, "Left"}, {0xff52, "Up"}, {0xff53, "Right"}, {0xff54, "Down"},
        {0xff55, "Page_Up"}, {0xff56, "Page_Down"}, {0xff57, "End"}, {0xffff, "Delete"},
    };
    for (const auto &[value, name] : names) {
        if (value == keysym)
            return QString::fromLatin1(name);
    }
    return QString();
}

QString objectPath(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

// Our entry of a shortcut list as the desktop reports it, if the list has it.
std::optional<QVariantMap> ourEntry(const QVariant &list)
{
    for (const PortalShortcut &entry : qdbus_cast<QList<PortalShortcut>>(list)) {
        if (entry.id == QLatin1String(PortalHotKeySource::shortcutId))
            return entry.properties;
    }
    return std::nullopt;
}

} // namespace

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

PortalHotKeySource::PortalHotKeySource(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // No sender filter: the portal sends from its unique name. The session handle, which
    // carries our own bus name, tells our presses from anyone else's.
    m_bus.connect(QString(), kPath, kShortcuts, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
    m_bus.connect(QString(), kPath, kShortcuts, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusMessage)));
}

PortalHotKeySource::~PortalHotKeySource()
{
    release();
}

bool PortalHotKeySource::isWaylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

QString PortalHotKeySource::trigger(quint32 keyCode, quint32 modifiers)
{
    const auto keysym = VirtualKey::keysym(keyCode);
    const QString key = keysym ? keysymName(*keysym) : QString();
    if (key.isEmpty())
        return QString();
    QStringList parts;
    if (modifiers & VirtualKey::controlModifier)
        parts << QStringLiteral("CTRL");
    if (modifiers & VirtualKey::altModifier)
        parts << QStringLiteral("ALT");
    if (modifiers & VirtualKey::shiftModifier)
        parts << QStringLiteral("SHIFT");
    if (modifiers & VirtualKey::superModifier)
        parts << QStringLiteral("LOGO");
    parts << key;
    return parts.join(QLatin1Char('+'));
}

void PortalHotKeySource::bind(quint32 keyCode, quint32 modifiers)
{
    release();
    m_preferredTrigger = trigger(keyCode, modifiers);
    if (!m_bus.isConnected()) {
        // Still later, as from a portal: callers handle every answer the same way.
        QMetaObject::invokeMethod(this, [this] { emit unavailable(); }, Qt::QueuedConnection);
        return;
    }
    // The version property says whether the portal has global shortcuts at all.
    m_step = Step::probing;
    QDBusMessage probe = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    probe << kShortcuts << QStringLiteral("version");
    callPortal(probe, [this](const QDBusMessage &reply) {
        const QVariant version = reply.arguments().value(0).value<QDBusVariant>().variant();
        if (version.toUInt() == 0) {
            fail(false);
            return;
        }
        createSession();
    });
}

void PortalHotKeySource::release()
{
    ++m_generation;
    stopExpecting();
    if (!m_session.isEmpty()) {
        m_bus.asyncCall(QDBusMessage::createMethodCall(kService, m_session, kSession, QStringLiteral("Close")));
        m_session.clear();
    }
    m_step = Step::idle;
    m_triggerDescription.clear();
}

void PortalHotKeySource::createSession()
{
    m_step = Step::creating;
    const QString token = nextToken();
    expectResponse(requestPath(token));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kShortcuts, QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), nextToken()}};
    callPortal(call, [this](const QDBusMessage &reply) {
        // Portals older than the predictable handle name the request only in the reply.
        const QString handle = objectPath(reply.arguments().value(0));
        if (handle != m_request && m_step == Step::creating)
            expectResponse(handle);
    });
}

void PortalHotKeySource::bindShortcut()
{
    m_step = Step::binding;
    const QString token = nextToken();
    expectResponse(requestPath(token));
    QVariantMap properties{{QStringLiteral("description"), tr("Open and close the screenshot gallery")}};
    if (!m_preferredTrigger.isEmpty())
        properties.insert(QStringLiteral("preferred_trigger"), m_preferredTrigger);
    const QList<PortalShortcut> shortcuts{{QLatin1String(shortcutId), properties}};
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kShortcuts, QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    callPortal(call, [this](const QDBusMessage &reply) {
        const QString handle = objectPath(reply.arguments().value(0));
        if (handle != m_request && m_step == Step::binding)
            expectResponse(handle);
    });
}

void PortalHotKeySource::callPortal(QDBusMessage call, std::function<void(const QDBusMessage &reply)> done)
{
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation = m_generation, done = std::move(done)](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (generation != m_generation)
                    return;
                const QDBusMessage reply = finished->reply();
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    qCWarning(lcPortalShortcut) << "portal call failed:" << reply.errorName() << reply.errorMessage();
                    fail(false);
                    return;
                }
                done(reply);
            });
}

void PortalHotKeySource::onResponse(const QDBusMessage &message)
{
    if (message.path() != m_request)
        return;
    stopExpecting();
    const uint response = message.arguments().value(0).toUInt();
    const QVariantMap results = qdbus_cast<QVariantMap>(message.arguments().value(1));
    qCDebug(lcPortalShortcut) << "response" << response << "to step" << int(m_step);
    if (response != 0) {
        fail(true);
        return;
    }
    if (m_step == Step::creating) {
        m_session = objectPath(results.value(QStringLiteral("session_handle")));
        if (m_session.isEmpty())
            fail(false);
        else
            bindShortcut();
    } else if (m_step == Step::binding) {
        // The desktop may bind a subset of what was asked, the empty one included.
        const auto entry = ourEntry(results.value(QStringLiteral("shortcuts")));
        if (!entry) {
            fail(true);
            return;
        }
        m_step = Step::bound;
        m_triggerDescription = entry->value(QStringLiteral("trigger_description")).toString();
        emit bound(m_triggerDescription);
    }
}

void PortalHotKeySource::onActivated(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (m_step == Step::bound && isOurs(arguments.value(0))
        && arguments.value(1).toString() == QLatin1String(shortcutId))
        emit pressed();
}

void PortalHotKeySource::onShortcutsChanged(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (m_step != Step::bound || !isOurs(arguments.value(0)))
        return;
    const auto entry = ourEntry(arguments.value(1));
    if (!entry)
        return;
    const QString description = entry->value(QStringLiteral("trigger_description")).toString();
    if (description == m_triggerDescription)
        return;
    m_triggerDescription = description;
    emit triggerChanged(description);
}

void PortalHotKeySource::expectResponse(const QString &requestPath)
{
    stopExpecting();
    m_request = requestPath;
    m_bus.connect(QString(), m_request, kRequest, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
}

void PortalHotKeySource::stopExpecting()
{
    if (m_request.isEmpty())
        return;
    m_bus.disconnect(QString(), m_request, kRequest, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
    m_request.clear();
}

QString PortalHotKeySource::nextToken()
{
    return QStringLiteral("brimfold%1").arg(++m_tokens);
}

QString PortalHotKeySource::requestPath(const QString &token) const
{
    // The portal's rule: the caller's unique name without the colon, dots as underscores.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

void PortalHotKeySource::fail(bool refusedByDesktop)
{
    release();
    if (refusedByDesktop)
        emit refused();
    else
        emit unavailable();
}

bool PortalHotKeySource::isOurs(const QVariant &sessionHandle) const
{
    return !m_session.isEmpty() && objectPath(sessionHandle) == m_session;
}
