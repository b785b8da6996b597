#include "platform/FolderBookmark.h"

#include <QFileInfo>

std::optional<QByteArray> FolderBookmark::create(const QString &folderPath)
{
    if (folderPath.isEmpty())
        return std::nullopt;
    const QFileInfo info(folderPath);
    if (!info.isDir())
        return std::nullopt;
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty())
        return std::nullopt;
    return canonical.toUtf8();
}

std::optional<QString> FolderBookmark::resolve(const QByteArray &data)
{
    if (data.isEmpty() || data.contains('\0'))
        return std::nullopt;
    // Stored data is outside our control: bytes that are not UTF-8 are refused rather than
    // decoded with replacement characters into the name of some other folder.
    const QString path = QString::fromUtf8(data);
    if (path.toUtf8() != data)
        return std::nullopt;
    const QFileInfo info(path);
    if (!info.isAbsolute() || !info.isDir())
        return std::nullopt;
    return path;
}
