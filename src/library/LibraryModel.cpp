#include "library/LibraryModel.h"

#include "library/FolderMonitor.h"
#include "platform/FolderBookmark.h"
#include "platform/ImageServices.h"
#include "platform/SettingsStore.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextWorker.h"

#include <QDir>
#include <QFuture>
#include <QPointer>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent/qtconcurrenttask.h>

#include <utility>

namespace {

// Scans queue behind interactive work on the shared pool.
constexpr int kScanPriority = -1;

bool canonicallyEqual(const QString &a, const QString &b)
{
    return a == b || a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

bool isBlank(const QString &text)
{
    return text.trimmed().isEmpty();
}

} // namespace

LibraryModel::LibraryModel(Preferences &preferences, Services services, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_services(std::move(services))
{
    Q_ASSERT(m_services.clipboard && m_services.trash && m_services.images
             && m_services.eventSource && m_services.textWorker);
    m_images = m_services.images;
    m_textIndex = std::make_unique<ScreenshotTextIndex>(std::move(m_services.textWorker));
    m_monitor = std::make_unique<FolderMonitor>(std::move(m_services.eventSource));

    m_state = LibraryState::fromJson(
        m_preferences.defaults().data(QLatin1String(Preferences::libraryStateKey)).value_or(QByteArray()));
    m_snapshot = GallerySnapshot({}, {}, false, {}, {});

    // The index outlives no model: it is our member, so the callback never sees a dead model.
    m_textIndex->setOnChange([this] { textIndexChanged(); });

    m_toastTimer.setSingleShot(true);
    m_toastTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_toastTimer, &QTimer::timeout, this, [this] { toastExpired(); });

    // Queued: the setting's writer finishes before the rescan starts.
    connect(&m_preferences, &Preferences::includeAllImagesChanged, this,
                     [this] { refresh(false); }, Qt::QueuedConnection);
}

LibraryModel::~LibraryModel()
{
    // Nothing may call back into a half-destroyed model.
    m_monitor->stop();
    m_textIndex->setOnChange({});
}

// --- setters -------------------------------------------------------------------------------

void LibraryModel::setItems(const QList<Screenshot> &items)
{
    // Always rebuilt: the assignment itself is the trigger, equal or not.
    const bool changed = m_items != items;
    m_items = items;
    if (changed)
        emit itemsChanged();
    rebuildSnapshot();
}

void LibraryModel::setState(const LibraryState &state)
{
    const bool changed = m_state != state;
    m_state = state;
    if (changed)
        emit stateChanged();
    rebuildSnapshot();
}

void LibraryModel::setSelectedID(const std::optional<QString> &id)
{
    if (m_selectedID == id)
        return;
    m_selectedID = id;
    emit selectedIDChanged();
}

void LibraryModel::setQuery(const QString &query)
{
    if (m_query == query)
        return;
    const bool sameSearch = canonicallyEqual(m_query, query);
    m_query = query;
    emit queryChanged();
    if (!sameSearch)
        rebuildSnapshot();
}

void LibraryModel::setPinnedOnly(bool pinnedOnly)
{
    if (m_pinnedOnly == pinnedOnly)
        return;
    m_pinnedOnly = pinnedOnly;
    emit pinnedOnlyChanged();
    rebuildSnapshot();
}

void LibraryModel::setHasNewScreenshots(bool value)
{
    if (m_hasNewScreenshots == value)
        return;
    m_hasNewScreenshots = value;
    emit hasNewScreenshotsChanged();
}

#define BRIMFOLD_PLAIN_SETTER(Setter, member, signal, Type) \
    void LibraryModel::Setter(Type value)                   \
    {                                                       \
        if (member == value)                                \
            return;                                         \
        member = value;                                     \
        emit signal();                                      \
    }

BRIMFOLD_PLAIN_SETTER(setIsScanning, m_isScanning, isScanningChanged, bool)
BRIMFOLD_PLAIN_SETTER(setIsCopying, m_isCopying, isCopyingChanged, bool)
BRIMFOLD_PLAIN_SETTER(setIsCopyingText, m_isCopyingText, isCopyingTextChanged, bool)
BRIMFOLD_PLAIN_SETTER(setErrorMessage, m_errorMessage, errorMessageChanged, const std::optional<QString> &)
BRIMFOLD_PLAIN_SETTER(setToast, m_toast, toastChanged, const std::optional<QString> &)
BRIMFOLD_PLAIN_SETTER(setToastStyle, m_toastStyle, toastStyleChanged, ToastStyle)
BRIMFOLD_PLAIN_SETTER(setCopiedID, m_copiedID, copiedIDChanged, const std::optional<QString> &)
BRIMFOLD_PLAIN_SETTER(setCanUndo, m_canUndo, canUndoChanged, bool)
BRIMFOLD_PLAIN_SETTER(setConnected, m_connected, connectedChanged, bool)

#undef BRIMFOLD_PLAIN_SETTER

// --- derived values --------------------------------------------------------------------------

std::optional<Screenshot> LibraryModel::latest() const
{
    if (m_items.isEmpty())
        return std::nullopt;
    return m_items.first();
}

std::optional<QString> LibraryModel::textIndexStatus() const
{
    if (m_textIndex->isIndexing()) {
        return tr("Reading text · %1 of %2")
            .arg(m_textIndex->completedCount())
            .arg(m_textIndex->totalCount());
    }
    if (!m_textIndex->failedKeys().isEmpty())
        return tr("Some text couldn’t be read");
    return std::nullopt;
}

std::optional<QString> LibraryModel::textSnippet(const Screenshot &item) const
{
    const auto found = m_textIndex->documents().constFind(item.cacheKey());
    if (found == m_textIndex->documents().cend())
        return std::nullopt;
    return found->snippet(m_query);
}

// --- connection ------------------------------------------------------------------------------

void LibraryModel::start()
{
    if (!m_preferences.hasConnectedFolder())
        return;
    QUrl location = m_preferences.folderURL();
    // Without a sandbox the bookmark is the folder's path and never stale; when it no longer
    // resolves the remembered path is tried all the same.
    if (const auto bookmark = m_preferences.defaults().data(QLatin1String(Preferences::folderBookmarkKey))) {
        if (const auto resolved = FolderBookmark::resolve(*bookmark))
            location = QUrl::fromLocalFile(*resolved);
    }
    connectFolder(location);
}

void LibraryModel::chooseFolder()
{
    if (!m_services.folderPicker)
        return;
    FolderPicker::Request request;
    request.title = tr("Connect your screenshot folder");
    request.message = tr("Choose the folder where your desktop saves screenshots. Brimfold will "
                         "make them available automatically.");
    request.prompt = tr("Connect folder");
    request.startFolder = m_preferences.folderURL();

    const QPointer<LibraryModel> self(this);
    m_services.folderPicker->chooseFolder(request, [self](std::optional<QString> folderPath) {
        if (!self || !folderPath || folderPath->isEmpty())
            return;
        // A bookmark that cannot be made is simply not stored.
        if (const auto bookmark = FolderBookmark::create(*folderPath))
            self->m_preferences.defaults().setData(QLatin1String(Preferences::folderBookmarkKey), *bookmark);
        self->connectFolder(QUrl::fromLocalFile(*folderPath));
    });
}

void LibraryModel::connectFolder(const QUrl &url)
{
    ++m_generation;
    cancelTextWork();
    cancelScan();
    m_monitor->stop();

    const QString path = url.toLocalFile();
    m_preferences.setFolderPath(path);

    setItems({});
    setSelectedID(std::nullopt);
    setErrorMessage(std::nullopt);
    setConnected(false);
    setHasNewScreenshots(false);
    m_awaitingRestore.reset();

    const qint64 generation = m_generation;
    const QPointer<LibraryModel> self(this);
    const auto failure = m_monitor->start(
        path,
        [self, generation] {
            if (self && self->m_generation == generation)
                self->refresh(false);
        },
        [self, generation] {
            if (self && self->m_generation == generation)
                self->connectionLost(tr("Your screenshot folder moved or became unavailable. "
                                        "Reconnect it to continue."));
        });
    if (failure) {
        setErrorMessage(tr("Brimfold can’t access this folder. Choose it again to grant access."));
        return;
    }
    m_preferences.setHasConnectedFolder(true);
    setConnected(true);
    refresh(true);
}

void LibraryModel::connectionLost(const QString &message)
{
    ++m_generation;
    cancelTextWork();
    cancelScan();
    setConnected(false);
    m_monitor->stop();
    setErrorMessage(message);
    m_awaitingRestore.reset();
}

void LibraryModel::cancelTextWork()
{
    m_pendingTextCopy.reset();
    m_textCopyTask.reset();
    setIsCopyingText(false);
    m_textIndex->stop();
}

void LibraryModel::cancelScan()
{
    m_scanTask.reset();
    m_scanAgain = false;
    setIsScanning(false);
}

// --- scanning --------------------------------------------------------------------------------

void LibraryModel::refresh(bool isInitial)
{
    if (!m_connected)
        return;
    if (m_isScanning) {
        m_scanAgain = true;
        return;
    }
    setIsScanning(true);

    const QString folder = m_preferences.folderURL().toLocalFile();
    const bool includeAllImages = m_preferences.includeAllImages();
    const QList<Screenshot> previous = m_items;
    const qint64 generation = m_generation;
    const QSet<QString> pins = m_state.pinnedPaths();
    const ImageServices *images = m_images;
    const quint64 serial = ++m_nextTaskSerial;
    m_scanTask = serial;

    QtConcurrent::task([folder, includeAllImages, previous, pins, images] {
        return ScreenshotScanner::scan(folder, includeAllImages, scanLimit, previous, pins, *images);
    })
        .onThreadPool(*QThreadPool::globalInstance())
        .withPriority(kScanPriority)
        .spawn()
        .then(this, [this, serial, generation, previous, isInitial](const ScreenshotScanner::Result &result) {
            // Cancelled by a connect or a lost connection, which already reset isScanning.
            if (m_scanTask != serial || m_generation != generation)
                return;
            m_scanTask.reset();
            setIsScanning(false);
            applyScan(result, previous, isInitial, serial);
            if (m_scanAgain) {
                m_scanAgain = false;
                refresh(false);
            }
        });
}

void LibraryModel::applyScan(const ScreenshotScanner::Result &result,
                             const QList<Screenshot> &previous, bool isInitial, quint64 serial)
{
    if (!result.ok()) {
        connectionLost(tr("Your screenshot folder couldn’t be read. Reconnect it to continue."));
        return;
    }
    const QList<Screenshot> &list = result.screenshots;

    QSet<QString> previousIDs;
    previousIDs.reserve(previous.size());
    for (const Screenshot &item : previous)
        previousIDs.insert(item.id());
    bool arrived = false;
    for (const Screenshot &item : list) {
        if (!previousIDs.contains(item.id())) {
            arrived = true;
            break;
        }
    }

    bool countArrivals = !isInitial;
    if (m_items == list) {
        if (isInitial)
            m_textIndex->update(list);
        setErrorMessage(std::nullopt);
    } else {
        setItems(list);
        m_textIndex->update(list);
        setErrorMessage(std::nullopt);
    }
    // An undo's screenshot is selected by the first scan started after it, if that scan shows it.
    if (m_awaitingRestore && serial > m_awaitingRestoreAfter) {
        const QString restored = *std::exchange(m_awaitingRestore, std::nullopt);
        if (m_snapshot.contains(restored))
            setSelectedID(restored);
    }

    if (countArrivals && arrived) {
        ++m_arrivalCount;
        emit arrivalCountChanged();
        if (m_onArrival)
            m_onArrival();
    }
}

// --- snapshot and selection ------------------------------------------------------------------

void LibraryModel::rebuildSnapshot()
{
    GallerySnapshot snapshot(m_items, m_state, m_pinnedOnly, m_query, m_textIndex->normalizedText());
    ++m_snapshotRevision;
    const bool changed = !(snapshot == m_snapshot);
    m_snapshot = std::move(snapshot);
    if (changed)
        emit snapshotChanged();
    repairSelection();
}

void LibraryModel::repairSelection()
{
    if (m_selectedID && m_snapshot.contains(*m_selectedID))
        return;
    if (m_snapshot.items().isEmpty())
        setSelectedID(std::nullopt);
    else
        setSelectedID(m_snapshot.items().first().id());
}

void LibraryModel::select(const Screenshot &item)
{
    m_awaitingRestore.reset();
    setSelectedID(item.id());
}

void LibraryModel::moveSelection(int by)
{
    m_awaitingRestore.reset();
    setSelectedID(m_snapshot.movingSelection(m_selectedID, by));
}

void LibraryModel::textIndexChanged()
{
    ++m_textIndexRevision;
    emit textIndexRevisionChanged();
    // New text can only change what a real search shows.
    if (!isBlank(m_query))
        rebuildSnapshot();
    finishPendingTextCopy();
}

bool LibraryModel::isConsistent() const
{
    if (!m_snapshot.isConsistent())
        return false;
    const GallerySnapshot expected(m_items, m_state, m_pinnedOnly, m_query,
                                   m_textIndex->normalizedText());
    if (!(expected == m_snapshot))
        return false;
    // The selection names a shown screenshot, or nothing when nothing is shown.
    if (m_snapshot.items().isEmpty() ? m_selectedID.has_value()
                                     : !m_selectedID || !m_snapshot.contains(*m_selectedID))
        return false;
    if (m_isScanning != m_scanTask.has_value())
        return false;
    if (m_scanAgain && !m_isScanning)
        return false;
    if (m_isScanning && !m_connected)
        return false;
    if (m_isCopyingText != (m_pendingTextCopy.has_value() || m_textCopyTask.has_value()))
        return false;
    if (m_pendingTextCopy && m_textCopyTask)
        return false;
    if (m_canUndo != m_lastTrash.has_value())
        return false;
    if (m_copiedID && !m_toast)
        return false;
    if (m_toast.has_value() != m_toastTimer.isActive())
        return false;
    return m_textIndex->isConsistent();
}
