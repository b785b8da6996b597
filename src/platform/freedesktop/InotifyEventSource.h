#pragma once

#include "platform/FolderEventSource.h"

#include <QByteArray>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <memory>

class QObject;
class QSocketNotifier;
struct inotify_event;

// The folder's events from the kernel's inotify interface, read on the main thread.
//
// The folder itself is watched for every change of its entries; each of its parents up to "/"
// is watched only for being moved or deleted, so that losing the path anywhere above the
// folder reports RootChanged just like losing the folder does. Entries deeper than the folder's
// own level are never seen. Every event that is not a loss of the folder, an unmount or an
// overflow is reported as the entry's path (or the folder's own path) with no flag bits.
class InotifyEventSource final : public FolderEventSource
{
public:
    static constexpr std::chrono::milliseconds defaultLatency{150};

    explicit InotifyEventSource(std::chrono::milliseconds latency = defaultLatency);
    ~InotifyEventSource() override;

    bool start(const QString &folderPath, BatchHandler handler) override;
    void stop() override;

private:
    // The notifier may be dropped from inside its own activation (the handler stops or
    // restarts us), so it is always released through the event loop.
    struct LaterDeleter {
        void operator()(QObject *object) const;
    };

    void watchAncestors(const QString &folderPath);
    void readEvents();
    void translate(const inotify_event &event);
    void add(const QString &path, quint32 flags);
    void onReadable();
    void onGatherTimeout();
    void deliverPending();

    std::chrono::milliseconds m_latency;
    int m_fd = -1;
    int m_folderWatch = -1;
    QSet<int> m_ancestorWatches;
    QString m_folderPath;
    std::unique_ptr<QSocketNotifier, LaterDeleter> m_notifier;
    // Runs while a burst is being gathered; when it fires with nothing new the quiet period
    // has begun and the next event goes out at once again.
    QTimer m_gatherTimer;
    QStringList m_pendingPaths;
    QList<quint32> m_pendingFlags;
    BatchHandler m_handler;
};
