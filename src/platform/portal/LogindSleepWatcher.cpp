#include "platform/portal/LogindSleepWatcher.h"

#include "core/BackgroundPool.h"
#include "core/WhenFinished.h"

#include <QDBusConnection>
#include <QtConcurrent/QtConcurrentRun>

LogindSleepWatcher::LogindSleepWatcher(QObject *parent)
    : SleepWatcher(parent)
{
}

void LogindSleepWatcher::start()
{
    // The system bus's handshake is made on another thread: on the GUI thread it held up
    // whatever came next. No system bus (a container, a test) simply means no wake reports.
    const QFuture<void> connecting =
        QtConcurrent::run(&BackgroundPool::shared(), [] { QDBusConnection::systemBus(); });
    whenFinished(connecting, this, [this] {
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
