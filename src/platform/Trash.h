#pragma once

#include <QString>

#include <optional>

// The desktop's Trash as the library's move-to-Trash action and its undo use it.
class Trash
{
public:
    // How one move to the Trash ended. Not succeeded: the file is still where it was.
    // Succeeded with a trashed path: the file now lives there and restore() can bring it back.
    // Succeeded without one: the file left its place, but where it went is unknown.
    struct MoveResult
    {
        bool succeeded = false;
        std::optional<QString> trashedPath;

        static MoveResult failed() { return {}; }
        static MoveResult movedWithoutLocation() { return {true, std::nullopt}; }
        static MoveResult movedTo(const QString &trashedPath) { return {true, trashedPath}; }

        friend bool operator==(const MoveResult &, const MoveResult &) = default;
    };

    virtual ~Trash() = default;

    // Moves the file (or folder) at the absolute `path` into the Trash.
    virtual MoveResult moveToTrash(const QString &path) = 0;

    // Moves a trashed file back to `originalPath` and forgets its Trash entry. Never replaces
    // anything: false, with both files left as they are, when something already occupies
    // `originalPath` or the Trash says the file at `trashedPath` came from elsewhere, and false
    // when the move fails for any other reason.
    virtual bool restore(const QString &trashedPath, const QString &originalPath) = 0;

    // Whether anything at all occupies `path`: a file, a folder, even a dangling symbolic link.
    virtual bool exists(const QString &path) const = 0;

protected:
    Trash() = default;
    Trash(const Trash &) = default;
    Trash &operator=(const Trash &) = default;
};
