#pragma once

#include "core/Screenshot.h"
#include "library/CopyActions.h"
#include "library/FolderPicker.h"
#include "library/GallerySnapshot.h"
#include "library/LibraryState.h"
#include "library/ScreenshotScanner.h"
#include "library/Toasts.h"
#include "library/TrashUndo.h"
#include "platform/Clipboard.h"
#include "platform/FolderEventSource.h"
#include "platform/Trash.h"
#include "text/ScreenshotTextRecognizing.h"
#include "text/ScreenshotTextWorker.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

class FolderMonitor;
class ImageServices;
class Preferences;
class ScreenshotTextIndex;

// The central state of the library: which folder is connected, the screenshots it holds,
// what the gallery shows for the current tab and query, the selection and arrivals of new
// screenshots. It composes the parts the user acts through: the toast (toasts()), copying
// (copyActions()) and moving to the Trash with undo (trashUndo()); pinning stays here, as
// pins are part of the library's state.
//
// Main thread only. Background work (scans, the file check before a text copy) returns values
// that are compared with `generation` before use; stale ones are dropped.
class LibraryModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<Screenshot> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(LibraryState state READ state NOTIFY stateChanged)
    Q_PROPERTY(std::optional<QString> selectedID READ selectedID NOTIFY selectedIDChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(bool pinnedOnly READ pinnedOnly WRITE setPinnedOnly NOTIFY pinnedOnlyChanged)
    Q_PROPERTY(bool isScanning READ isScanning NOTIFY isScanningChanged)
    Q_PROPERTY(std::optional<QString> errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(int arrivalCount READ arrivalCount NOTIFY arrivalCountChanged)
    Q_PROPERTY(bool hasNewScreenshots READ hasNewScreenshots WRITE setHasNewScreenshots
                   NOTIFY hasNewScreenshotsChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)

public:
    static constexpr int scanLimit = ScreenshotScanner::defaultLimit;

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
        // The names that count as screenshots beside the standard beginnings: by default the
        // tools' date-first translations; the application adds the user's own tools' patterns.
        ScreenshotNamePatterns namePatterns;
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
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    int arrivalCount() const { return m_arrivalCount; }
    bool hasNewScreenshots() const { return m_hasNewScreenshots; }
    bool connected() const { return m_connected; }

    void setQuery(const QString &query);
    void setPinnedOnly(bool pinnedOnly);
    // Set by the application controller on an arrival while the gallery is hidden.
    void setHasNewScreenshots(bool value);

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
    Toasts &toasts() const { return *m_toasts; }
    CopyActions &copyActions() const { return *m_copyActions; }
    TrashUndo &trashUndo() const { return *m_trashUndo; }
    void pin(const Screenshot &item);

    // Advances with every connect and every lost connection; background results made under an
    // earlier generation are dropped.
    qint64 generation() const { return m_generation; }

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
    void errorMessageChanged();
    void arrivalCountChanged();
    void hasNewScreenshotsChanged();
    void connectedChanged();
    // The visible items, pinned count or their order may have changed.
    void snapshotChanged();

private:
    friend class TrashUndo;

    // Setters of published fields: emit only on change; items and state rebuild the snapshot.
    void setItems(const QList<Screenshot> &items);
    void setState(const LibraryState &state);
    void setSelectedID(const std::optional<QString> &id);
    void setIsScanning(bool value);
    void setErrorMessage(const std::optional<QString> &message);
    void setConnected(bool value);

    void connectionLost(const QString &message);
    void dropVanishedItems();
    void cancelTextWork();
    void cancelScan();
    void rebuildSnapshot();
    void repairSelection();
    void applyScan(const ScreenshotScanner::Result &result, const QList<Screenshot> &previous,
                   bool isInitial, quint64 serial);
    void textIndexChanged();
    void persistState();
    // For TrashUndo: drops a trashed screenshot now rather than at the next scan, selecting
    // the one that took its place.
    void removeTrashed(const Screenshot &item);
    // For TrashUndo: pins a restored screenshot again.
    void restorePin(const QString &path);
    quint64 lastScanSerial() const { return m_nextTaskSerial; }

    Preferences &m_preferences;
    const ImageServices *m_images = nullptr;
    ScreenshotNamePatterns m_namePatterns;
    std::unique_ptr<FolderPicker> m_folderPicker;

    QList<Screenshot> m_items;
    LibraryState m_state;
    std::optional<QString> m_selectedID;
    QString m_query;
    bool m_pinnedOnly = false;
    bool m_isScanning = false;
    std::optional<QString> m_errorMessage;
    int m_arrivalCount = 0;
    bool m_hasNewScreenshots = false;
    bool m_connected = false;

    // Declared in dependency order: each part may use the ones above it while it exists.
    std::unique_ptr<ScreenshotTextIndex> m_textIndex;
    std::unique_ptr<Toasts> m_toasts;
    std::unique_ptr<CopyActions> m_copyActions;
    std::unique_ptr<TrashUndo> m_trashUndo;
    GallerySnapshot m_snapshot;
    qint64 m_snapshotRevision = 0;
    std::unique_ptr<FolderMonitor> m_monitor;
    qint64 m_generation = 0;
    // Serial of the running scan; none when no scan runs.
    std::optional<quint64> m_scanTask;
    bool m_scanAgain = false;
    quint64 m_nextTaskSerial = 0;
};
