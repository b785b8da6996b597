#include "library/TrashUndo.h"

#include "library/LibraryModel.h"
#include "library/Toasts.h"
#include "platform/Trash.h"

#include <utility>

TrashUndo::TrashUndo(std::unique_ptr<Trash> trash, Toasts &toasts, LibraryModel &library,
                     QObject *parent)
    : QObject(parent)
    , m_trash(std::move(trash))
    , m_toasts(toasts)
    , m_library(library)
{
    Q_ASSERT(m_trash);
}

TrashUndo::~TrashUndo() = default;

void TrashUndo::setLastTrash(std::optional<LastTrash> last)
{
    const bool could = canUndo();
    m_lastTrash = std::move(last);
    if (could != canUndo())
        emit canUndoChanged();
}

void TrashUndo::trash(Screenshot item)
{
    const Trash::MoveResult result = m_trash->moveToTrash(item.id());
    if (!result.succeeded) {
        m_toasts.show(tr("Couldn’t move this screenshot to Trash."), Toasts::defaultDuration,
                      ToastStyle::failure);
        m_library.refresh(false);
        return;
    }
    if (!result.trashedPath) {
        m_library.refresh(false);
        return;
    }

    const bool wasPinned = m_library.state().contains(item.id());
    m_library.removeTrashed(item);
    if (m_awaitingRestore == item.id())
        m_awaitingRestore.reset();

    setLastTrash(LastTrash{item, *result.trashedPath, wasPinned});
    m_toasts.show(tr("Moved to Trash"), Toasts::trashDuration, ToastStyle::trash);
}

void TrashUndo::undo()
{
    if (!m_lastTrash)
        return;
    const LastTrash last = *m_lastTrash;
    const QString originalPath = last.original.id();

    if (m_trash->exists(originalPath)) {
        m_toasts.show(tr("A file already exists there. Restore the screenshot from Trash."),
                      Toasts::defaultDuration, ToastStyle::failure);
        return;
    }
    // Emptied from the Trash, or put back by a file manager: no undo can bring it back now,
    // and saying it is still in the Trash would send the user looking for nothing.
    if (!m_trash->exists(last.trashed)) {
        setLastTrash(std::nullopt);
        m_toasts.show(tr("Couldn’t restore this screenshot. It’s no longer in Trash."),
                      Toasts::defaultDuration, ToastStyle::failure);
        return;
    }
    // Never replaces a file that appeared at the path in the meantime.
    if (!m_trash->restore(last.trashed, originalPath)) {
        m_toasts.show(tr("Couldn’t restore this screenshot. It’s still in Trash."),
                      Toasts::defaultDuration, ToastStyle::failure);
        return;
    }

    if (last.wasPinned)
        m_library.restorePin(originalPath);
    setLastTrash(std::nullopt);

    // The file comes back through a scan, which then selects it. Until then the selection stays
    // on what is shown, so the keys never act on a screenshot the gallery does not show.
    m_awaitingRestore = originalPath;
    m_awaitingRestoreAfter = m_library.lastScanSerial();
    m_library.refresh(false);
    if (!m_library.isScanning())
        m_awaitingRestore.reset(); // not connected: no scan will bring it back now
    m_toasts.show(tr("Screenshot restored"));
}

std::optional<QString> TrashUndo::takeRestored(quint64 scanSerial)
{
    if (!m_awaitingRestore || scanSerial <= m_awaitingRestoreAfter)
        return std::nullopt;
    return std::exchange(m_awaitingRestore, std::nullopt);
}
