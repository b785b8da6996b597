#include "library/LibraryModel.h"

#include "core/BackgroundPool.h"
#include "core/WhenFinished.h"

#include "library/FolderMonitor.h"
#include "platform/ImageServices.h"
#include "platform/freedesktop/SettingsStore.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextWorker.h"

#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QPointer>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent/qtconcurrentrun.h>
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
    , m_images(services.images)
    , m_namePatterns(std::move(services.namePatterns))
    , m_folderPicker(std::move(services.folderPicker))
{
    Q_ASSERT(services.clipboard && services.trash && services.images && services.eventSource
             && services.textWorker);
    m_textIndex = std::make_unique<ScreenshotTextIndex>(std::move(services.textWorker));
    // Before the copy actions connect theirs: new text first updates what the search shows.
    connect(m_textIndex.get(), &ScreenshotTextIndex::changed, this, &LibraryModel::textIndexChanged);
    m_toasts = std::make_unique<Toasts>();
    m_copyActions = std::make_unique<CopyActions>(std::move(services.clipboard), *m_images,
                                                  *m_textIndex, *m_toasts, *this);
    connect(m_copyActions.get(), &CopyActions::rescanNeeded, this, [this] { refresh(false); });
    m_trashUndo = std::make_unique<TrashUndo>(std::move(services.trash), *m_toasts, *this);

    m_monitor = std::make_unique<FolderMonitor>(std::move(services.eventSource));
    connect(m_monitor.get(), &FolderMonitor::changed, this, [this] { refresh(false); });
    connect(m_monitor.get(), &FolderMonitor::invalidated, this, [this] {
        connectionLost(tr("Your screenshot folder moved or became unavailable. "
                          "Reconnect it to continue."));
    });

    m_state = LibraryState::fromJson(
        m_preferences.defaults().data(QLatin1String(Preferences::libraryStateKey)).value_or(QByteArray()));
    m_snapshot = GallerySnapshot({}, {}, false, {}, {});

    // Queued: the setting's writer finishes before the rescan starts.
    connect(&m_preferences, &Preferences::includeAllImagesChanged, this,
                     [this] { refresh(false); }, Qt::QueuedConnection);
}

LibraryModel::~LibraryModel()
{
    // Nothing may call back into a half-destroyed model.
    m_monitor->stop();
    m_textIndex->disconnect(this);
    // A running scan reads through the image services, which may go right after the model.
    waitForWatchedWork(this);
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
BRIMFOLD_PLAIN_SETTER(setErrorMessage, m_errorMessage, errorMessageChanged, const std::optional<QString> &)
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
    // Until the kept texts are in, a count would read "0 of 500" for a library read long ago.
    if (m_textIndex->isLoadingCached())
        return std::nullopt;
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
    connectFolder(m_preferences.folderURL());
}

void LibraryModel::chooseFolder()
{
    if (!m_folderPicker)
        return;
    FolderPicker::Request request;
    request.title = tr("Connect your screenshot folder");
    request.message = tr("Choose the folder where your desktop saves screenshots. Brimfold will "
                         "make them available automatically.");
    request.prompt = tr("Connect folder");
    request.startFolder = m_preferences.folderURL();

    const QPointer<LibraryModel> self(this);
    m_folderPicker->chooseFolder(request, [self](std::optional<QString> folderPath) {
        if (!self || !folderPath || folderPath->isEmpty())
            return;
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
    m_trashUndo->forgetRestore();

    // The monitor only reports on the watch started here; stop() above ended the one before.
    if (m_monitor->start(path)) {
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
    m_trashUndo->forgetRestore();
    dropVanishedItems();
}

void LibraryModel::dropVanishedItems()
{
    // The tiles stay for what is still there; a deleted or moved folder's files can no longer be
    // previewed, copied or trashed. Checked off the main thread: a lost volume may answer slowly.
    QStringList paths;
    paths.reserve(m_items.size());
    for (const Screenshot &item : m_items)
        paths.append(item.id());
    const qint64 generation = m_generation;
    const QFuture<QSet<QString>> check = QtConcurrent::run(&BackgroundPool::shared(), [paths] {
        QSet<QString> vanished;
        for (const QString &path : paths) {
            if (!QFileInfo(path).isFile())
                vanished.insert(path);
        }
        return vanished;
    });
    whenFinished(check, this, [this, generation](const QSet<QString> &vanished) {
        if (vanished.isEmpty() || m_connected || m_generation != generation)
            return;
        QList<Screenshot> present;
        present.reserve(m_items.size());
        for (const Screenshot &item : std::as_const(m_items)) {
            if (!vanished.contains(item.id()))
                present.append(item);
        }
        setItems(present);
    });
}

void LibraryModel::cancelTextWork()
{
    m_copyActions->cancelTextCopy();
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
    const ScreenshotNamePatterns names = m_namePatterns;
    const quint64 serial = ++m_nextTaskSerial;
    m_scanTask = serial;

    const QFuture<ScreenshotScanner::Result> scan =
        QtConcurrent::task([folder, includeAllImages, previous, pins, images, names] {
            return ScreenshotScanner::scan(folder, includeAllImages, scanLimit, previous, pins, *images, names);
        })
            .onThreadPool(BackgroundPool::shared())
            .withPriority(kScanPriority)
            .spawn();
    whenFinished(scan, this, [this, serial, generation, previous, isInitial](const ScreenshotScanner::Result &result) {
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
    if (const auto restored = m_trashUndo->takeRestored(serial)) {
        if (m_snapshot.contains(*restored))
            setSelectedID(*restored);
    }

    if (countArrivals && arrived) {
        ++m_arrivalCount;
        emit arrivalCountChanged();
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
    m_trashUndo->forgetRestore();
    setSelectedID(item.id());
}

void LibraryModel::moveSelection(int by)
{
    m_trashUndo->forgetRestore();
    setSelectedID(m_snapshot.movingSelection(m_selectedID, by));
}

void LibraryModel::textIndexChanged()
{
    // New text can only change what a real search shows.
    if (!isBlank(m_query))
        rebuildSnapshot();
}

// --- pins and the Trash's changes ---------------------------------------------------------------

void LibraryModel::pin(const Screenshot &item)
{
    LibraryState state = m_state;
    state.togglePin(item.id());
    setState(state);
    persistState();
    m_toasts->show(m_state.contains(item.id()) ? tr("Pinned for later") : tr("Unpinned"));
}

void LibraryModel::persistState()
{
    m_preferences.defaults().setData(QLatin1String(Preferences::libraryStateKey), m_state.toJson());
}

void LibraryModel::restorePin(const QString &path)
{
    LibraryState state = m_state;
    state.insert(path);
    setState(state);
    persistState();
}

void LibraryModel::removeTrashed(const Screenshot &item)
{
    const qsizetype position = m_snapshot.indices().value(item.id(), 0);

    LibraryState state = m_state;
    state.remove(item.id());
    setState(state);
    persistState();

    QList<Screenshot> remaining = m_items;
    remaining.removeIf([&](const Screenshot &s) { return s.id() == item.id(); });
    setItems(remaining);
    m_textIndex->update(m_items);

    // The screenshot that took the trashed one's place, or the new last one.
    const QList<Screenshot> &visible = m_snapshot.items();
    if (visible.isEmpty())
        setSelectedID(std::nullopt);
    else
        setSelectedID(visible.at(std::min(position, visible.size() - 1)).id());
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
    return m_copyActions->isConsistent() && m_toasts->isConsistent() && m_textIndex->isConsistent();
}
