#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// What the program asks of image decoding and encoding (PNG, JPEG, TIFF, WebP, HEIC/HEIF).
// Every failure is the absence of a result; callers decide what that means for them.
// Implementations keep no state between calls and may be used from several threads at once.
class ImageServices
{
public:
    virtual ~ImageServices() = default;

    // Pixel size of the first image as stored in the file, read from the header (HEIC/HEIF
    // report it upright: libheif gives no other size). None when the file cannot be opened, is
    // cut off (its image data is not all there, as while it is still being written), or its
    // header carries no size. Data after the image does not matter.
    virtual std::optional<QSize> pixelSize(const QString &path) const = 0;

    // The full-size first image, turned upright by the file's orientation.
    // None when it cannot be decoded or would exceed the allocation limit.
    virtual std::optional<QImage> decodeFirstImage(const QString &path) const = 0;

    // The first image decoded from the full image (never an embedded preview), turned upright,
    // with its longer side at most maxPixelSize and its aspect ratio kept; never enlarged.
    // PNG and JPEG are decoded straight to the smaller size, so an image too large for a full
    // decode still gives one; other formats are decoded in full first, within the same limit.
    virtual std::optional<QImage> downscaledImage(const QString &path, int maxPixelSize) const = 0;

    // PNG bytes of exactly this one image; none when encoding fails.
    static std::optional<QByteArray> encodePng(const QImage &image);

    // What one decode may allocate, in bytes: Qt's allocation limit, 0 when unlimited. A full
    // decode of a larger image fails; smaller copies of it are made without holding it whole.
    static qint64 allocationLimitBytes();

    // Raises Qt's decode allocation limit so ordinary large screenshots decode, while a
    // pathological header still cannot make the program allocate gigabytes. Call once at start.
    static void applyAllocationLimit();
};
