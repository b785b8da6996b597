#pragma once

#include "platform/ImageServices.h"

// Qt's image readers for PNG, JPEG, TIFF and WebP, libpng for smaller copies of PNG, and
// libheif for HEIC/HEIF. A file is recognised by its content, never its name, and a file that is
// cut off gives no result.
// Pixel sizes are as stored, before orientation, except for HEIC/HEIF: libheif reports the size
// with the item's rotation applied.
class SystemImageServices final : public ImageServices
{
public:
    std::optional<QSize> pixelSize(const QString &path) const override;
    std::optional<QImage> decodeFirstImage(const QString &path) const override;
    std::optional<QImage> downscaledImage(const QString &path, int maxPixelSize) const override;
    bool readRows(const QString &path, int maxWidth, qint64 maxPixels, RowReceiver &receiver) const override;
};
