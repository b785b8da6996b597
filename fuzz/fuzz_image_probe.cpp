// Any file in the watched folder is probed: its leading bytes name the family, and the structure
// they announce is checked against what is present.
#include "FuzzSupport.h"
#include "platform/ImageFileProbe.h"

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
    return 0;
}
