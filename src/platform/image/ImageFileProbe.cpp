#include "platform/image/ImageFileProbe.h"

#include "platform/ImageServices.h"
#include "platform/image/ContainerProbe.h"
#include "platform/image/JpegImage.h"
#include "platform/image/ProbeReading.h"

#include <QtEndian>

#include <algorithm>
#include <limits>

using namespace ProbeReading;

namespace {

// How far from the end a JPEG's end-of-image marker is looked for before anything more
// expensive is tried; covers the usual trailing padding and metadata.
constexpr qint64 tailWindow = 64 * 1024;
constexpr qint64 streamChunk = 256 * 1024;


// What IHDR gives: the size, and the least compressed data an image of that size can take.
struct PngHeader
{
    QSize size;
    qint64 leastData = 0;
};

// Deflate stores at most 258 bytes in two bits.
constexpr qint64 deflateMaxRatio = 1032;

// The header, when its fields describe an image libpng can decode.
std::optional<PngHeader> pngHeader(QByteArrayView header)
{
    const quint32 width = bigEndian32(header);
    const quint32 height = bigEndian32(header, 4);
    const int depth = uchar(header[8]);
    const int colour = uchar(header[9]);
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu)
        return std::nullopt;
    bool depthFits = false;
    switch (colour) {
    case 0: depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
    case 3: depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
    case 2: case 4: case 6: depthFits = depth == 8 || depth == 16; break;
    default: break;
    }
    if (!depthFits || header[10] != 0 || header[11] != 0 || uchar(header[12]) > 1)
        return std::nullopt;
    // Rows of filter byte and pixels, as stored without interlacing (which only adds bytes).
    const int channels = colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1;
    const qint64 rowBytes = 1 + (qint64(width) * channels * depth + 7) / 8;
    const qint64 rows = qint64(height);
    const qint64 leastData = rowBytes > std::numeric_limits<qint64>::max() / rows
                                 ? std::numeric_limits<qint64>::max() // more than any file holds
                                 : rowBytes * rows / deflateMaxRatio;
    return PngHeader{QSize(int(width), int(height)), leastData};
}

// Walks the marker segments up to the first start of scan and returns where its entropy-coded
// data begins. The embedded Exif preview sits in a segment before that, so its own end-of-image
// marker cannot be mistaken for ours.
std::optional<qint64> jpegScanStart(QFile &file)
{
    const qint64 size = file.size();
    qint64 position = 2;
    for (int guard = 0; guard < 4096 && position + 4 <= size; ++guard) {
        const QByteArray marker = readAt(file, position, 4);
        if (marker.size() < 4 || uchar(marker[0]) != 0xFF)
            return std::nullopt;
        const uchar code = uchar(marker[1]);
        if (code == 0xFF) { // fill byte
            ++position;
            continue;
        }
        if (code == 0x01 || code == 0xD8 || (code >= 0xD0 && code <= 0xD7)) {
            position += 2; // markers without a length
            continue;
        }
        if (code == 0xD9)
            return std::nullopt; // end of image before any scan
        const quint16 length = qFromBigEndian<quint16>(bytes(marker, 2));
        if (length < 2)
            return std::nullopt;
        if (code == 0xDA)
            return position + 2 + length;
        position += 2 + length;
        // Qt's reader keeps the comment, Exif and profile segments; real ones take far less.
        if (position > ImageFileProbe::maxMetadataBytes)
            return std::nullopt;
    }
    return std::nullopt;
}

bool containsEndOfImage(QFile &file, qint64 from, qint64 to)
{
    if (!file.seek(from))
        return false;
    bool previousWasFF = false;
    for (qint64 position = from; position < to;) {
        const QByteArray chunk = file.read(std::min(streamChunk, to - position));
        if (chunk.isEmpty())
            return false;
        for (const char c : chunk) {
            if (previousWasFF && uchar(c) == 0xD9)
                return true;
            previousWasFF = uchar(c) == 0xFF;
        }
        position += chunk.size();
    }
    return false;
}

bool jpegComplete(QFile &file)
{
    const std::optional<qint64> scanStart = jpegScanStart(file);
    const qint64 size = file.size();
    if (!scanStart || *scanStart > size)
        return false;
    // Entropy-coded data stuffs every 0xFF, so FF D9 after the scan header is the end of image.
    const qint64 tailStart = std::max(*scanStart, size - tailWindow);
    if (containsEndOfImage(file, tailStart, size))
        return true;
    // Something large follows the image (an appended video, a second picture): look through the
    // scan data itself. Only such files pay for reading everything.
    if (containsEndOfImage(file, *scanStart, std::min(size, tailStart + 1)))
        return true;
    // No end marker at all. Some writers leave it out, and decoders do without it; what counts
    // is whether every line decodes from the data present, which a file still being written
    // fails.
    return file.seek(0) && JpegImage::decodesCompletely(file, ImageServices::allocationLimitBytes());
}


} // namespace

