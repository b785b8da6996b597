#include "platform/ImageServices.h"

#include "platform/SystemImageServices.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <limits>

std::optional<QByteArray> ImageServices::encodePng(const QImage &image)
{
    if (image.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return std::nullopt;
    buffer.close();
    return bytes;
}

qint64 ImageServices::maximumPixelCount()
{
    const qint64 megabytes = QImageReader::allocationLimit();
    if (megabytes <= 0)
        return std::numeric_limits<qint64>::max();
    return megabytes * 1024 * 1024 / 4; // 32 bits a pixel
}

void ImageServices::applyAllocationLimit()
{
    // 256 MB holds a 64-megapixel image at 32 bits a pixel.
    QImageReader::setAllocationLimit(256);
}
