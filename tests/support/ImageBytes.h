#pragma once

// Image files made byte by byte, for what no image writer produces: headers that claim more
// than the file holds, and orientation tags.
#include <QByteArray>
#include <QtEndian>

namespace ImageBytes {

// One PNG chunk with its checksum; `declared` overrides the length it gives.
inline QByteArray pngChunk(const char *type, const QByteArray &data, qint64 declared = -1)
{
    QByteArray out = QByteArray(4, '\0') + type + data + QByteArray(4, '\0');
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : out.mid(4, data.size() + 4)) {
        crc ^= uchar(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    qToBigEndian<quint32>(quint32(declared < 0 ? data.size() : declared), out.data());
    qToBigEndian<quint32>(~crc, out.data() + out.size() - 4);
    return out;
}

// A PNG's signature and header for an 8-bit RGBA image of that size, and nothing after it.
inline QByteArray pngHeader(quint32 width, quint32 height)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8; // bits per channel
    header[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header);
}

// The JPEG with an APP1 Exif segment holding only the orientation tag right after its start.
inline QByteArray withExifOrientation(const QByteArray &jpeg, char orientation)
{
    const QByteArray payload = QByteArray("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 25)
                               + orientation + QByteArray(6, '\0');
    const char length = char(payload.size() + 2);
    return jpeg.left(2) + QByteArray("\xFF\xE1\0", 3) + length + payload + jpeg.mid(2);
}

} // namespace ImageBytes