namespace ImageFileProbe {

std::optional<PngLayout> pngLayout(QFile &file)
{
    // Every chunk header is read, however the file ends: a file that merely closes with IEND
    // may hold a chunk that claims gigabytes, or no pixel data at all. A chunk is its length,
    // type, data and CRC.
    HeaderReader reader(file);
    const qint64 size = reader.fileSize();
    if (reader.at(0, 8) != QByteArrayView("\x89PNG\r\n\x1a\n", 8))
        return std::nullopt;
    const QByteArrayView ihdr = reader.at(8, 8 + 13);
    if (ihdr.size() < 8 + 13 || bigEndian32(ihdr) != 13 || ihdr.sliced(4, 4) != "IHDR")
        return std::nullopt;
    const std::optional<PngHeader> image = pngHeader(ihdr.sliced(8));
    if (!image)
        return std::nullopt;

    qint64 metadata = 0;
    qint64 data = 0;
    for (qint64 position = 8 + 12 + 13; position + 12 <= size;) {
        const QByteArrayView header = reader.at(position, 8);
        if (header.size() < 8)
            return std::nullopt;
        const quint32 length = bigEndian32(header);
        if (length > 0x7FFFFFFFu)
            return std::nullopt;
        const qint64 next = position + 12 + qint64(length);
        if (next > size)
            return std::nullopt; // cut off, or a length that was never written
        const QByteArrayView type = header.sliced(4, 4);
        if (type == "IEND") {
            // Too little pixel data for the size claimed is no image of that size.
            if (data == 0 || data < image->leastData)
                return std::nullopt;
            return PngLayout{image->size, next};
        }
        if (type == "IDAT") {
            data += length;
        } else if (type == "IHDR") {
            return std::nullopt;
        } else {
            // Text, Exif and profiles: a decoder may hold all of them at once.
            metadata += length;
            if (metadata > maxMetadataBytes)
                return std::nullopt;
        }
        position = next;
    }
    return std::nullopt;
}

std::optional<qint64> webpEnd(QFile &file)
{
    const QByteArray header = readAt(file, 0, 12);
    if (header.size() < 12)
        return std::nullopt;
    const quint32 riffSize = qFromLittleEndian<quint32>(bytes(header, 4));
    const qint64 end = qint64(riffSize) + 8;
    if (riffSize < 4 || file.size() < end)
        return std::nullopt;
    return end;
}

std::optional<ImageFileKind> kindOf(QFile &file)
{
    const QByteArray head = peek(file, 0, 64);
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return ImageFileKind::png;
    if (head.startsWith("\xFF\xD8\xFF"))
        return ImageFileKind::jpeg;
    if (head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4))
        || head.startsWith(QByteArrayView("II+\0", 4)) || head.startsWith(QByteArrayView("MM\0+", 4)))
        return ImageFileKind::tiff;
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return ImageFileKind::webp;
    // The main brands libheif 1.15 reads (its heif_check_filetype() says "supported" for these
    // alone); checked here so that telling files apart never loads libheif.
    if (head.size() >= 12 && head.mid(4, 4) == "ftyp") {
        const QByteArray brand = head.mid(8, 4);
        if (brand == "heic" || brand == "heix" || brand == "avif")
            return ImageFileKind::heif;
    }
    return std::nullopt;
}

bool isComplete(QFile &file, ImageFileKind kind)
{
    switch (kind) {
    case ImageFileKind::png: return pngLayout(file).has_value();
    case ImageFileKind::jpeg: return jpegComplete(file);
    case ImageFileKind::tiff: return ContainerProbe::tiffComplete(file);
    case ImageFileKind::webp: return webpEnd(file).has_value();
    case ImageFileKind::heif: return ContainerProbe::heifComplete(file);
    }
    return false;
}

std::optional<ImageFileKind> completeKindOf(QFile &file)
{
    std::optional<ImageFileKind> kind = kindOf(file);
    if (kind && !isComplete(file, *kind))
        kind.reset();
    if (!file.seek(0))
        return std::nullopt;
    return kind;
}

QByteArray qtFormatName(ImageFileKind kind)
{
    switch (kind) {
    case ImageFileKind::png: return "png";
    case ImageFileKind::jpeg: return "jpeg";
    case ImageFileKind::tiff: return "tiff";
    case ImageFileKind::webp: return "webp";
    case ImageFileKind::heif: return {};
    }
    return {};
}

} // namespace ImageFileProbe
