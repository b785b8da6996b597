#include "platform/ImageServices.h"

#include "platform/SystemImageServices.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>

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

qint64 ImageServices::allocationLimitBytes()
{
    return qint64(std::max(0, QImageReader::allocationLimit())) * 1024 * 1024;
}

void ImageServices::applyAllocationLimit()
{
    // 256 MB holds a 64-megapixel image at 32 bits a pixel.
    QImageReader::setAllocationLimit(256);
}
