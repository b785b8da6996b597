#include "platform/SystemTrash.h"

#include "platform/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcTrash, "brimfold.platform.trash", QtCriticalMsg)

namespace {

const QString filesFolder = QStringLiteral("files");
const QString infoFolder = QStringLiteral("info");

// Anything at the path, dangling links included. When the answer is unknown (no permission
// to look), the path counts as occupied: a wrong "free" could cost a file.
bool occupied(const QByteArray &nativePath)
{
    struct stat info {};
    return ::lstat(nativePath.constData(), &info) == 0 || errno != ENOENT;
}


// The description of a trashed file: info/<name>.trashinfo beside the "files" folder holding
// it. None when the file does not sit in a folder named "files", so nothing else is touched.
std::optional<QString> trashInfoPath(const QString &trashedPath)
{
    const QFileInfo trashed(QDir::cleanPath(trashedPath));
    const QDir files = trashed.dir();
    if (files.dirName() != filesFolder || trashed.fileName().isEmpty())
        return std::nullopt;
    return QFileInfo(files.absolutePath()).dir().filePath(infoFolder + u'/' + trashed.fileName()
                                                          + QStringLiteral(".trashinfo"));
}

void removeTrashInfo(const QString &trashedPath)
{
    const std::optional<QString> info = trashInfoPath(trashedPath);
    if (info && ::unlink(QFile::encodeName(*info).constData()) != 0)
        qCWarning(lcTrash) << "could not remove" << *info << ::strerror(errno);
}

} // namespace

Trash::MoveResult SystemTrash::moveToTrash(const QString &path)
{
    if (path.isEmpty())
        return MoveResult::failed();
    const QString source = QDir::cleanPath(QFileInfo(path).absoluteFilePath());

    // Qt's trash gives up on the home trash when the data folder is missing and then trashes
    // into the current directory instead, reporting success. Make sure the folder is there.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !PrivateFolder::make(dataHome))
        qCWarning(lcTrash) << "no data folder for the home trash at" << dataHome;

    const QDir current = QDir::current();
    const bool hadFiles = current.exists(filesFolder);
    const bool hadInfo = current.exists(infoFolder);

    QString pathInTrash;
    if (!QFile::moveToTrash(source, &pathInTrash))
        return MoveResult::failed();
    if (pathInTrash.isEmpty())
        return MoveResult::movedWithoutLocation();
    if (QFileInfo(pathInTrash).isAbsolute())
        return MoveResult::movedTo(pathInTrash);

    // A relative location means the file went into "files" of the current directory, which
    // is no Trash at all: put it back and report the failure.
    const QString stray = QDir::cleanPath(current.absoluteFilePath(pathInTrash));
    if (!renameWithoutReplacing(stray, source)) {
        // Still report where it is, so undo can bring it back from there.
        qCWarning(lcTrash) << "could not move" << stray << "back to" << source;
        return MoveResult::movedTo(stray);
    }
    removeTrashInfo(stray);
    if (!hadFiles)
        current.rmdir(filesFolder); // only succeeds while empty
    if (!hadInfo)
        current.rmdir(infoFolder);
    return MoveResult::failed();
}

bool SystemTrash::restore(const QString &trashedPath, const QString &originalPath)
{
    if (!QFileInfo(trashedPath).isAbsolute() || !QFileInfo(originalPath).isAbsolute())
        return false;
    if (!renameWithoutReplacing(trashedPath, originalPath))
        return false;
    // Without its file the description would show a phantom entry in the Trash.
    removeTrashInfo(trashedPath);
    return true;
}

bool SystemTrash::exists(const QString &path) const
{
    return !path.isEmpty() && occupied(QFile::encodeName(path));
}

bool SystemTrash::renameWithoutReplacing(const QString &source, const QString &target)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    if (from.isEmpty() || to.isEmpty())
        return false;

    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // Only file systems without the flag fall through; every other error is final.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;

    // A hard link fails when the target exists, so nothing can be replaced.
    if (::link(from.constData(), to.constData()) == 0) {
        if (::unlink(from.constData()) == 0)
            return true;
        ::unlink(to.constData());
        return false;
    }
    // Folders and file systems without hard links: a checked rename. Its window between the
    // check and the rename is as small as it gets without help from the file system.
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
    if (occupied(to))
        return false;
    return ::rename(from.constData(), to.constData()) == 0;
}
