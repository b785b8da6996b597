#include "app/SingleInstance.h"

#include "core/AppIdentity.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "brimfold.instance", QtWarningMsg)

SingleInstance::Outcome SingleInstance::acquire(bool demo, const QString &lockDirectory)
{
    if (demo)
        return Outcome::NotNeeded;

    if (!QDir().mkpath(lockDirectory)) {
        qCWarning(lcInstance) << "cannot create" << lockDirectory;
        return Outcome::Unavailable;
    }
    const QByteArray path = QFile::encodeName(lockDirectory + QStringLiteral("/instance.lock"));
    // We only ever make a regular file there. Anything else by that name (a link, a pipe, a
    // device) is removed rather than opened: opening it could block, reach outside the folder
    // or act on a device.
    struct stat entry {};
    if (::lstat(path.constData(), &entry) == 0 && !S_ISREG(entry.st_mode)
        && ::unlink(path.constData()) != 0) {
        qCWarning(lcInstance) << "cannot remove the non-file lock entry, errno" << errno;
        return Outcome::Unavailable;
    }
    // Another entry may appear between the check and the open: O_NOFOLLOW and O_NONBLOCK keep
    // the open harmless, and the result is checked.
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        qCWarning(lcInstance) << "cannot open lock file, errno" << errno;
        return Outcome::Unavailable;
    }
    struct stat opened {};
    if (::fstat(m_fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        qCWarning(lcInstance) << "lock entry is not a regular file";
        ::close(m_fd);
        m_fd = -1;
        return Outcome::Unavailable;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return Outcome::Acquired;

    const int error = errno;
    ::close(m_fd);
    m_fd = -1;
    if (error == EWOULDBLOCK)
        return Outcome::HeldElsewhere;
    qCWarning(lcInstance) << "flock failed, errno" << error;
    return Outcome::Unavailable;
}

QString SingleInstance::defaultLockDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QLatin1Char('/') + AppIdentity::applicationId();
}
