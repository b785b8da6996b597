#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <type_traits>
#include <utility>

// Runs `onResult` with the future's result on `context`'s thread once the future finishes, and
// never once `context` is gone.
//
// Qt 6.4's QFuture::then(context, …) reads its QPointer to the context on the worker thread and
// then posts to it, so a context destroyed while the work runs can still be posted to, and the
// event then reaches freed memory. A watcher owned by the context is disconnected from the
// future under the future's own lock when the context destroys it, so nothing races.
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
