#include "platform/freedesktop/SystemTrash.h"

#include "platform/freedesktop/PrivateFolder.h"
#include "platform/freedesktop/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcTrash, "brimfold.platform.trash", QtWarningMsg)

namespace {

const QString filesFolder = QStringLiteral("files");
const QString infoFolder = QStringLiteral("info");
const QString infoSuffix = QStringLiteral(".trashinfo");
const QByteArray infoGroup = QByteArrayLiteral("[Trash Info]");

// Names tried for one file: its own, then "-0001" to "-9999" appended.
constexpr int nameAttempts = 10000;
// More than any description holds; a larger file is not read further.
constexpr qint64 infoReadLimit = 64 * 1024;

QByteArray native(const QString &path) { return QFile::encodeName(path); }

// Anything at the path, dangling links included. When the answer is unknown (no permission
// to look), the path counts as occupied: a wrong "free" could cost a file.
bool occupied(const QByteArray &nativePath)
{
    struct stat info {};
    return ::lstat(nativePath.constData(), &info) == 0 || errno != ENOENT;
}

// Makes the folder private when it is missing. True when it is a folder of this user's: a link
// or another user's folder would hand the trashed files to someone else.
bool ownFolder(const QString &path)
{
    const QByteArray folder = native(path);
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        qCWarning(lcTrash) << "not a trash folder of this user's:" << path;
        return false;
    }
    return true;
}

// The file system holding `path`, or its nearest existing ancestor when it does not exist yet.
std::optional<dev_t> fileSystemOf(QString path)
{
    for (;;) {
        struct stat info {};
        if (::stat(native(path).constData(), &info) == 0)
            return info.st_dev;
        if (errno != ENOENT && errno != ENOTDIR)
            return std::nullopt;
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path)
            return std::nullopt;
        path = parent;
    }
}

// The path with its folder resolved through links, so that it compares with a trash's top
// folder; the name itself stays, as a trashed link is the link and not its target.
QString resolvedPlace(const QString &path)
{
    const QFileInfo file(QDir::cleanPath(path));
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? file.absoluteFilePath() : QDir(folder).filePath(file.fileName());
}

// What the description records as the origin: relative to the top folder for a file below it,
// absolute otherwise (the home trash, or a file the top folder does not hold).
QString recordedPath(const QString &source, const QString &topFolder)
{
    if (topFolder.isEmpty())
        return source;
    const QString top = QFileInfo(topFolder).canonicalFilePath();
    if (top.isEmpty())
        return source;
    const QString relative = QDir(top).relativeFilePath(resolvedPlace(source));
    if (relative.isEmpty() || relative == u".." || relative.startsWith(u"../") || QDir::isAbsolutePath(relative))
        return source;
    return relative;
}

// The description's contents. Path holds the file system's bytes escaped as in URLs, which
// every reader decodes: a raw '%' or '#' would come back as another name. The deletion time is
// local and always in ASCII digits, whatever the user's language.
QByteArray describe(const QString &source, const QString &topFolder)
{
    const QString deleted = QLocale::c().toString(QDateTime::currentDateTime(), u"yyyy-MM-dd'T'HH:mm:ss");
    return infoGroup + "\nPath=" + native(recordedPath(source, topFolder)).toPercentEncoding("/")
           + "\nDeletionDate=" + deleted.toLatin1() + '\n';
}

// The name the file takes in the trash on the given attempt. Shortened when its description's
// name would be too long for the file system; the original name is kept in the description.
QString trashedName(const QString &name, int attempt)
{
    const QString suffix = attempt == 0 ? QString() : QStringLiteral("-%1").arg(attempt, 4, 10, QLatin1Char('0'));
    QString stem = name;
    while (stem.size() > 1 && native(stem + suffix + infoSuffix).size() > NAME_MAX)
        stem.chop(stem.size() > 2 && stem.back().isLowSurrogate() ? 2 : 1);
    return stem + suffix;
}

