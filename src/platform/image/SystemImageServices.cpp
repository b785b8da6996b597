#include "platform/image/SystemImageServices.h"

#include "platform/image/HeifImage.h"
#include "platform/image/ImageFileProbe.h"
#include "platform/image/JpegImage.h"
#include "platform/image/PngImage.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>

#include <algorithm>
#include <memory>

namespace {

Q_LOGGING_CATEGORY(lcImages, "brimfold.images", QtWarningMsg)

// Qt converts to 32-bit pixels for nearly every format it reads, so that is what a decode costs.
constexpr qint64 bytesPerPixel = 4;

qint64 allocationLimitBytes()
{
    return ImageServices::allocationLimitBytes();
}

bool withinAllocationLimit(qint64 bytes)
{
    const qint64 limit = allocationLimitBytes();
    return limit == 0 || bytes <= limit;
}

qint64 decodedBytes(QSize size)
{
    return qint64(size.width()) * size.height() * bytesPerPixel;
}

// Longer side at most maxSide, aspect kept, never enlarged. The bound is square, so it is the
// same before and after a quarter turn and may be applied to the stored size directly.
QSize boundedSize(QSize size, int maxSide)
{
    if (size.width() <= maxSide && size.height() <= maxSide)
        return size;
    return size.scaled(maxSide, maxSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// What a JPEG decode to `target` allocates: libjpeg can only shrink by 1/2, 1/4 or 1/8 while
// decoding and the rest is scaled afterwards, so the intermediate image may be larger.
QSize jpegIntermediateSize(QSize stored, QSize target)
{
    const int ratio = std::min(stored.width() / std::max(1, target.width()),
                               stored.height() / std::max(1, target.height()));
    const int denominator = ratio >= 8 ? 8 : ratio >= 4 ? 4 : ratio >= 2 ? 2 : 1;
    return QSize((stored.width() + denominator - 1) / denominator,
                 (stored.height() + denominator - 1) / denominator);
}

// An open, complete image file with its family; Qt's reader for it is made on demand.
class OpenImage
{
public:
    static std::optional<OpenImage> open(const QString &path)
    {
        // Opening a FIFO would block until someone writes to it; only regular files are images.
        if (!QFileInfo(path).isFile())
            return std::nullopt;
        OpenImage image(path);
        if (!image.m_file->open(QIODevice::ReadOnly))
            return std::nullopt;
        QFile &file = *image.m_file;
        image.m_kind = ImageFileProbe::kindOf(file);
        if (image.m_kind == ImageFileKind::png) {
            image.m_png = ImageFileProbe::pngLayout(file);
            if (!image.m_png)
                image.m_kind.reset();
        } else if (image.m_kind && !ImageFileProbe::isComplete(file, *image.m_kind)) {
            image.m_kind.reset();
        }
        if (!image.m_kind || !file.seek(0)) {
            qCDebug(lcImages) << "not a complete image file:" << path;
            return std::nullopt;
        }
        return image;
    }

    ImageFileKind kind() const { return *m_kind; }
    QFile &file() { return *m_file; }
    // What the chunk walk found, for PNG.
    const ImageFileProbe::PngLayout &png() const { return *m_png; }

    // A reader restricted to the family the content announced, upright output; none when the
    // image cannot be handed to Qt within the allocation limit.
    std::unique_ptr<QImageReader> reader()
    {
        QIODevice *device = m_file.get();
        if (m_kind == ImageFileKind::webp) {
            // Qt's WebP reader takes in everything its device holds: give it the image alone,
            // not whatever follows it in the file.
            const std::optional<qint64> end = ImageFileProbe::webpEnd(*m_file);
            const qint64 limit = ImageServices::allocationLimitBytes();
            if (!end || (limit > 0 && *end > limit) || !m_file->seek(0))
                return nullptr;
            m_webp = std::make_unique<QBuffer>();
            m_webp->setData(m_file->read(*end));
            if (m_webp->size() != *end || !m_webp->open(QIODevice::ReadOnly))
                return nullptr;
            device = m_webp.get();
        }
        auto reader = std::make_unique<QImageReader>(device, ImageFileProbe::qtFormatName(*m_kind));
        reader->setAutoDetectImageFormat(false);
        reader->setAutoTransform(true);
        return reader;
    }

private:
    explicit OpenImage(const QString &path) : m_file(std::make_unique<QFile>(path)) {}

    std::unique_ptr<QFile> m_file;
    std::optional<ImageFileKind> m_kind;
    std::optional<ImageFileProbe::PngLayout> m_png;
    std::unique_ptr<QBuffer> m_webp;
};

// What libjpeg holds besides the output: a progressive file keeps every coefficient of the
// image until its last scan, whatever size it is decoded to. Leaves the file at position 0.
std::optional<qint64> jpegBufferBytes(QFile &file)
{
    const std::optional<qint64> bytes = JpegImage::wholeImageBytes(file);
    if (!file.seek(0))
        return std::nullopt;
    return bytes;
}

std::optional<QImage> read(QImageReader &reader, const QString &path)
{
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        qCWarning(lcImages) << "cannot decode" << path << reader.errorString();
        return std::nullopt;
    }
    // Qt gives files named "name@2x.png" a device pixel ratio of 2; callers work in pixels, and
    // a painter would otherwise draw such an image at half size.
    image.setDevicePixelRatio(1.0);
    return image;
}

QImage scaledWithin(const QImage &image, int maxSide)
{
    const QSize bounded = boundedSize(image.size(), maxSide);
    if (bounded == image.size())
        return image;
    return image.scaled(bounded, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

SystemImageServices::SystemImageServices(QStringList moduleFolders)
    : m_heif(std::move(moduleFolders))
{
}

std::optional<QSize> SystemImageServices::pixelSize(const QString &path) const
{
    std::optional<OpenImage> image = OpenImage::open(path);
    if (!image)
        return std::nullopt;
    if (image->kind() == ImageFileKind::heif)
        return m_heif.primarySize(path);
    // Qt's PNG reader would read every text chunk before the size: the walk has the size.
    if (image->kind() == ImageFileKind::png)
        return image->png().size;
    // Reads the header only; the size is the stored one, before any orientation.
    const auto reader = image->reader();
    const QSize size = reader ? reader->size() : QSize();
    if (size.width() <= 0 || size.height() <= 0)
        return std::nullopt;
    return size;
}

std::optional<QImage> SystemImageServices::decodeFirstImage(const QString &path) const
{
    std::optional<OpenImage> image = OpenImage::open(path);
    if (!image)
        return std::nullopt;
    if (image->kind() == ImageFileKind::heif)
        return m_heif.decode(path, allocationLimitBytes());
    if (image->kind() == ImageFileKind::png)
        return PngImage::decode(image->file(), allocationLimitBytes());
    // A multi-scan JPEG holds its coefficients for the whole image while it decodes.
    const std::optional<qint64> extraBytes =
        image->kind() == ImageFileKind::jpeg ? jpegBufferBytes(image->file()) : std::optional<qint64>(0);
    if (!extraBytes)
        return std::nullopt;
    const auto reader = image->reader();
    if (!reader)
        return std::nullopt;
    const QSize size = reader->size();
    if (size.width() <= 0 || size.height() <= 0)
        return std::nullopt;
    if (!withinAllocationLimit(decodedBytes(size) + *extraBytes)) {
        qCWarning(lcImages) << "refusing to decode" << path << size;
        return std::nullopt;
    }
    return read(*reader, path);
}

std::optional<QImage> SystemImageServices::downscaledImage(const QString &path, int maxPixelSize) const
{
    if (maxPixelSize <= 0)
        return std::nullopt;
    std::optional<OpenImage> image = OpenImage::open(path);
    if (!image)
        return std::nullopt;
    if (image->kind() == ImageFileKind::heif) {
        const std::optional<QImage> full = m_heif.decode(path, allocationLimitBytes());
        if (!full)
            return std::nullopt;
        return scaledWithin(*full, maxPixelSize);
    }

    // Any PNG is decoded by libpng directly, a smaller copy row by row: Qt's reader would decode
    // grey, palette and 16-bit files in full first. Qt reads no orientation from PNG, so there
    // is none to apply here either.
    if (image->kind() == ImageFileKind::png) {
        const QSize stored = image->png().size;
        const QSize target = boundedSize(stored, maxPixelSize);
        if (target == stored)
            return PngImage::decode(image->file(), allocationLimitBytes());
        return PngImage::decodeScaled(image->file(), target, allocationLimitBytes());
    }

    // A multi-scan JPEG holds its coefficients for the whole image while it decodes.
    const std::optional<qint64> extraBytes =
        image->kind() == ImageFileKind::jpeg ? jpegBufferBytes(image->file()) : std::optional<qint64>(0);
    if (!extraBytes)
        return std::nullopt;
    const auto reader = image->reader();
    if (!reader)
        return std::nullopt;
    const QSize stored = reader->size();
    if (stored.width() <= 0 || stored.height() <= 0)
        return std::nullopt;
    const QSize target = boundedSize(stored, maxPixelSize);

    // JPEG decodes straight to the smaller size; TIFF and WebP decode in full first.
    QSize decodedSize = stored;
    if (image->kind() == ImageFileKind::jpeg && target != stored
        && reader->supportsOption(QImageIOHandler::ScaledSize)) {
        reader->setScaledSize(target); // stored coordinates: the orientation is applied afterwards
        decodedSize = jpegIntermediateSize(stored, target);
    }
    if (!withinAllocationLimit(decodedBytes(decodedSize) + *extraBytes)) {
        qCWarning(lcImages) << "refusing to decode" << path << stored << "for" << maxPixelSize;
        return std::nullopt;
    }
    const std::optional<QImage> decoded = read(*reader, path);
    if (!decoded)
        return std::nullopt;
    return scaledWithin(*decoded, maxPixelSize);
}

bool SystemImageServices::readRows(const QString &path, int maxWidth, qint64 maxPixels, RowReceiver &receiver) const
{
    {
        std::optional<OpenImage> image = OpenImage::open(path);
        if (!image)
            return false;
        // Qt reads no orientation from PNG, so the stored rows are the upright ones.
        if (image->kind() == ImageFileKind::png) {
            const QSize stored = image->reader()->size();
            const QSize target = rowsSize(stored, maxWidth, maxPixels);
            if (target.isEmpty() || !image->file().seek(0) || !receiver.begin(target))
                return false;
            return PngImage::decodeRows(image->file(), target, allocationLimitBytes(), [&](const QRgb *row) {
                return receiver.addRow(row);
            });
        }
    }
    return ImageServices::readRows(path, maxWidth, maxPixels, receiver);
}
