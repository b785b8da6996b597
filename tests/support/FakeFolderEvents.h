#pragma once

#include "platform/FolderEventSource.h"

#include <QList>
#include <QStringList>

#include <memory>

// A folder event source the test drives. What it is asked to watch is kept in a log the test
// holds, since the monitor owns the source; every handler stays there, so a test can also
// report through one that belongs to a watch already stopped.
struct FakeFolderEvents final : FolderEventSource
{
    struct Log
    {
        QStringList folders;
        QList<BatchHandler> handlers;
        bool refuse = false;
        bool watching = false;
    };

    explicit FakeFolderEvents(std::shared_ptr<Log> log = std::make_shared<Log>()) : log(std::move(log)) {}

    bool start(const QString &folder, BatchHandler handler) override
    {
        log->folders.append(folder);
        log->handlers.append(std::move(handler));
        log->watching = !log->refuse;
        return !log->refuse;
    }
    void stop() override { log->watching = false; }

    // Something in the watched folder changed.
    void changed(const QString &path) { report({path}, {0}); }
    // The watched folder was moved away, as the kernel reports it.
    void folderGone() { report({log->folders.last()}, {FolderEventSource::RootChanged}); }

    std::shared_ptr<Log> log;

private:
    void report(const QStringList &paths, const QList<quint32> &flags)
    {
        if (log->watching && log->handlers.last())
            log->handlers.last()(paths, flags);
    }
};
