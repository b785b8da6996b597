#pragma once

#include "platform/FolderEventSource.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

// Watches the one connected screenshot folder and tells its owner when the folder's contents
// may have changed (changed) or when the folder can no longer be watched because it, or a
// folder above it, was moved, renamed, deleted or unmounted (invalidated). It neither scans
// nor compares anything: it decides which events concern the folder's own level and turns a
// burst of them into few notifications: one at once for its first event, so a new screenshot
// is scanned without delay; then at most one per quick period while events keep coming (a file
// written in several steps is scanned again soon after its last step); one after the burst
// settled.
//
// Main thread only. A stop ends the source's batches and both notifications, so nothing of an
// earlier watch reaches the owner.
class FolderMonitor final : public QObject
{
    Q_OBJECT
public:
    struct Timing {
        // The first relevant event of a burst is told at once; later ones are gathered into
        // one notification at the end of each such period.
        std::chrono::milliseconds quick{200};
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

    // Watches through the given source (a fake one in tests), optionally with other delays.
    explicit FolderMonitor(std::unique_ptr<FolderEventSource> source, QObject *parent = nullptr);
    FolderMonitor(std::unique_ptr<FolderEventSource> source, Timing timing, QObject *parent = nullptr);
    // Cancels both notifications and ends the watch without a signal.
    ~FolderMonitor() override;

    // Stops any current watch, then watches the folder at path (symbolic links resolved).
    // None on success; on failure nothing is left running.
    [[nodiscard]] std::optional<StartError> start(const QString &path);
    // Ends the current watch, if any.
    void stop();

    // The folder of the latest successful start; kept after a stop.
    QString folderPath() const { return m_folderPath; }
    bool isWatching() const { return m_streamRunning; }
    // Events came after the burst's first notification; they are told at the quick period's end.
    bool hasPendingNotification() const { return m_quick.isActive() && m_quickPending; }
    bool hasSettlingNotification() const { return m_settled.isActive(); }

signals:
    // The folder's contents may have changed. The receiver may stop or restart the watch.
    void changed();
    // The watch ended by itself (isWatching() is false already); the receiver may start
    // another one.
    void invalidated();

private:
    void receive(const QStringList &paths, const QList<quint32> &flags);
    bool isRelevant(const QString &path) const;

    std::unique_ptr<FolderEventSource> m_source;
    Timing m_timing;
    bool m_streamRunning = false;
    // Single-shot and precise, so that a burst's notifications keep their order and spacing.
    QTimer m_quick; // runs for the quick period after each notification but the settled one
    QTimer m_settled;
    bool m_quickPending = false;
    QString m_folderPath;
    QString m_folderKey; // m_folderPath in composed form, for comparing names
};
