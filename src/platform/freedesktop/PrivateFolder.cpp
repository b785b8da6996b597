#include "platform/freedesktop/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool PrivateFolder::make(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.isDir();
    const QString parent = info.absolutePath();
    if (parent == info.absoluteFilePath() || !make(parent))
        return false;
    constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (QDir().mkdir(info.absoluteFilePath(), ownerOnly)) {
        // The umask may have taken bits away; say the mode exactly, before making the next level.
        QFile::setPermissions(info.absoluteFilePath(), ownerOnly);
        return true;
    }
    // Someone else may have made it meanwhile; its permissions are left alone.
    return QFileInfo(path).isDir();
}
