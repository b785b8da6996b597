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

    // Takes an image a row at a time, top to bottom.
    class RowReceiver
    {
    public:
        virtual ~RowReceiver() = default;
        // The size the rows come in, before the first; false declines the image.
        virtual bool begin(QSize size) = 0;
        // One row of size.width() pixels, premultiplied ARGB32 (alpha 255 when the image has
        // none); false stops the reading.
        virtual bool addRow(const QRgb *pixels) = 0;
    };

    // The first image, turned upright, shrunk by averaging (never enlarged, aspect kept) to at
    // most maxWidth wide and at most maxPixels in all, handed to `receiver` a row at a time.
    // PNG is read a row at a time, so a capture of any height costs a few rows; this default
    // decodes through downscaledImage() first, and when that is beyond the allocation limit,
    // within maxWidth on the longer side. False when the image cannot be read (before or after
    // some rows) or the receiver declined or stopped it.
    virtual bool readRows(const QString &path, int maxWidth, qint64 maxPixels, RowReceiver &receiver) const;

    // The size readRows() delivers for an upright image of this size.
    static QSize rowsSize(QSize upright, int maxWidth, qint64 maxPixels);

    // PNG bytes of exactly this one image; none when encoding fails.
    static std::optional<QByteArray> encodePng(const QImage &image);

    // What one decode may allocate, in bytes: Qt's allocation limit, 0 when unlimited. A full
    // decode of a larger image fails; smaller copies of it are made without holding it whole.
    static qint64 allocationLimitBytes();

    // Raises Qt's decode allocation limit so ordinary large screenshots decode, while a
    // pathological header still cannot make the program allocate gigabytes. Call once at start.
    static void applyAllocationLimit();
};
