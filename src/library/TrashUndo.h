#pragma once

#include "core/Screenshot.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class LibraryModel;
class Toasts;
class Trash;

// Moving a screenshot to the Trash, and undoing the latest such move. The library drops a
// trashed screenshot at once; a restored one comes back with the next scan, which then selects
// it ("awaiting restore") unless the user chose another selection meanwhile.
//
// Main thread only.
class TrashUndo final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY canUndoChanged)

public:
    // `toasts` and `library` must outlive this object.
    TrashUndo(std::unique_ptr<Trash> trash, Toasts &toasts, LibraryModel &library,
              QObject *parent = nullptr);
    ~TrashUndo() override;

    bool canUndo() const { return m_lastTrash.has_value(); }

    // By value: the caller's screenshot may live in the library's list, which the move replaces.
    void trash(Screenshot item);
    void undo();

    // --- the awaiting-restore rule, driven by the library ---
    // The user (or a new connection) chose the selection: a restore no longer moves it.
    void forgetRestore() { m_awaitingRestore.reset(); }
    // The restored screenshot to select once the scan with `scanSerial` is applied; none when
    // that scan started before the undo or nothing awaits. Asked once per applied scan.
    std::optional<QString> takeRestored(quint64 scanSerial);

signals:
    void canUndoChanged();

private:
    struct LastTrash final
    {
        Screenshot original;
        QString trashed;
        bool wasPinned = false;
    };

    void setLastTrash(std::optional<LastTrash> last);

    std::unique_ptr<Trash> m_trash;
    Toasts &m_toasts;
    LibraryModel &m_library;

    std::optional<LastTrash> m_lastTrash;
    // The screenshot an undo selected before the rescan that brings its file back.
    std::optional<QString> m_awaitingRestore;
    // Scans with a serial above this one started after that undo.
    quint64 m_awaitingRestoreAfter = 0;
};
