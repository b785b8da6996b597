#pragma once

#include "platform/Trash.h"

#include <optional>

// The freedesktop.org Trash: the home trash in the user's data folder ($XDG_DATA_HOME/Trash)
// for files on its file system, or the trash at the top of another file system
// (<top>/.Trash/<uid>, else <top>/.Trash-<uid>). A trash keeps a file in "files" and its
// description, info/<name>.trashinfo, beside it, so restoring works from the trashed path
// alone. Files are only ever renamed, never copied: one that cannot be renamed into the trash
// of its own file system stays where it is.
class SystemTrash final : public Trash
{
public:
    // A trash folder, and the folder the paths in its descriptions are relative to: the top
    // folder of its file system, or empty for absolute paths (the home trash).
    struct Location
    {
        QString folder;
        QString topFolder;
    };

    MoveResult moveToTrash(const QString &path) override;

    // Also refuses when the trashed file's description says it came from elsewhere: the name
    // in the Trash was then reused for another file. Descriptions with the path escaped as in
    // URLs and with the raw path (written by earlier versions) are both understood.
    bool restore(const QString &trashedPath, const QString &originalPath) override;
    bool exists(const QString &path) const override;

    // The home trash, created when missing. None without a usable data folder.
    static std::optional<Location> homeTrash();

    // The trash of the file system whose top folder is `topFolder`: <top>/.Trash/<uid> when an
    // administrator made <top>/.Trash (a real folder with the sticky bit), else <top>/.Trash-<uid>;
    // created when missing. None when neither is a folder of this user's.
    static std::optional<Location> mountTrash(const QString &topFolder);

    // Moves the file at `path` into the trash at `location` under a name no other trashed file
    // has, after writing its description.
    static MoveResult moveInto(const QString &path, const Location &location);

    // Renames `source` to `target` unless something is at `target`, without a window in which
    // a file appearing there could be replaced where the file system allows it. False when
    // `target` is occupied or the rename fails.
    static bool renameWithoutReplacing(const QString &source, const QString &target);
};
