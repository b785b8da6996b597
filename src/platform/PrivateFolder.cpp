#include "platform/PrivateFolder.h"

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
    if (QDir().mkdir(info.absoluteFilePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return true;
    // Someone else may have made it meanwhile.
    return QFileInfo(path).isDir();
}
