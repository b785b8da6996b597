#include "TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>

#include <fcntl.h>
#include <sys/stat.h>

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
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
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

bool writeImage(const QString &path, const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    return writer.write(image) && writeFile(path, bytes);
}

bool setModificationTime(const QString &path, const QDateTime &time)
{
    const qint64 ms = time.toMSecsSinceEpoch();
    struct timespec times[2];
    times[0].tv_sec = time_t(ms / 1000);
    times[0].tv_nsec = long(ms % 1000) * 1000000;
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

} // namespace TestSupport
