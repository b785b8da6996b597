#include "platform/image/ContainerProbe.h"

#include "platform/image/ImageFileProbe.h"
#include "platform/image/ProbeReading.h"

#include <array>
#include <limits>

using namespace ProbeReading;

namespace {

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

} // namespace

bool ContainerProbe::tiffComplete(QFile &file)
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

namespace {

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

} // namespace

// A whole HEIF has its 'meta' box (what the items are and where their data lies) and that data
// ('mdat', or 'idat' inside 'meta'); a cut-off file ends inside one of its boxes. Whatever
// follows the last box is no part of the image.
bool ContainerProbe::heifComplete(QFile &file)
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

