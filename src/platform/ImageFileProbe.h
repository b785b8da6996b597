#pragma once

#include <QFile>

#include <optional>

// The container families the program decodes, told apart by their leading bytes.
enum class ImageFileKind { png, jpeg, tiff, webp, heif };

// Checks on an open image file: which family it belongs to by content (never by its name), and
// whether the image it holds is all there. Structural and cheap for the usual file (the header,
// the last few kilobytes, PNG chunk headers, TIFF's first directory); only a JPEG without its end
// marker is decoded, at an eighth of its size, to see whether every line is present.
namespace ImageFileProbe {

// The family of the file by its content; none for anything unknown.
std::optional<ImageFileKind> kindOf(QFile &file);

// Whether the file holds its whole image (is not cut off while being written or copied).
// Anything after the image is ignored.
bool isComplete(QFile &file, ImageFileKind kind);

// Both at once: the family of a complete file, none otherwise. Leaves the file at position 0.
std::optional<ImageFileKind> completeKindOf(QFile &file);

// The format name QImageReader knows the family by; empty for HEIF, which Qt does not read.
QByteArray qtFormatName(ImageFileKind kind);

} // namespace ImageFileProbe
