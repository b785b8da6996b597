#include "core/BackgroundPool.h"

#include <QThreadPool>

namespace BackgroundPool {

QThreadPool &shared()
{
    // As many threads as Qt's own pool; ended at exit, after waiting for what still runs.
    static QThreadPool pool;
    return pool;
}

} // namespace BackgroundPool
