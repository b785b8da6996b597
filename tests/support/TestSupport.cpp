#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace TestSupport {

QImage drawTextImage(QSize size, const QStringList &lines, int pointSize)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(246, 246, 248));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor(20, 20, 24));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pointSize * 4 / 3);
    painter.setFont(font);
    const int lineHeight = font.pixelSize() * 2;
    int y = lineHeight;
    for (const QString &line : lines) {
        painter.drawText(QPoint(lineHeight / 2, y), line);
        y += lineHeight;
    }
    return image;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

bool writeSparseFile(const QString &path, const QMap<qint64, QByteArray> &pieces, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.resize(size))
        return false;
    for (auto piece = pieces.cbegin(); piece != pieces.cend(); ++piece) {
        if (!file.seek(piece.key()) || file.write(piece.value()) != piece.value().size())
            return false;
    }
    return file.size() == size;
}

QByteArray encodeImage(const QImage &image, const char *format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    return writer.write(image) ? bytes : QByteArray();
}

bool writeImage(const QString &path, const QImage &image, const char *format)
{
    const QByteArray bytes = encodeImage(image, format);
    return !bytes.isEmpty() && writeFile(path, bytes);
}

int permissions(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

qint64 peakResidentMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

bool setModificationTime(const QString &path, const QDateTime &time)
{
    const qint64 ms = time.toMSecsSinceEpoch();
    const timespec at{time_t(ms / 1000), long(ms % 1000) * 1000000};
    const timespec times[2] = {at, at};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

std::optional<bool> inChildProcess(const std::function<bool()> &body)
{
    std::fflush(nullptr); // or the child would print the parent's buffered output again
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0)
        ::_exit(body() ? 0 : 1);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

bool limitFileSize(qint64 bytes)
{
    // Ignored, the signal turns into EFBIG from write().
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

bool honourPermissions()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    data[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace TestSupport
