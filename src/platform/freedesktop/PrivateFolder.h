#pragma once

#include <QString>

// Folders that hold the user's own data (settings, the Trash's base, the text cache) are made
// private to the user when they are created.
class PrivateFolder final
{
public:
    PrivateFolder() = delete;

    // Creates every missing folder of `path` with mode 0700 whatever the umask, leaving existing
    // ones as they are.
    // True when `path` is a folder afterwards.
    static bool make(const QString &path);
};
