#include "platform/image/PngImage.h"

#include "platform/image/AreaDownscaler.h"

#include <QLoggingCategory>

#include <png.h>

#include <memory>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcPng, "brimfold.images", QtWarningMsg)

// Everything a decode holds. It lives outside the function that libpng's errors jump back to,
// so nothing with a destructor is skipped by the jump.
struct Decode
{
    QIODevice *device = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::unique_ptr<AreaDownscaler> downscaler;
    std::vector<png_byte> pixels; // one row, or every row of an interlaced file
    std::vector<png_bytep> rows;

    ~Decode() { png_destroy_read_struct(&png, &info, nullptr); }
};

void readBytes(png_structp png, png_bytep data, size_t length)
{
    auto *device = static_cast<QIODevice *>(png_get_io_ptr(png));
    if (device->read(reinterpret_cast<char *>(data), qint64(length)) != qint64(length))
        png_error(png, "the file ends early");
}

[[noreturn]] void fail(png_structp png, png_const_charp message)
{
    qCWarning(lcPng) << "cannot decode PNG:" << message;
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// What a chunk may allocate in libpng; with every ancillary chunk skipped, only a palette or a
// transparency table is ever read into memory.
constexpr png_alloc_size_t chunkLimit = 64 * 1024;

bool start(Decode &d)
{
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignoreWarning);
    if (!d.png)
        return false;
    d.info = png_create_info_struct(d.png);
    return d.info != nullptr;
}

// Reads up to the image data. Runs after the caller's setjmp, which libpng's errors jump to.
void readHeader(Decode &d)
{
    png_set_read_fn(d.png, d.device, readBytes);
    // Every chunk but IHDR, PLTE, tRNS, IDAT and IEND is skipped without being stored.
    png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_chunk_malloc_max(d.png, chunkLimit);
    png_read_info(d.png, d.info);

    // Eight bits a channel whatever was stored: palettes to RGB, low-depth grey widened,
    // transparency keys to alpha, 16-bit channels scaled down.
    png_set_expand(d.png);
    png_set_scale_16(d.png);
}

// With a sink the result rows go to it as they complete instead of into one image.
bool decodeInto(Decode &d, QSize target, qint64 maxBytes, const AreaDownscaler::RowSink &sink = {})
{
    if (!start(d))
        return false;
    if (setjmp(png_jmpbuf(d.png)))
        return false;
    readHeader(d);
    const int passes = png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);

    const png_uint_32 width = png_get_image_width(d.png, d.info);
    const png_uint_32 height = png_get_image_height(d.png, d.info);
    const int channels = png_get_channels(d.png, d.info);
    const size_t rowBytes = png_get_rowbytes(d.png, d.info);
    if (rowBytes != size_t(width) * size_t(channels))
        return false;
    // PNG sides are below 2^31, so they fit an int.
    const QSize source{int(width), int(height)};
    const qint64 heldRows = passes > 1 ? qint64(height) : 1;
    const qint64 resultRows = sink ? 1 : target.height();
    const qint64 bytes = qint64(rowBytes) * heldRows + AreaDownscaler::workingBytes(target, channels)
                         + qint64(target.width()) * resultRows * 4;
    if (maxBytes > 0 && bytes > maxBytes) {
        qCWarning(lcPng) << "refusing to decode" << source << "to" << target;
        return false;
    }
    d.downscaler = std::make_unique<AreaDownscaler>(source, target, channels, sink);
    if (!d.downscaler->isValid())
        return false;

    if (passes == 1) {
        d.pixels.resize(rowBytes);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(d.png, d.pixels.data(), nullptr);
            d.downscaler->addRow(d.pixels.data());
            if (d.downscaler->stopped())
                return false;
        }
    } else {
        d.pixels.resize(rowBytes * height);
        d.rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y)
            d.rows[y] = d.pixels.data() + size_t(y) * rowBytes;
        png_read_image(d.png, d.rows.data());
        for (png_uint_32 y = 0; y < height && !d.downscaler->stopped(); ++y)
            d.downscaler->addRow(d.rows[y]);
    }
    return !d.downscaler->stopped();
}

bool decodeFullInto(Decode &d, QImage &image, qint64 maxBytes)
{
    if (!start(d))
        return false;
    if (setjmp(png_jmpbuf(d.png)))
        return false;
    readHeader(d);
    const png_uint_32 width = png_get_image_width(d.png, d.info);
    const png_uint_32 height = png_get_image_height(d.png, d.info);
    const int colour = png_get_color_type(d.png, d.info);
    const bool grey = (colour & PNG_COLOR_MASK_COLOR) == 0;
    const bool alpha = (colour & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(d.png, d.info, PNG_INFO_tRNS);
    const bool greyOnly = grey && !alpha;
    if (!greyOnly) {
        png_set_gray_to_rgb(d.png);
        png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER); // no effect where there is alpha
    }
    png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);

    const int channels = greyOnly ? 1 : 4;
    if (png_get_rowbytes(d.png, d.info) != size_t(width) * size_t(channels))
        return false;
    if (maxBytes > 0 && qint64(width) * qint64(height) * channels > maxBytes) {
        qCWarning(lcPng) << "refusing to decode" << width << "x" << height;
        return false;
    }
    // PNG sides are below 2^31, so they fit an int.
    image = QImage(int(width), int(height),
                   greyOnly ? QImage::Format_Grayscale8
                            : alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    if (image.isNull())
        return false;
    d.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        d.rows[y] = image.scanLine(int(y));
    png_read_image(d.png, d.rows.data());
    return true;
}

} // namespace

namespace PngImage {

std::optional<QImage> decode(QIODevice &device, qint64 maxBytes)
{
    Decode decode;
    decode.device = &device;
    QImage image;
    if (!decodeFullInto(decode, image, maxBytes))
        return std::nullopt;
    return image;
}

std::optional<QImage> decodeScaled(QIODevice &device, QSize target, qint64 maxBytes)
{
    Decode decode;
    decode.device = &device;
    if (!decodeInto(decode, target, maxBytes))
        return std::nullopt;
    return decode.downscaler->result();
}

bool decodeRows(QIODevice &device, QSize target, qint64 maxBytes, const AreaDownscaler::RowSink &sink)
{
    Decode decode;
    decode.device = &device;
    return decodeInto(decode, target, maxBytes, sink);
}

} // namespace PngImage
