#pragma once

#include "platform/AreaDownscaler.h"

#include <QImage>
#include <QIODevice>
#include <QSize>

#include <optional>

// PNG through libpng directly, for the one thing Qt's reader cannot do within bounded memory:
// a smaller copy of any PNG. Qt decodes only 8-bit colour PNGs straight to a smaller size; grey,
// palette and 16-bit files it decodes in full first, which for a long capture means hundreds of
// megabytes for a thumbnail.
namespace PngImage {

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
