#include "platform/image/ImageFileProbe.h"

#include "platform/ImageServices.h"
#include "platform/image/JpegImage.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <limits>

#include <unistd.h>

namespace {

// How far from the end a JPEG's end-of-image marker is looked for before anything more
// expensive is tried; covers the usual trailing padding and metadata.
constexpr qint64 tailWindow = 64 * 1024;
constexpr qint64 streamChunk = 256 * 1024;

QByteArray readAt(QFile &file, qint64 position, qint64 length)
{
    if (position < 0 || length <= 0 || !file.seek(position))
        return {};
    return file.read(length);
}

const uchar *bytes(const QByteArray &data, qsizetype offset = 0)
{
    return reinterpret_cast<const uchar *>(data.constData()) + offset;
}

// Reads the small records of a chunk or box walk a page at a time, straight from the file:
// through QFile's buffer each far jump would read 16 KB, and a PNG with many small IDAT chunks
// would be read whole just to find its end.
class HeaderReader final
{
public:
    explicit HeaderReader(QFile &file) : m_file(file), m_size(file.size()) {}

    qint64 fileSize() const { return m_size; }

    // `length` bytes at `position`; fewer only at the end of the file.
    QByteArrayView at(qint64 position, qint64 length)
    {
        if (position < 0 || length <= 0 || length > pageSize)
            return {};
        if (position < m_start || position + length > m_start + m_page.size()) {
            m_start = position;
            m_page = readPage(position);
        }
        const qint64 offset = position - m_start;
        return QByteArrayView(m_page).sliced(offset, std::min(length, qint64(m_page.size()) - offset));
    }

private:
    static constexpr qint64 pageSize = 4096;

    QByteArray readPage(qint64 position)
    {
        const qint64 length = std::min(pageSize, m_size - position);
        if (length <= 0)
            return {};
        const int descriptor = m_file.handle();
        if (descriptor < 0)
            return readAt(m_file, position, length);
        QByteArray page(length, Qt::Uninitialized);
        const ssize_t got = ::pread(descriptor, page.data(), size_t(length), off_t(position));
        page.truncate(got > 0 ? qsizetype(got) : 0);
        return page;
    }

    QFile &m_file;
    qint64 m_size;
    qint64 m_start = 0;
    QByteArray m_page;
};

quint32 bigEndian32(QByteArrayView data, qsizetype offset = 0)
{
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(data.data()) + offset);
}

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

// Classic TIFF and BigTIFF differ only in field widths.
class TiffLayout
{
public:
    TiffLayout(bool littleEndian, bool big) : m_littleEndian(littleEndian), m_big(big) {}

    quint64 read(const uchar *p, int width) const
    {
        quint64 value = 0;
        for (int i = 0; i < width; ++i) {
            const int shift = m_littleEndian ? 8 * i : 8 * (width - 1 - i);
            value |= quint64(p[i]) << shift;
        }
        return value;
    }
    int offsetWidth() const { return m_big ? 8 : 4; }
    int countWidth() const { return m_big ? 8 : 2; }
    int entryWidth() const { return m_big ? 20 : 12; }

private:
    bool m_littleEndian;
    bool m_big;
};

struct TiffField
{
    quint16 type = 0;
    quint64 count = 0;
    QByteArray valueField; // the inline value or the offset of the values
};

int tiffTypeWidth(quint16 type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;
    default: return 0;
    }
}

// The integer values of a SHORT/LONG/LONG8 field, read from the entry or from where it points.
std::optional<QList<quint64>> tiffValues(QFile &file, const TiffLayout &layout, const TiffField &field)
{
    const int width = field.type == 3 ? 2 : field.type == 4 ? 4 : field.type == 16 ? 8 : 0;
    if (width == 0 || field.count == 0 || field.count > quint64(file.size()) / quint64(width))
        return std::nullopt;
    const qint64 length = qint64(field.count) * width;
    QByteArray data;
    if (length <= field.valueField.size()) {
        data = field.valueField;
    } else {
        const quint64 offset = layout.read(bytes(field.valueField), layout.offsetWidth());
        if (offset > quint64(file.size()) || quint64(length) > quint64(file.size()) - offset)
            return std::nullopt;
        data = readAt(file, qint64(offset), length);
        if (data.size() != length)
            return std::nullopt;
    }
    QList<quint64> values;
    values.reserve(qsizetype(field.count));
    for (quint64 i = 0; i < field.count; ++i)
        values.append(layout.read(bytes(data, qsizetype(i) * width), width));
    return values;
}

