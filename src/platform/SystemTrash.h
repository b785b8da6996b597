#pragma once

#include "platform/Trash.h"

// The freedesktop.org Trash: the home trash in the user's data folder ($XDG_DATA_HOME/Trash),
// or <mount>/.Trash-<uid> (or <mount>/.Trash/<uid>) for files on other file systems. Both keep
// a trashed file in "files" and its description in the sibling folder "info"; a name already
// in the Trash gets a "-0001" style suffix, and the description is named after the trashed
// file, so restoring works from the trashed path alone.
class SystemTrash final : public Trash
{
public:
    MoveResult moveToTrash(const QString &path) override;
    bool restore(const QString &trashedPath, const QString &originalPath) override;
    bool exists(const QString &path) const override;

    // Renames `source` to `target` unless something is at `target`, without a window in which
    // a file appearing there could be replaced where the file system allows it. False when
    // `target` is occupied or the rename fails.
    static bool renameWithoutReplacing(const QString &source, const QString &target);
};
