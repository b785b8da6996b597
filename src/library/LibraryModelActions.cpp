// The user's actions on one screenshot: copy, copy text, pin, move to Trash, undo, and the
// transient message each of them ends with.
#include "library/LibraryModel.h"

#include "platform/Clipboard.h"
#include "platform/ImageServices.h"
#include "platform/SettingsStore.h"
#include "platform/Trash.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextIndex.h"

#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/qtconcurrenttask.h>

namespace {

// Work the user waits for goes ahead of scans on the shared pool.
constexpr int kUserInitiatedPriority = 1;

// The bytes of a PNG file as they are; anything else (or a file named .png that holds another
// format) decoded and encoded as a PNG of its first image. None when that fails.
std::optional<QByteArray> pngData(const QString &path, const ImageServices &images)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (QFileInfo(path).suffix().toLower() == QLatin1String("png")) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return std::nullopt;
        if (bytes.startsWith(signature))
            return bytes;
    }
    const std::optional<QImage> image = images.decodeFirstImage(path);
    if (!image)
        return std::nullopt;
    return ImageServices::encodePng(*image);
}

} // namespace

void LibraryModel::showToast(const QString &message, std::chrono::milliseconds duration,
                             ToastStyle style)
{
    m_toastTimer.stop();
    setToastStyle(style);
    setCopiedID(std::nullopt);
    setToast(message);
    m_toastTimer.start(duration);
}

void LibraryModel::toastExpired()
{
    setToast(std::nullopt);
    setCopiedID(std::nullopt);
}

// --- copy image --------------------------------------------------------------------------------

void LibraryModel::copy(const Screenshot &item)
{
    if (m_isCopying)
        return;
    setIsCopying(true);
    setCopiedID(std::nullopt);

    const QString path = item.id();
    const ImageServices *images = m_images;
    QtConcurrent::task([path, images] { return pngData(path, *images); })
        .onThreadPool(*QThreadPool::globalInstance())
        .withPriority(kUserInitiatedPriority)
        .spawn()
        .then(this, [this, id = item.id()](const std::optional<QByteArray> &png) {
            setIsCopying(false);
            if (!png) {
                showToast(tr("Couldn’t copy this image. It may have moved."), defaultToastDuration,
                          ToastStyle::failure);
                refresh(false);
                return;
            }
            if (!m_services.clipboard->writeImagePng(*png)) {
                showToast(tr("Couldn’t update the clipboard. Try again."), defaultToastDuration,
                          ToastStyle::failure);
                return;
            }
            // After the toast, which clears the mark: the tile stays marked as long as it shows.
            showToast(tr("Copied. Ready to paste."), defaultToastDuration, ToastStyle::success);
            setCopiedID(id);
        });
}

// --- copy text ---------------------------------------------------------------------------------

void LibraryModel::copyText(const Screenshot &item)
{
    if (!m_connected || m_isCopyingText)
        return;
    m_pendingTextCopy = item;
    setIsCopyingText(true);
    m_textIndex->prioritize(item);
    finishPendingTextCopy();
}

