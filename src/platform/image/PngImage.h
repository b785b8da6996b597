#pragma once

#include "platform/image/AreaDownscaler.h"

#include <QImage>
#include <QIODevice>
#include <QSize>

#include <optional>

// PNG through libpng directly: every decode of a PNG the program makes. Qt's reader cannot do
// two things within bounded memory: a smaller copy of any PNG (it shrinks only 8-bit colour
// files while decoding; grey, palette and 16-bit ones it decodes in full first, hundreds of
// megabytes for a long capture), and ignoring metadata (it keeps every text chunk, and libpng's
// chunk limits only warn on reading, so a few kilobytes of compressed text take gigabytes).
// These decodes skip every chunk but the image's own (IHDR, PLTE, tRNS, IDAT, IEND) unread
// into memory.
namespace PngImage {

// The PNG that `device` holds from its current position, at its stored size: RGBX or RGBA,
// 8 bits a channel, or Grayscale8 for grey without transparency. None when the file cannot be
// decoded or the image would take more than maxBytes (0: no limit).
std::optional<QImage> decode(QIODevice &device, qint64 maxBytes);

// The PNG that `device` holds from its current position, shrunk to `target` (at most its stored
// size on each side) by averaging, reading one row at a time. Interlaced files are read whole,
// as their rows arrive in seven passes. None when the file cannot be decoded or the decode
// would hold more than maxBytes (0: no limit).
std::optional<QImage> decodeScaled(QIODevice &device, QSize target, qint64 maxBytes);

// The same image handed to `sink` a row at a time as each is complete, never held whole: a
// non-interlaced file costs a few rows whatever its height. False when the file cannot be
// decoded, the decode would hold more than maxBytes, or the sink stopped it.
bool decodeRows(QIODevice &device, QSize target, qint64 maxBytes, const AreaDownscaler::RowSink &sink);

} // namespace PngImage
