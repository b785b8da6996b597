#include "platform/portal/PortalSettings.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace DesktopPortal {

QString service()
{
    return QStringLiteral("org.freedesktop.portal.Desktop");
}

QString path()
{
    return QStringLiteral("/org/freedesktop/portal/desktop");
}

} // namespace DesktopPortal

namespace PortalSettings {
namespace {

const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kChanged = QStringLiteral("SettingChanged");

} // namespace

QVariant unwrapped(QVariant value)
{
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

void read(const QString &group, const QString &key, QObject *context,
          std::function<void(const QVariant &value)> done)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(
        DesktopPortal::service(), DesktopPortal::path(), kInterface, QStringLiteral("Read"));
    message << group << key;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [done = std::move(done)](QDBusPendingCallWatcher *call) {
                         const QDBusPendingReply<QDBusVariant> reply = *call;
                         if (!reply.isError())
                             done(unwrapped(QVariant::fromValue(reply.value())));
                         call->deleteLater();
                     });
}

bool watch(QObject *receiver, const char *slot)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    bus.connect(DesktopPortal::service(), DesktopPortal::path(), kInterface, kChanged, receiver,
                slot);
    return true;
}

void unwatch(QObject *receiver, const char *slot)
{
    QDBusConnection::sessionBus().disconnect(DesktopPortal::service(), DesktopPortal::path(),
                                             kInterface, kChanged, receiver, slot);
}

} // namespace PortalSettings
