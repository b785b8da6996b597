#include "platform/portal/ReopenChannel.h"

#include "core/AppIdentity.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcReopen, "brimfold.reopen", QtWarningMsg)

namespace {
const QString kChannelPath = AppIdentity::objectPath();
const QString kInterface = AppIdentity::applicationId();
const QString kMember = QStringLiteral("reopenGallery");
} // namespace

ReopenChannel::ReopenChannel(QObject *parent)
    : QObject(parent)
{
}

ReopenChannel::~ReopenChannel()
{
    if (!m_listening)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.disconnect(QString(), kChannelPath, kInterface, kMember, this, SLOT(onReopenSignal()));
    bus.unregisterService(serviceName());
}

QString ReopenChannel::serviceName()
{
    return AppIdentity::applicationId();
}

bool ReopenChannel::listen()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcReopen) << "no session bus";
        return false;
    }
    // Listening comes before owning the name: a later launch waits for the name, so once it is
    // owned the signal is heard. An empty service filter: the sender is known only by its
    // unique name, which a filter on the well-known name would never match.
    m_listening = bus.connect(QString(), kChannelPath, kInterface, kMember, this,
                              SLOT(onReopenSignal()));
    if (!bus.registerService(serviceName()))
        qCDebug(lcReopen) << "could not own" << serviceName();
    return m_listening;
}

bool ReopenChannel::post(std::chrono::milliseconds waitForListener)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // The running copy may still be starting: give it time to listen, or the request is lost.
    QElapsedTimer waited;
    waited.start();
    while (bus.interface() && !bus.interface()->isServiceRegistered(serviceName()).value()
           && waited.elapsed() < waitForListener.count())
        QThread::msleep(20);
    const bool sent = bus.send(QDBusMessage::createSignal(kChannelPath, kInterface, kMember));
    // The process may exit right after; make sure the signal has left it.
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                            QStringLiteral("/org/freedesktop/DBus"),
                                            QStringLiteral("org.freedesktop.DBus.Peer"),
                                            QStringLiteral("Ping")));
    return sent;
}

qint64 ReopenChannel::otherInstancePid()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return 0;
    const QDBusReply<uint> pid = bus.interface()->servicePid(serviceName());
    if (!pid.isValid())
        return 0;
    return qint64(pid.value()) == QCoreApplication::applicationPid() ? 0 : qint64(pid.value());
}

void ReopenChannel::onReopenSignal()
{
    Q_EMIT reopenRequested();
}