void LibraryModel::finishPendingTextCopy()
{
    if (!m_pendingTextCopy)
        return;
    const Screenshot item = *m_pendingTextCopy;
    const QString key = item.cacheKey();

    const bool inLibrary = std::any_of(m_items.cbegin(), m_items.cend(),
                                       [&](const Screenshot &s) { return s.cacheKey() == key; });
    if (!m_connected || !inLibrary) {
        m_pendingTextCopy.reset();
        setIsCopyingText(false);
        showToast(tr("This screenshot changed or moved. Please try again."), defaultToastDuration,
                  ToastStyle::failure);
        return;
    }
    if (m_textIndex->failedKeys().contains(key)) {
        m_pendingTextCopy.reset();
        setIsCopyingText(false);
        showToast(tr("Couldn’t read this screenshot’s text. Try again."), defaultToastDuration,
                  ToastStyle::failure);
        return;
    }
    const auto document = m_textIndex->documents().constFind(key);
    if (document == m_textIndex->documents().cend())
        return; // still being read; the index's next change calls us again

    // The text is taken now, together with the record it was read from, and only copied if
    // the file is still that record: the index may drop or replace the entry meanwhile.
    const QString text = document->text();
    m_pendingTextCopy.reset();
    const quint64 serial = ++m_nextTaskSerial;
    m_textCopyTask = serial;
    const qint64 generation = m_generation;

    QtConcurrent::task([item] { return item.matchesCurrentFile(); })
        .onThreadPool(*QThreadPool::globalInstance())
        .withPriority(kUserInitiatedPriority)
        .spawn()
        .then(this, [this, serial, generation, text](bool matches) {
            if (m_textCopyTask != serial || m_generation != generation)
                return;
            m_textCopyTask.reset();
            setIsCopyingText(false);
            if (!matches) {
                showToast(tr("This screenshot changed. Please try again."), defaultToastDuration,
                          ToastStyle::failure);
                refresh(false);
                return;
            }
            if (text.isEmpty()) {
                showToast(tr("No readable text found. Clipboard unchanged."), defaultToastDuration,
                          ToastStyle::success);
                return;
            }
            if (m_services.clipboard->writeText(text)) {
                showToast(tr("Text copied. Ready to paste."), defaultToastDuration,
                          ToastStyle::success);
            } else {
                showToast(tr("Couldn’t update the clipboard. Try again."), defaultToastDuration,
                          ToastStyle::failure);
            }
        });
}

// --- pins --------------------------------------------------------------------------------------

void LibraryModel::pin(const Screenshot &item)
{
    LibraryState state = m_state;
    state.togglePin(item.id());
    setState(state);
    persistState();
    showToast(m_state.contains(item.id()) ? tr("Pinned for later") : tr("Unpinned"));
}

void LibraryModel::persistState()
{
    m_preferences.defaults().setData(QLatin1String(Preferences::libraryStateKey), m_state.toJson());
}

// --- Trash -------------------------------------------------------------------------------------

void LibraryModel::trash(const Screenshot &item)
{
    const Trash::MoveResult result = m_services.trash->moveToTrash(item.id());
    if (!result.succeeded) {
        showToast(tr("Couldn’t move this screenshot to Trash."), defaultToastDuration,
                  ToastStyle::failure);
        refresh(false);
        return;
    }
    if (!result.trashedPath) {
        refresh(false);
        return;
    }

    m_lastTrash = LastTrash{item, *result.trashedPath, m_state.contains(item.id())};
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
    if (m_awaitingRestore == item.id())
        m_awaitingRestore.reset();

    setCanUndo(true);
    showToast(tr("Moved to Trash"), trashToastDuration, ToastStyle::trash);
}

void LibraryModel::undoTrash()
{
    if (!m_lastTrash)
        return;
    const LastTrash last = *m_lastTrash;
    const QString originalPath = last.original.id();

    if (m_services.trash->exists(originalPath)) {
        showToast(tr("A file already exists there. Restore the screenshot from Trash."),
                  defaultToastDuration, ToastStyle::failure);
        return;
    }
    // Never replaces a file that appeared at the path in the meantime.
    if (!m_services.trash->restore(last.trashed, originalPath)) {
        showToast(tr("Couldn’t restore this screenshot. It’s still in Trash."),
                  defaultToastDuration, ToastStyle::failure);
        return;
    }

    if (last.wasPinned) {
        LibraryState state = m_state;
        state.insert(originalPath);
        setState(state);
        persistState();
    }
    m_lastTrash.reset();
    setCanUndo(false);

    // The file comes back through a scan, which then selects it. Until then the selection stays
    // on what is shown, so the keys never act on a screenshot the gallery does not show.
    m_awaitingRestore = originalPath;
    m_awaitingRestoreAfter = m_nextTaskSerial;
    refresh(false);
    if (!m_isScanning)
        m_awaitingRestore.reset(); // not connected: no scan will bring it back now
    showToast(tr("Screenshot restored"), defaultToastDuration, ToastStyle::success);
}
