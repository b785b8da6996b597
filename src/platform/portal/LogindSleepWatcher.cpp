#include "platform/portal/LogindSleepWatcher.h"

#include <QDBusConnection>

LogindSleepWatcher::LogindSleepWatcher(QObject *parent)
    : SleepWatcher(parent)
{
    // No system bus (a container, a test) simply means no wake reports.
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(onPrepareForSleep(bool)));
}

void LogindSleepWatcher::onPrepareForSleep(bool sleeping)
{
    if (!sleeping)
        emit woke();
}