enum class Claim { claimed, taken, failed };

// Creates the description exclusively: a name another program claimed at the same moment is
// never shared.
Claim claimName(const QString &infoPath, const QByteArray &description)
{
    const QByteArray path = native(infoPath);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST)
            return Claim::taken;
        qCWarning(lcTrash) << "could not create" << infoPath << ::strerror(errno);
        return Claim::failed;
    }
    bool written = SafeFile::writeAll(fd, description);
    written = ::close(fd) == 0 && written;
    if (!written) {
        ::unlink(path.constData());
        return Claim::failed;
    }
    return Claim::claimed;
}

// A trashed file's description, and the folder its relative path starts from.
struct Entry
{
    QString infoPath;
    QString topFolder;
};

// None when the file does not sit in a folder named "files", so nothing else is touched.
std::optional<Entry> entryOf(const QString &trashedPath)
{
    const QFileInfo trashed(QDir::cleanPath(trashedPath));
    if (trashed.dir().dirName() != filesFolder || trashed.fileName().isEmpty())
        return std::nullopt;
    const QString trash = QFileInfo(trashed.absolutePath()).absolutePath();
    const QFileInfo above(QFileInfo(trash).absolutePath());
    // <top>/.Trash/<uid> sits one level deeper than <top>/.Trash-<uid> and the home trash
    // (whose relative paths start from the data folder).
    const QString top = above.fileName() == u".Trash" ? above.absolutePath() : above.absoluteFilePath();
    return Entry{trash + u'/' + infoFolder + u'/' + trashed.fileName() + infoSuffix, top};
}

std::optional<QByteArray> pathValue(const QByteArray &description)
{
    bool inGroup = false;
    for (QByteArray line : description.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('[')) {
            inGroup = line.trimmed() == infoGroup;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inGroup || equals < 0 || line.left(equals).trimmed() != "Path")
            continue;
        QByteArray value = line.mid(equals + 1);
        while (value.startsWith(' '))
            value.remove(0, 1);
        return value;
    }
    return std::nullopt;
}

// Whether the entry's description names `originalPath` as the origin, read both as the
// Trash's URL escaping asks and as the raw path earlier versions wrote. With no description
// at all nothing says otherwise.
bool describesOrigin(const Entry &entry, const QString &originalPath)
{
    QFile file(entry.infoPath);
    if (!file.open(QIODevice::ReadOnly))
        return !occupied(native(entry.infoPath));
    const std::optional<QByteArray> value = pathValue(file.read(infoReadLimit));
    if (!value)
        return false;
    const QString origin = resolvedPlace(originalPath);
    for (const QByteArray &bytes : {QByteArray::fromPercentEncoding(*value), *value}) {
        const QString recorded = QFile::decodeName(bytes);
        if (recorded.isEmpty())
            continue;
        const QString path = QDir::isAbsolutePath(recorded) ? recorded : entry.topFolder + u'/' + recorded;
        if (resolvedPlace(path) == origin)
            return true;
    }
    qCWarning(lcTrash) << entry.infoPath << "describes another file than" << originalPath;
    return false;
}

} // namespace

Trash::MoveResult SystemTrash::moveToTrash(const QString &path)
{
    if (path.isEmpty())
        return MoveResult::failed();
    const QString source = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString folder = QFileInfo(source).absolutePath();
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const std::optional<dev_t> fileSystem = fileSystemOf(folder);
    if (!fileSystem || dataHome.isEmpty())
        return MoveResult::failed();

    // The home trash takes the files of its own file system; any other file goes to the trash
    // of its file system, as a rename can never leave one.
    const std::optional<Location> location = fileSystemOf(dataHome + QStringLiteral("/Trash")) == fileSystem
                                                 ? homeTrash()
                                                 : mountTrash(QStorageInfo(folder).rootPath());
    if (!location) {
        qCWarning(lcTrash) << "no trash for" << source;
        return MoveResult::failed();
    }
    return moveInto(source, *location);
}

