#pragma once

#include "platform/image/HeifImage.h"
#include "platform/ImageServices.h"
#include "platform/ProgramModule.h"

// Qt's image readers for PNG, JPEG, TIFF and WebP, libpng for smaller copies of PNG, and
// libheif (in the HEIF module, opened on the first HEIF file) for HEIC/HEIF. A file is
// recognised by its content, never its name, and a file that is cut off gives no result.
// Pixel sizes are as stored, before orientation, except for HEIC/HEIF: libheif reports the size
// with the item's rotation applied.
class SystemImageServices final : public ImageServices
{
public:
    // `moduleFolders`: where the HEIF module is looked for.
    explicit SystemImageServices(QStringList moduleFolders = ProgramModule::standardFolders());

    std::optional<QSize> pixelSize(const QString &path) const override;
    std::optional<QImage> decodeFirstImage(const QString &path) const override;
    std::optional<QImage> downscaledImage(const QString &path, int maxPixelSize) const override;
    bool readRows(const QString &path, int maxWidth, qint64 maxPixels, RowReceiver &receiver) const override;

private:
    HeifImage m_heif;
};
