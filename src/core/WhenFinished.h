#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <type_traits>
#include <utility>

// Runs `onResult` with the future's result on `context`'s thread once the future finishes, and
// never once `context` is gone.
//
// Instead of Qt 6.4's QFuture::then(context, …), which is unsafe for work finished on another
// thread twice over:
// - it reads its QPointer to the context on the worker thread and then posts to it, so a context
//   destroyed while the work runs can still be posted to, and the event reaches freed memory;
// - a pool thread marks the future finished and only then runs its continuation, and a
//   continuation attached in between runs at once and is kept, so it runs again from the pool
//   thread, its promise already spent: a crash on the GUI thread.
// A watcher owned by the context is told of the finish exactly once, under the future's own lock,
// and is disconnected under that lock when the context destroys it, so nothing races.
//
// Returns the watcher, a child of `context`, so an owner can wait for its work before it lets go
// of what that work borrows.
template <typename T, typename OnResult>
QFutureWatcher<T> *whenFinished(QFuture<T> future, QObject *context, OnResult &&onResult)
{
    auto *watcher = new QFutureWatcher<T>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context,
                     [watcher, onResult = std::forward<OnResult>(onResult)]() mutable {
                         watcher->deleteLater();
                         if (watcher->isCanceled())
                             return;
                         if constexpr (std::is_void_v<T>)
                             onResult();
                         else
                             onResult(watcher->result());
                     });
    watcher->setFuture(std::move(future));
    return watcher;
}

// Blocks until every piece of work `owner` still watches has finished. For destructors of
// owners whose background work borrows something that dies with them.
inline void waitForWatchedWork(QObject *owner)
{
    const auto watchers = owner->findChildren<QFutureWatcherBase *>(Qt::FindDirectChildrenOnly);
    for (QFutureWatcherBase *watcher : watchers)
        watcher->waitForFinished();
}
