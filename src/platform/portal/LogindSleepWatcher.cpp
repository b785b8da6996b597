#include "platform/portal/LogindSleepWatcher.h"

#include <QDBusConnection>
#include <QTimer>

LogindSleepWatcher::LogindSleepWatcher(QObject *parent)
    : SleepWatcher(parent)
{
    // On the first turn of the event loop: the system bus's handshake then overlaps the window
    // manager mapping the first window instead of delaying it. No system bus (a container, a
    // test) simply means no wake reports.
    QTimer::singleShot(0, this, [this] {
        QDBusConnection::systemBus().connect(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
            SLOT(onPrepareForSleep(bool)));
    });
}

void LogindSleepWatcher::onPrepareForSleep(bool sleeping)
{
    if (!sleeping)
        emit woke();
}
