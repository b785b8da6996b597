#include "platform/ImageServices.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cmath>

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

QSize ImageServices::rowsSize(QSize upright, int maxWidth, qint64 maxPixels)
{
    if (upright.isEmpty() || maxWidth <= 0 || maxPixels <= 0)
        return {};
    double scale = std::min(1.0, double(maxWidth) / upright.width());
    const double pixels = double(upright.width()) * upright.height() * scale * scale;
    if (pixels > double(maxPixels))
        scale *= std::sqrt(double(maxPixels) / pixels);
    if (scale >= 1.0)
        return upright;
    // Rounded down, so neither bound is passed; at least one pixel on each side.
    return QSize(std::max(1, int(upright.width() * scale)), std::max(1, int(upright.height() * scale)));
}

bool ImageServices::readRows(const QString &path, int maxWidth, qint64 maxPixels, RowReceiver &receiver) const
{
    // A quarter turn keeps the longer side, so the stored size bounds the decode as well.
    const std::optional<QSize> stored = pixelSize(path);
    if (!stored || stored->isEmpty())
        return false;
    const QSize bounded = rowsSize(*stored, std::max(stored->width(), stored->height()), maxPixels);
    const int longer = std::max(bounded.width(), bounded.height());
    std::optional<QImage> decoded = downscaledImage(path, longer);
    // Too large for one decode at that size (a decoder may only shrink by halves): smaller,
    // so that a long capture still gives what it can.
    if ((!decoded || decoded->isNull()) && longer > maxWidth)
        decoded = downscaledImage(path, maxWidth);
    if (!decoded || decoded->isNull())
        return false;
    QImage image = std::move(*decoded);
    decoded.reset();
    const QSize size = rowsSize(image.size(), maxWidth, maxPixels);
    if (size != image.size())
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() || !receiver.begin(image.size()))
        return false;
    for (int y = 0; y < image.height(); ++y) {
        if (!receiver.addRow(reinterpret_cast<const QRgb *>(image.constScanLine(y))))
            return false;
    }
    return true;
}
