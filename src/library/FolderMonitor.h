#pragma once

#include "platform/FolderEventSource.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

// Watches the one connected screenshot folder and tells its owner when the folder's contents
// may have changed (onChange) or when the folder can no longer be watched because it, or a
// folder above it, was moved, renamed, deleted or unmounted (onInvalidated). It neither scans
// nor compares anything: it decides which events concern the folder's own level and turns a
// burst of them into at most two notifications, a quick one and one after the burst settled.
//
// Main thread only. Every stop advances `revision`; batches and scheduled notifications carry
// the revision they were made under, so anything left over from an earlier watch does nothing.
class FolderMonitor final : public QObject
{
    Q_OBJECT
public:
    using Callback = std::function<void()>;

    struct Timing {
        std::chrono::milliseconds quick{200};    // after the first relevant event of a burst
        std::chrono::milliseconds settled{1200}; // after the latest relevant event
    };

    // Why a watch could not start. The owner shows one message for all of them.
    struct StartError {
        enum class Kind {
            ReadUnknown, // not a directory, or the event source refused it
            Posix,       // the folder could not be looked at or opened; code is errno
        };
        Kind kind = Kind::ReadUnknown;
        int code = 0;
        bool operator==(const StartError &) const = default;
    };

    // Watches through the kernel's inotify interface.
    explicit FolderMonitor(QObject *parent = nullptr);
    // Watches through the given source (a fake one in tests), optionally with other delays.
    explicit FolderMonitor(std::unique_ptr<FolderEventSource> source, QObject *parent = nullptr);
    FolderMonitor(std::unique_ptr<FolderEventSource> source, Timing timing, QObject *parent = nullptr);
    // Cancels both notifications and ends the watch without calling either closure.
    ~FolderMonitor() override;

    // Stops any current watch, then watches the folder at path (symbolic links resolved).
    // None on success; on failure nothing is left running and the closures are dropped.
    [[nodiscard]] std::optional<StartError> start(const QString &path, Callback onChange,
                                                  Callback onInvalidated);
    // Ends the current watch, if any.
    void stop();

    qint64 revision() const { return m_revision; }
    // The folder of the latest successful start; kept after a stop.
    QString folderPath() const { return m_folderPath; }
    bool isWatching() const { return m_streamRunning; }
    bool hasPendingNotification() const { return !m_pending.isNull(); }
    bool hasSettlingNotification() const { return !m_settling.isNull(); }

private:
    enum class WorkItem { Pending, Settling };

    void receive(const QStringList &paths, const QList<quint32> &flags, qint64 revision);
    bool isRelevant(const QString &path) const;
    QTimer *schedule(WorkItem which, std::chrono::milliseconds delay);
    void run(WorkItem which, QTimer *item, qint64 revision);
    void cancel(QPointer<QTimer> &item);

    std::unique_ptr<FolderEventSource> m_source;
    Timing m_timing;
    bool m_streamRunning = false;
    QPointer<QTimer> m_pending;
    QPointer<QTimer> m_settling;
    qint64 m_revision = 0;
    QString m_folderPath;
    QString m_folderKey; // m_folderPath in composed form, for comparing names
    Callback m_onChange;
    Callback m_onInvalidated;
};
