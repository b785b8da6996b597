#include "platform/ImageServices.h"

#include "platform/SystemImageServices.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

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

const ImageServices &ImageServices::system()
{
    static const SystemImageServices services;
    return services;
}

void ImageServices::applyAllocationLimit()
{
    // 256 MB holds a 64-megapixel image at 32 bits a pixel.
    QImageReader::setAllocationLimit(256);
}
