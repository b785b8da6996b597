#pragma once

#include <QFile>

#include <optional>

// The container families the program decodes, told apart by their leading bytes.
enum class ImageFileKind { png, jpeg, tiff, webp, heif };

// Cheap structural checks on an open image file: which family it belongs to by content (never by
// its name), and whether everything the structure announces is actually present. Reads only the
// header, the last few kilobytes and, for TIFF, the first directory; never decodes pixels.
namespace ImageFileProbe {

// The family of the file by its content; none for anything unknown.
std::optional<ImageFileKind> kindOf(QFile &file);

// Whether the file is complete for its family (not cut off while being written or copied).
bool isComplete(QFile &file, ImageFileKind kind);

// Both at once: the family of a complete file, none otherwise. Leaves the file at position 0.
std::optional<ImageFileKind> completeKindOf(QFile &file);

// The format name QImageReader knows the family by; empty for HEIF, which Qt does not read.
QByteArray qtFormatName(ImageFileKind kind);

} // namespace ImageFileProbe
