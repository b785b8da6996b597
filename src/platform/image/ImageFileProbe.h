#pragma once

#include <QFile>
#include <QSize>

#include <optional>

// The container families the program decodes, told apart by their leading bytes.
enum class ImageFileKind { png, jpeg, tiff, webp, heif };

// Checks on an open image file: which family it belongs to by content (never by its name), and
// whether the image it holds is all there. Structural and cheap for the usual file (the header,
// the last few kilobytes, PNG chunk headers, HEIF's top-level boxes, TIFF's first directory);
// only a JPEG without its end marker is decoded, at an eighth of its size, to see whether every
// line is present. A file whose declared metadata is larger than maxMetadataBytes is refused
// here, so no decoder behind these checks is ever asked to hold it.
namespace ImageFileProbe {

// What the metadata of one image (PNG chunks other than its pixel data, JPEG segments before
// the scan, TIFF values, a HEIF 'meta' box) may take in all. Real text, Exif and colour
// profiles take a few megabytes at most.
constexpr qint64 maxMetadataBytes = 64 * 1024 * 1024;

// What the chunk walk of a whole PNG found: the size its header gives, and where the PNG ends
// (just after its IEND chunk); anything after that end is no part of the image.
struct PngLayout
{
    QSize size;
    qint64 end = 0;
};

// The layout of a whole PNG: a valid IHDR first, IDAT chunks before the IEND holding at least
// what the most compressed image of the size claimed would take, every chunk inside the file,
// and at most maxMetadataBytes in the other chunks. None otherwise.
std::optional<PngLayout> pngLayout(QFile &file);

// Where a whole WebP ends (the length its RIFF header gives); none when it is cut off.
std::optional<qint64> webpEnd(QFile &file);

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
