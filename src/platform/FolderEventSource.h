#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

// A stream of file-system events for one folder, delivered on the main thread in batches of
// (path, flags) pairs. The flag bits keep the values the folder monitor's rules are written
// in, so a fake source in a test and the kernel-backed one speak the same language.
class FolderEventSource
{
public:
    enum EventFlag : quint32 {
        NoFlags = 0x00,
        EventsLost = 0x01,  // events were dropped before they reached us
        RootChanged = 0x02, // the watched folder itself (or a parent) moved or was deleted
        Unmount = 0x04,     // the volume holding the path went away
    };

    // One batch: paths[i] goes with flags[i]. Called on the main thread; the receiver may stop
    // or restart (or destroy) the source from inside the call.
    using BatchHandler = std::function<void(const QStringList &paths, const QList<quint32> &flags)>;

    virtual ~FolderEventSource() = default;

    // Stops any current watch, then watches folderPath (an absolute, symlink-free path) and
    // reports only what happens from now on. The first event of a quiet period is delivered at
    // once, later ones are gathered for a short latency. False when the folder cannot be
    // watched; nothing is left running then.
    virtual bool start(const QString &folderPath, BatchHandler handler) = 0;

    // Ends the watch; no batch is delivered afterwards. Safe when nothing runs.
    virtual void stop() = 0;

protected:
    FolderEventSource() = default;
    FolderEventSource(const FolderEventSource &) = delete;
    FolderEventSource &operator=(const FolderEventSource &) = delete;
};
