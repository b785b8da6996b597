#include "core/BackgroundPool.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace BackgroundPool {

QThreadPool &shared()
{
    static QThreadPool pool;
    static const bool joinedWithTheApplication = [] {
        // Its threads end while the application still exists, as Qt's own pool's do: a thread's
        // font cache, for one, is only released then.
        qAddPostRoutine([] { pool.waitForDone(); });
        return true;
    }();
    Q_UNUSED(joinedWithTheApplication);
    return pool;
}

} // namespace BackgroundPool
