#pragma once

#include <QIODevice>

#include <optional>

// JPEG questions Qt's reader cannot answer, through libjpeg directly: whether the file really
// holds the whole image, and what decoding it costs before any pixel comes out.
namespace JpegImage {

// Whether every line of the image decodes from the data present: false when the file ends
// inside the image data (still being written, or cut off), true when only the closing marker
// is missing. Decodes at an eighth of the size and holds at most maxBytes (0: no limit).
bool decodesCompletely(QIODevice &device, qint64 maxBytes);

// Bytes libjpeg holds for the whole image while decoding a progressive or multi-scan file
// (its coefficients, whatever the output size); 0 for a single-scan file, which is decoded a
// few lines at a time. None when the header cannot be read.
std::optional<qint64> wholeImageBytes(QIODevice &device);

} // namespace JpegImage
