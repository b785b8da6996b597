// The HEIF module: libheif behind HeifDecoder, so that only a program that meets a HEIF file
// maps libheif and its codecs.
#include "platform/image/HeifDecoder.h"

#include <QFile>
#include <QLoggingCategory>

#include <libheif/heif.h>

#include <cstring>
#include <memory>

namespace {

Q_LOGGING_CATEGORY(lcHeif, "brimfold.images", QtWarningMsg)

struct ContextDeleter
{
    void operator()(heif_context *context) const { heif_context_free(context); }
};
struct HandleDeleter
{
    void operator()(heif_image_handle *handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter
{
    void operator()(heif_image *image) const { heif_image_release(image); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;

struct Primary
{
    Context context;
    Handle handle;
};

std::optional<Primary> openPrimary(const QString &path)
{
    Context context(heif_context_alloc());
    if (!context)
        return std::nullopt;
    const QByteArray nativePath = QFile::encodeName(path);
    heif_error error = heif_context_read_from_file(context.get(), nativePath.constData(), nullptr);
    if (error.code != heif_error_Ok) {
        qCWarning(lcHeif) << "cannot read" << path << error.message;
        return std::nullopt;
    }
    heif_image_handle *handle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &handle);
    if (error.code != heif_error_Ok || !handle) {
        qCWarning(lcHeif) << "no primary image in" << path << error.message;
        return std::nullopt;
    }
    return Primary{std::move(context), Handle(handle)};
}

class LibheifDecoder final : public HeifDecoder
{
public:
    std::optional<QSize> primarySize(const QString &path) const override;
    std::optional<QImage> decode(const QString &path, qint64 maxBytes) const override;
};

std::optional<QSize> LibheifDecoder::primarySize(const QString &path) const
{
    const std::optional<Primary> primary = openPrimary(path);
    if (!primary)
        return std::nullopt;
    // Already turned by the item's rotation: libheif 1.15 reports no size before it (even its
    // 'ispe' accessor is turned), so HEIC is the one family whose size is the upright one.
    const int width = heif_image_handle_get_width(primary->handle.get());
    const int height = heif_image_handle_get_height(primary->handle.get());
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return QSize(width, height);
}

std::optional<QImage> LibheifDecoder::decode(const QString &path, qint64 maxBytes) const
{
    const std::optional<Primary> primary = openPrimary(path);
    if (!primary)
        return std::nullopt;
    heif_image_handle *handle = primary->handle.get();
    const int width = heif_image_handle_get_width(handle);
    const int height = heif_image_handle_get_height(handle);
    if (width <= 0 || height <= 0)
        return std::nullopt;
    if (maxBytes > 0 && qint64(width) * height * 4 > maxBytes) {
        qCWarning(lcHeif) << "refusing to decode" << path << width << "x" << height;
        return std::nullopt;
    }

    const bool hasAlpha = heif_image_handle_has_alpha_channel(handle);
    heif_image *decoded = nullptr;
    const heif_error error = heif_decode_image(handle, &decoded, heif_colorspace_RGB,
                                               heif_chroma_interleaved_RGBA, nullptr);
    const Image image(decoded);
    if (error.code != heif_error_Ok || !image) {
        qCWarning(lcHeif) << "cannot decode" << path << error.message;
        return std::nullopt;
    }
    const int imageWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int imageHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t *plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || imageWidth <= 0 || imageHeight <= 0 || stride < imageWidth * 4)
        return std::nullopt;

    QImage result(imageWidth, imageHeight,
                  hasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    if (result.isNull())
        return std::nullopt;
    for (int y = 0; y < imageHeight; ++y)
        std::memcpy(result.scanLine(y), plane + qsizetype(y) * stride, size_t(imageWidth) * 4);
    return result;
}

} // namespace

extern "C" __attribute__((visibility("default"))) HeifDecoder *brimfold_create_heif_decoder_v1()
{
    return new LibheifDecoder;
}
