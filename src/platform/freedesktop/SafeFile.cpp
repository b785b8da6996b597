#include "platform/freedesktop/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Read in pieces, so a file that grows while it is read costs no more than the cap.
constexpr qint64 readChunk = 16 * 1024;
// Names are random; a clash this many times in a row means something else is wrong.
constexpr int temporaryNameAttempts = 64;

int openTemporary(const QString &folder, const QString &name, QByteArray &temporary, mode_t mode)
{
    for (int attempt = 0; attempt < temporaryNameAttempts; ++attempt) {
        // Hidden, and ending like the target's name, so a clean-up of stale entries by suffix
        // (the text cache's prune) also removes one a crash left behind.
        const QString random = QString::number(QRandomGenerator::global()->generate64(), 36);
        temporary = QFile::encodeName(folder + QStringLiteral("/.") + random + QLatin1Char('.') + name);
        // O_EXCL never opens an existing entry, a link included.
        const int fd = ::open(temporary.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes the rename itself durable; a failure here leaves the new file in place, so it is no
// failure of the write.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

QString SafeFile::Failure::message() const
{
    return QString::fromLocal8Bit(std::strerror(error));
}

SafeFile::ReadResult SafeFile::read(const QString &path, qint64 maximumBytes, Links links)
{
    const QByteArray name = QFile::encodeName(path);
    const bool follow = links == Links::follow;
    // Looked at before opening: opening a pipe or a device can block or have effects of its own.
    struct stat entry {};
    if ((follow ? ::stat(name.constData(), &entry) : ::lstat(name.constData(), &entry)) != 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadFailure::missing : ReadFailure::unreadable;
    if (!S_ISREG(entry.st_mode))
        return ReadFailure::notRegularFile;
    if (entry.st_size > maximumBytes)
        return ReadFailure::tooLarge;

    // The entry may have been swapped since: O_NONBLOCK and O_NOFOLLOW keep the open harmless,
    // and the descriptor is checked again.
    const int fd = ::open(name.constData(),
                          O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        if (errno == ENOENT)
            return ReadFailure::missing;
        return errno == ELOOP ? ReadFailure::notRegularFile : ReadFailure::unreadable;
    }
    struct stat opened {};
    std::optional<ReadFailure> failure;
    if (::fstat(fd, &opened) != 0)
        failure = ReadFailure::unreadable;
    else if (!S_ISREG(opened.st_mode))
        failure = ReadFailure::notRegularFile;
    else if (opened.st_size > maximumBytes)
        failure = ReadFailure::tooLarge;

    QByteArray bytes;
    if (!failure) {
        bytes.reserve(qMin(qint64(opened.st_size), maximumBytes) + 1);
        char chunk[readChunk];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                failure = ReadFailure::unreadable;
                break;
            }
            if (got == 0)
                break;
            if (bytes.size() + got > maximumBytes) {
                failure = ReadFailure::tooLarge; // grew while being read
                break;
            }
            bytes.append(chunk, got);
        }
    }
    ::close(fd);
    if (failure)
        return *failure;
    return bytes;
}

SafeFile::Result SafeFile::write(const QString &path, const QByteArray &bytes, mode_t mode)
{
    const QFileInfo info(path);
    QByteArray temporary;
    int fd = openTemporary(info.absolutePath(), info.fileName(), temporary, mode);
    if (fd < 0)
        return Failure{errno};

    const auto fail = [&](int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        return Failure{error};
    };
    // The mode given to open() is reduced by the umask.
    if (::fchmod(fd, mode) != 0 || !SafeFile::writeAll(fd, bytes) || ::fsync(fd) != 0)
        return fail(errno);
    // Some file systems report a failed write only here.
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail(errno);
    // rename() replaces the entry itself, whatever it is, and never follows a link there.
    if (::rename(temporary.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0)
        return fail(errno);
    syncFolder(info.absolutePath());
    return std::nullopt;
}

SafeFile::Result SafeFile::moveAside(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return std::nullopt;
    if (errno != EINVAL && errno != ENOSYS)
        return Failure{errno};
    // File systems without RENAME_NOREPLACE: link() refuses an existing target too, and links a
    // symbolic link itself, not what it points to.
    if (::link(source.constData(), target.constData()) != 0)
        return Failure{errno};
    if (::unlink(source.constData()) != 0) {
        const int error = errno;
        ::unlink(target.constData());
        return Failure{error};
    }
    return std::nullopt;
}

bool SafeFile::entryExists(const QString &path)
{
    struct stat entry {};
    return ::lstat(QFile::encodeName(path).constData(), &entry) == 0;
}

bool SafeFile::writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}