std::optional<SystemTrash::Location> SystemTrash::homeTrash()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !PrivateFolder::make(dataHome)) {
        qCWarning(lcTrash) << "no data folder for the home trash at" << dataHome;
        return std::nullopt;
    }
    const QString folder = QDir(dataHome).filePath(QStringLiteral("Trash"));
    if (!ownFolder(folder))
        return std::nullopt;
    return Location{folder, QString()};
}

std::optional<SystemTrash::Location> SystemTrash::mountTrash(const QString &topFolder)
{
    if (topFolder.isEmpty())
        return std::nullopt;
    const QDir top(topFolder);
    const QString uid = QString::number(::getuid());

    // An administrator's shared .Trash only counts as a real folder with the sticky bit, so no
    // other user can move or replace this user's folder inside it.
    const QString shared = top.filePath(QStringLiteral(".Trash"));
    struct stat info {};
    if (::lstat(native(shared).constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0) {
            const QString folder = shared + u'/' + uid;
            if (ownFolder(folder))
                return Location{folder, topFolder};
        } else {
            qCWarning(lcTrash) << shared << "is not a folder with the sticky bit; not used";
        }
    }
    const QString own = top.filePath(QStringLiteral(".Trash-") + uid);
    if (ownFolder(own))
        return Location{own, topFolder};
    return std::nullopt;
}

Trash::MoveResult SystemTrash::moveInto(const QString &path, const Location &location)
{
    const QString source = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString name = QFileInfo(source).fileName();
    struct stat info {};
    if (name.isEmpty() || ::lstat(native(source).constData(), &info) != 0)
        return MoveResult::failed();
    const QDir trash(location.folder);
    if (!ownFolder(trash.filePath(filesFolder)) || !ownFolder(trash.filePath(infoFolder)))
        return MoveResult::failed();

    // The description comes first and claims the name; the file follows it.
    const QByteArray description = describe(source, location.topFolder);
    for (int attempt = 0; attempt < nameAttempts; ++attempt) {
        const QString trashed = trashedName(name, attempt);
        const QString target = trash.filePath(filesFolder + u'/' + trashed);
        if (occupied(native(target)))
            continue;
        const QString infoPath = trash.filePath(infoFolder + u'/' + trashed + infoSuffix);
        const Claim claim = claimName(infoPath, description);
        if (claim == Claim::taken)
            continue;
        if (claim == Claim::failed)
            return MoveResult::failed();
        if (renameWithoutReplacing(source, target))
            return MoveResult::movedTo(target);
        ::unlink(native(infoPath).constData());
        // Only a file that appeared under the name meanwhile is worth another name.
        if (!occupied(native(target)) || !occupied(native(source)))
            return MoveResult::failed();
    }
    return MoveResult::failed();
}

bool SystemTrash::restore(const QString &trashedPath, const QString &originalPath)
{
    if (!QFileInfo(trashedPath).isAbsolute() || !QFileInfo(originalPath).isAbsolute())
        return false;
    const std::optional<Entry> entry = entryOf(trashedPath);
    if (entry && !describesOrigin(*entry, originalPath))
        return false;
    if (!renameWithoutReplacing(trashedPath, originalPath))
        return false;
    // Without its file the description would show a phantom entry in the Trash.
    if (entry && ::unlink(native(entry->infoPath).constData()) != 0 && errno != ENOENT)
        qCWarning(lcTrash) << "could not remove" << entry->infoPath << ::strerror(errno);
    return true;
}

bool SystemTrash::exists(const QString &path) const
{
    return !path.isEmpty() && occupied(native(path));
}

bool SystemTrash::renameWithoutReplacing(const QString &source, const QString &target)
{
    const QByteArray from = native(source);
    const QByteArray to = native(target);
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