bool tiffComplete(QFile &file)
{
    const qint64 size = file.size();
    const QByteArray header = readAt(file, 0, 16);
    if (header.size() < 8)
        return false;
    const bool littleEndian = header[0] == 'I';
    const bool big = uchar(header[littleEndian ? 2 : 3]) == 43;
    if (big && header.size() < 16)
        return false;
    const TiffLayout layout(littleEndian, big);
    const quint64 directory = layout.read(bytes(header, big ? 8 : 4), layout.offsetWidth());
    if (directory < 8 || directory >= quint64(size))
        return false;

    const QByteArray countBytes = readAt(file, qint64(directory), layout.countWidth());
    if (countBytes.size() != layout.countWidth())
        return false;
    const quint64 entryCount = layout.read(bytes(countBytes), layout.countWidth());
    const qint64 entriesStart = qint64(directory) + layout.countWidth();
    if (entryCount == 0 || entryCount > 4096
        || entriesStart + qint64(entryCount) * layout.entryWidth() + layout.offsetWidth() > size)
        return false;
    const QByteArray entries = readAt(file, entriesStart, qint64(entryCount) * layout.entryWidth());
    if (entries.size() != qint64(entryCount) * layout.entryWidth())
        return false;

    TiffField offsets;
    TiffField byteCounts;
    quint64 valueBytes = 0; // what libtiff reads in when it opens the directory
    for (quint64 i = 0; i < entryCount; ++i) {
        const uchar *entry = bytes(entries, qsizetype(i) * layout.entryWidth());
        const auto tag = quint16(layout.read(entry, 2));
        TiffField field;
        field.type = quint16(layout.read(entry + 2, 2));
        field.count = layout.read(entry + 4, big ? 8 : 4);
        field.valueField = QByteArray(reinterpret_cast<const char *>(entry) + (big ? 12 : 8),
                                      layout.offsetWidth());
        // Values that do not fit in the entry live elsewhere and must lie inside the file.
        const quint64 width = quint64(tiffTypeWidth(field.type));
        if (width != 0 && field.count > quint64(size) / width)
            return false;
        const quint64 length = width * field.count;
        if (length > quint64(layout.offsetWidth())) {
            const quint64 offset = layout.read(bytes(field.valueField), layout.offsetWidth());
            if (offset > quint64(size) || length > quint64(size) - offset)
                return false;
            valueBytes += length;
            if (valueBytes > quint64(ImageFileProbe::maxMetadataBytes))
                return false;
        }
        if (tag == 273 || tag == 324) // StripOffsets, TileOffsets
            offsets = field;
        else if (tag == 279 || tag == 325) // StripByteCounts, TileByteCounts
            byteCounts = field;
    }

    const auto starts = tiffValues(file, layout, offsets);
    const auto lengths = tiffValues(file, layout, byteCounts);
    if (!starts || !lengths || starts->size() != lengths->size())
        return false;
    for (qsizetype i = 0; i < starts->size(); ++i) {
        if (starts->at(i) > quint64(size) || lengths->at(i) > quint64(size) - starts->at(i))
            return false;
    }
    return true;
}

// One box header of an ISO base media file.
struct Box
{
    std::array<char, 4> type{};
    qint64 end = 0;     // may lie past the file when the file is cut off
    qint64 content = 0; // where the box's own data starts

    bool is(const char *fourCC) const { return std::equal(type.begin(), type.end(), fourCC); }
};

std::optional<Box> boxAt(HeaderReader &reader, qint64 position, qint64 limit)
{
    const QByteArrayView header = reader.at(position, 16);
    if (header.size() < 8)
        return std::nullopt;
    Box box;
    std::copy_n(header.data() + 4, 4, box.type.begin());
    box.content = position + 8;
    quint64 boxSize = bigEndian32(header);
    if (boxSize == 0) {
        boxSize = quint64(limit - position); // extends to the end of its container
    } else if (boxSize == 1) {
        if (header.size() < 16)
            return std::nullopt;
        boxSize = qFromBigEndian<quint64>(reinterpret_cast<const uchar *>(header.data()) + 8);
        box.content += 8;
        if (boxSize < 16 || boxSize > quint64(std::numeric_limits<qint64>::max() / 2))
            return std::nullopt;
    } else if (boxSize < 8) {
        return std::nullopt;
    }
    box.end = position + qint64(boxSize);
    return box;
}

// The top-level box types a writer puts in an image file: one of these running past the end
// is the file being cut off, anything else there is data appended after the image.
bool isTopLevelBox(const Box &box)
{
    for (const auto &type : {"ftyp", "meta", "mdat", "moov", "free", "skip", "uuid", "wide", "pdin",
                             "moof", "mfra", "styp", "sidx", "idat"}) {
        if (box.is(type))
            return true;
    }
    return false;
}

// Whether a 'meta' box carries item data itself (an 'idat' box) rather than in 'mdat'.
bool metaHoldsData(HeaderReader &reader, const Box &meta)
{
    qint64 position = meta.content + 4; // a full box: version and flags first
    for (int guard = 0; guard < 256 && position + 8 <= meta.end; ++guard) {
        const std::optional<Box> child = boxAt(reader, position, meta.end);
        if (!child || child->end > meta.end)
            return false;
        if (child->is("idat") && child->end > child->content)
            return true;
        position = child->end;
    }
    return false;
}

// A whole HEIF has its 'meta' box (what the items are and where their data lies) and that data
// ('mdat', or 'idat' inside 'meta'); a cut-off file ends inside one of its boxes. Whatever
// follows the last box is no part of the image.
bool heifComplete(QFile &file)
{
    HeaderReader reader(file);
    const qint64 size = reader.fileSize();
    bool sawMeta = false;
    bool sawData = false;
    qint64 position = 0;
    for (int guard = 0; guard < 10000; ++guard) {
        if (position == size)
            return sawMeta && sawData;
        const std::optional<Box> box = boxAt(reader, position, size);
        if (position == 0 && (!box || !box->is("ftyp")))
            return false;
        if (!box || box->end > size) {
            if (box && isTopLevelBox(*box))
                return false;
            return sawMeta && sawData;
        }
        if (box->is("meta")) {
            // libheif reads the whole box in.
            if (box->end - position > ImageFileProbe::maxMetadataBytes)
                return false;
            sawMeta = true;
            sawData = sawData || metaHoldsData(reader, *box);
        } else if (box->is("mdat") && box->end > box->content) {
            sawData = true;
        }
        position = box->end;
    }
    return false;
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
    const QByteArray head = readAt(file, 0, 64);
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
    case ImageFileKind::tiff: return tiffComplete(file);
    case ImageFileKind::webp: return webpEnd(file).has_value();
    case ImageFileKind::heif: return heifComplete(file);
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
