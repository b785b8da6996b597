#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Remembers the connected folder across runs. The folder's permissions are checked on each
// open, so no access has to be granted or renewed: the bookmark is simply the folder's
// canonical path in UTF-8. It resolves while that path is an existing folder (never stale).
class FolderBookmark final
{
public:
    // The bookmark for an existing folder (symbolic links resolved); none when the path is not
    // an existing folder.
    static std::optional<QByteArray> create(const QString &folderPath);

    // The folder a bookmark names, when it is an absolute path to an existing folder; none for
    // empty, malformed or relative data and for a folder that no longer exists.
    static std::optional<QString> resolve(const QByteArray &data);
};
