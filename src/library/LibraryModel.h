#pragma once

#include "library/FolderPicker.h"
#include "library/GallerySnapshot.h"
#include "library/LibraryState.h"
#include "core/Screenshot.h"
#include "library/ScreenshotScanner.h"
#include "library/ToastStyle.h"
#include "platform/Clipboard.h"
#include "platform/FolderEventSource.h"
#include "platform/Trash.h"
#include "text/ScreenshotTextRecognizing.h"
#include "text/ScreenshotTextWorker.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class FolderMonitor;
class ImageServices;
class Preferences;
class ScreenshotTextIndex;

// The central state of the library: which folder is connected, the screenshots it holds,
// what the gallery shows for the current tab and query, the selection, arrivals of new
// screenshots, and the user's actions on one screenshot (copy, copy text, pin, trash, undo)
// with the transient message each of them ends with.
//
// Main thread only. Background work (scans, PNG production, the file check before a text
// copy) returns values that are compared with `generation` before use; stale ones are dropped.
class LibraryModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<Screenshot> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(LibraryState state READ state NOTIFY stateChanged)
    Q_PROPERTY(std::optional<QString> selectedID READ selectedID NOTIFY selectedIDChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(bool pinnedOnly READ pinnedOnly WRITE setPinnedOnly NOTIFY pinnedOnlyChanged)
    Q_PROPERTY(bool isScanning READ isScanning NOTIFY isScanningChanged)
    Q_PROPERTY(bool isCopying READ isCopying NOTIFY isCopyingChanged)
    Q_PROPERTY(bool isCopyingText READ isCopyingText NOTIFY isCopyingTextChanged)
    Q_PROPERTY(int textIndexRevision READ textIndexRevision NOTIFY textIndexRevisionChanged)
    Q_PROPERTY(std::optional<QString> errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(std::optional<QString> toast READ toast NOTIFY toastChanged)
    Q_PROPERTY(ToastStyle toastStyle READ toastStyle NOTIFY toastStyleChanged)
    Q_PROPERTY(std::optional<QString> copiedID READ copiedID NOTIFY copiedIDChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY canUndoChanged)
    Q_PROPERTY(int arrivalCount READ arrivalCount NOTIFY arrivalCountChanged)
    Q_PROPERTY(bool hasNewScreenshots READ hasNewScreenshots WRITE setHasNewScreenshots
                   NOTIFY hasNewScreenshotsChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)

public:
    static constexpr int scanLimit = ScreenshotScanner::defaultLimit;
    static constexpr std::chrono::milliseconds defaultToastDuration{2600};
    static constexpr std::chrono::milliseconds trashToastDuration{6000};

    // What the model takes from its surroundings: the application hands in the system's own
    // services, tests hand in fakes. Every member but the folder picker is required.
    struct Services final
    {
        std::unique_ptr<Clipboard> clipboard;
        std::unique_ptr<Trash> trash;
        // Stateless and shared between threads; must outlive the model and its last scan.
        const ImageServices *images = nullptr;
        // None: chooseFolder() does nothing.
        std::unique_ptr<FolderPicker> folderPicker;
        // What the folder monitor listens to.
        std::unique_ptr<FolderEventSource> eventSource;
        // Reads and caches the text of the screenshots.
        std::unique_ptr<ScreenshotTextWorker> textWorker;
    };

    // `preferences` must outlive the model. Reads the pin set; connects nothing yet.
    LibraryModel(Preferences &preferences, Services services, QObject *parent = nullptr);
    ~LibraryModel() override;

    // --- published state ---
    const QList<Screenshot> &items() const { return m_items; }
    const LibraryState &state() const { return m_state; }
    const std::optional<QString> &selectedID() const { return m_selectedID; }
    const QString &query() const { return m_query; }
    bool pinnedOnly() const { return m_pinnedOnly; }
    bool isScanning() const { return m_isScanning; }
    bool isCopying() const { return m_isCopying; }
    bool isCopyingText() const { return m_isCopyingText; }
    int textIndexRevision() const { return m_textIndexRevision; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const std::optional<QString> &toast() const { return m_toast; }
    ToastStyle toastStyle() const { return m_toastStyle; }
    const std::optional<QString> &copiedID() const { return m_copiedID; }
    bool canUndo() const { return m_canUndo; }
    int arrivalCount() const { return m_arrivalCount; }
    bool hasNewScreenshots() const { return m_hasNewScreenshots; }
    bool connected() const { return m_connected; }

    void setQuery(const QString &query);
    void setPinnedOnly(bool pinnedOnly);
    // Set by the application controller on an arrival while the gallery is hidden.
    void setHasNewScreenshots(bool value);

    // Called after arrivalCount went up.
    void setOnArrival(std::function<void()> onArrival) { m_onArrival = std::move(onArrival); }

    // --- derived values ---
    const GallerySnapshot &snapshot() const { return m_snapshot; }
    const QList<Screenshot> &visibleItems() const { return m_snapshot.items(); }
    int pinnedCount() const { return m_snapshot.pinnedCount(); }
    std::optional<Screenshot> selected() const { return m_snapshot.selected(m_selectedID); }
    // The newest screenshot, whatever the tab or query.
    std::optional<Screenshot> latest() const;
    // "Reading text · N of M" while reading, "Some text couldn’t be read" after failures.
    std::optional<QString> textIndexStatus() const;
    // The line of the item's recognised text that matches the current query.
    std::optional<QString> textSnippet(const Screenshot &item) const;
    ScreenshotTextIndex &textIndex() const { return *m_textIndex; }
    // Bumps with every snapshot rebuild, whether or not anything visible changed.
    qint64 snapshotRevision() const { return m_snapshotRevision; }

    // --- connection and scanning ---
    // Reconnects the folder of an earlier run, if there was one.
    void start();
    // Lets the user pick the folder, then connects it.
    void chooseFolder();
    // Connects the folder at `url` (a local file URL) and starts its first scan.
    void connectFolder(const QUrl &url);
    // Rescans the connected folder; a request during a scan becomes one follow-up scan.
    void refresh(bool isInitial = false);

    // --- selection ---
    void select(const Screenshot &item);
    void moveSelection(int by);

    // --- actions ---
    void copy(const Screenshot &item);
    void copyText(const Screenshot &item);
    void pin(const Screenshot &item);
    void trash(const Screenshot &item);
    void undoTrash();
    void showToast(const QString &message,
                   std::chrono::milliseconds duration = defaultToastDuration,
                   ToastStyle style = ToastStyle::success);

    // The invariants tests assert after every change: the snapshot is the one the current
    // items, pins, tab, query and text give; the selection names a visible item whenever one
    // is visible (or a restored file its rescan is about to bring back); flags and the tasks
    // they describe agree.
    bool isConsistent() const;

signals:
    void itemsChanged();
    void stateChanged();
    void selectedIDChanged();
    void queryChanged();
    void pinnedOnlyChanged();
    void isScanningChanged();
    void isCopyingChanged();
    void isCopyingTextChanged();
    void textIndexRevisionChanged();
    void errorMessageChanged();
    void toastChanged();
    void toastStyleChanged();
    void copiedIDChanged();
    void canUndoChanged();
    void arrivalCountChanged();
    void hasNewScreenshotsChanged();
    void connectedChanged();
    // The visible items, pinned count or their order may have changed.
    void snapshotChanged();

private:
    struct LastTrash final
    {
        Screenshot original;
        QString trashed;
        bool wasPinned = false;
    };

    // Setters of published fields: emit only on change; items and state rebuild the snapshot.
    void setItems(const QList<Screenshot> &items);
    void setState(const LibraryState &state);
    void setSelectedID(const std::optional<QString> &id);
    void setIsScanning(bool value);
    void setIsCopying(bool value);
    void setIsCopyingText(bool value);
    void setErrorMessage(const std::optional<QString> &message);
    void setToast(const std::optional<QString> &toast);
    void setToastStyle(ToastStyle style);
    void setCopiedID(const std::optional<QString> &id);
    void setCanUndo(bool value);
    void setConnected(bool value);

    void connectionLost(const QString &message);
    void cancelTextWork();
    void cancelScan();
    void rebuildSnapshot();
    void repairSelection();
    void applyScan(const ScreenshotScanner::Result &result, const QList<Screenshot> &previous,
                   bool isInitial, quint64 serial);
    void textIndexChanged();
    void finishPendingTextCopy();
    void persistState();
    void toastExpired();

    Preferences &m_preferences;
    Services m_services;
    const ImageServices *m_images = nullptr;

    QList<Screenshot> m_items;
    LibraryState m_state;
    std::optional<QString> m_selectedID;
    QString m_query;
    bool m_pinnedOnly = false;
    bool m_isScanning = false;
    bool m_isCopying = false;
    bool m_isCopyingText = false;
    int m_textIndexRevision = 0;
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_toast;
    ToastStyle m_toastStyle = ToastStyle::success;
    std::optional<QString> m_copiedID;
    bool m_canUndo = false;
    int m_arrivalCount = 0;
    bool m_hasNewScreenshots = false;
    bool m_connected = false;

    std::unique_ptr<ScreenshotTextIndex> m_textIndex;
    std::optional<Screenshot> m_pendingTextCopy;
    // Serial of the running text copy's file check; none when no check runs.
    std::optional<quint64> m_textCopyTask;
    std::function<void()> m_onArrival;
    GallerySnapshot m_snapshot;
    qint64 m_snapshotRevision = 0;
    std::unique_ptr<FolderMonitor> m_monitor;
    qint64 m_generation = 0;
    // Serial of the running scan; none when no scan runs.
    std::optional<quint64> m_scanTask;
    bool m_scanAgain = false;
    quint64 m_nextTaskSerial = 0;
    QTimer m_toastTimer;
    std::optional<LastTrash> m_lastTrash;
    // The screenshot an undo selected before the rescan that brings its file back.
    std::optional<QString> m_awaitingRestore;
    // Scans with a serial above this one started after that undo.
    quint64 m_awaitingRestoreAfter = 0;
};
