#include "platform/portal/PortalSettings.h"

#include "core/BackgroundPool.h"
#include "core/WhenFinished.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QtConcurrent/QtConcurrentRun>

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

void whenBusReady(QObject *context, std::function<void()> work)
{
    // Connecting waits for the bus daemon's answer; a connection already made returns at once.
    whenFinished(QtConcurrent::run(&BackgroundPool::shared(), [] { QDBusConnection::sessionBus(); }), context,
                 std::move(work));
}

bool watch(QObject *receiver, const char *slot)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // The bus finds the slot's argument types by their names, which Qt knows only for types
    // registered by then: before this, the connection was refused unless something else had
    // happened to register QDBusVariant, and the desktop's changes were never followed.
    qRegisterMetaType<QDBusVariant>();
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
