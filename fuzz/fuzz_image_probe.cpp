// Any file in the watched folder is probed: its leading bytes name the family, and the structure
// they announce is checked against what is present. A PNG the walk accepts goes on to libpng.
#include "FuzzSupport.h"
#include "platform/image/ImageFileProbe.h"
#include "platform/image/PngImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = FuzzSupport::scratchFolder() + QStringLiteral("/probe");
    FuzzSupport::writeFile(path, FuzzSupport::bytes(data, size));

    QFile file(path);
    FuzzSupport::require(file.open(QIODevice::ReadOnly), "the probe file opens");
    const std::optional<ImageFileKind> kind = ImageFileProbe::kindOf(file);
    // The completeness check of every family, not only the one the header names: a file can
    // be renamed or half-overwritten, and none of them may read past what is there.
    for (ImageFileKind each : {ImageFileKind::png, ImageFileKind::jpeg, ImageFileKind::tiff,
                               ImageFileKind::webp, ImageFileKind::heif}) {
        ImageFileProbe::isComplete(file, each);
    }
    const std::optional<ImageFileKind> complete = ImageFileProbe::completeKindOf(file);
    FuzzSupport::require(!complete || complete == kind, "a complete file keeps its family");
    FuzzSupport::require(file.pos() == 0, "the probe leaves the file at its start");

    const std::optional<qint64> webpEnd = ImageFileProbe::webpEnd(file);
    FuzzSupport::require(!webpEnd || (*webpEnd >= 12 && *webpEnd <= file.size()),
                         "a WebP ends inside the file");

    const std::optional<ImageFileProbe::PngLayout> png = ImageFileProbe::pngLayout(file);
    FuzzSupport::require(png.has_value() == (complete == ImageFileKind::png), "the walk decides PNG");
    if (png) {
        FuzzSupport::require(png->end >= 8 + 25 + 12 + 12 && png->end <= file.size(), "a PNG ends inside the file");
        FuzzSupport::require(png->size.width() > 0 && png->size.height() > 0, "a PNG has a size");
        // Whatever its chunks claim, the decode holds no more than the image it is allowed.
        constexpr qint64 limit = 64 * 1024 * 1024;
        FuzzSupport::require(file.seek(0), "the probe file rewinds");
        const std::optional<QImage> image = PngImage::decode(file, limit);
        FuzzSupport::require(!image || image->size() == png->size, "a decode has the walk's size");
        FuzzSupport::require(file.seek(0), "the probe file rewinds");
        const std::optional<QImage> small = PngImage::decodeScaled(file, QSize(1, 1), limit);
        FuzzSupport::require(!small || small->size() == QSize(1, 1), "a shrunk decode has its size");
    }
    return 0;
}
