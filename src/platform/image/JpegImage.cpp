#include "platform/image/JpegImage.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace {

Q_LOGGING_CATEGORY(lcJpeg, "brimfold.images", QtWarningMsg)

constexpr qint64 chunkSize = 64 * 1024;

// One libjpeg decompressor reading from a device. libjpeg reports a fatal error by calling
// error_exit, which must not return: it jumps back into run(), whose step therefore keeps
// nothing with a destructor (libjpeg's own pools hold what it allocates).
class Decompressor final
{
public:
    Decompressor(QIODevice &device, qint64 maxBytes)
        : m_device(device), m_maxBytes(maxBytes), m_buffer(chunkSize, Qt::Uninitialized)
    {
        m_info.err = jpeg_std_error(&m_errors);
        m_errors.error_exit = &Decompressor::errorExit;
        m_errors.emit_message = &Decompressor::emitMessage;
        m_errors.output_message = [](j_common_ptr) {};
        m_info.client_data = this;
    }
    ~Decompressor()
    {
        if (m_created)
            jpeg_destroy_decompress(&m_info);
    }
    Decompressor(const Decompressor &) = delete;
    Decompressor &operator=(const Decompressor &) = delete;

    // Runs step(info) on the decompressor; false when libjpeg gave up on the file.
    template <typename Step>
    bool run(Step &&step)
    {
        if (setjmp(m_jump))
            return false;
        if (!m_created) {
            m_created = true; // destroying a half-made decompressor is safe, leaking it is not
            jpeg_create_decompress(&m_info);
            m_info.mem->max_memory_to_use = long(m_maxBytes);
            m_source.init_source = [](j_decompress_ptr) {};
            m_source.fill_input_buffer = &Decompressor::fill;
            m_source.skip_input_data = &Decompressor::skip;
            m_source.resync_to_restart = jpeg_resync_to_restart;
            m_source.term_source = [](j_decompress_ptr) {};
            m_source.next_input_byte = nullptr;
            m_source.bytes_in_buffer = 0;
            m_info.src = &m_source;
        }
        step(m_info);
        return true;
    }

    // Whether the decoder lacked data after the file ended: libjpeg then warns and goes on
    // with blank blocks, which is how a cut-off file would otherwise pass for a whole one.
    bool ranOut() const { return m_ranOut; }

private:
    static Decompressor *self(j_common_ptr info) { return static_cast<Decompressor *>(info->client_data); }

    static boolean fill(j_decompress_ptr info)
    {
        Decompressor *d = self(reinterpret_cast<j_common_ptr>(info));
        qint64 length = d->m_device.read(d->m_buffer.data(), chunkSize);
        if (length <= 0) {
            // The end of the file: hand libjpeg the end-of-image marker it asks for.
            d->m_sourceEnded = true;
            d->m_buffer[0] = char(0xFF);
            d->m_buffer[1] = char(JPEG_EOI);
            length = 2;
        }
        info->src->next_input_byte = reinterpret_cast<const JOCTET *>(d->m_buffer.constData());
        info->src->bytes_in_buffer = size_t(length);
        return TRUE;
    }

    static void skip(j_decompress_ptr info, long count)
    {
        if (count <= 0)
            return;
        Decompressor *d = self(reinterpret_cast<j_common_ptr>(info));
        jpeg_source_mgr *source = info->src;
        while (count > long(source->bytes_in_buffer)) {
            count -= long(source->bytes_in_buffer);
            source->bytes_in_buffer = 0;
            fill(info);
            if (d->m_sourceEnded)
                return; // keep the end marker for libjpeg to find
        }
        source->next_input_byte += count;
        source->bytes_in_buffer -= size_t(count);
    }

    static void emitMessage(j_common_ptr info, int level)
    {
        // Level -1 is a warning about the data; higher levels are traces.
        Decompressor *d = self(info);
        if (level < 0 && d->m_sourceEnded)
            d->m_ranOut = true;
    }

    [[noreturn]] static void errorExit(j_common_ptr info)
    {
        char text[JMSG_LENGTH_MAX];
        info->err->format_message(info, text);
        qCWarning(lcJpeg) << "cannot decode JPEG:" << text;
        std::longjmp(self(info)->m_jump, 1);
    }

    QIODevice &m_device;
    qint64 m_maxBytes;
    QByteArray m_buffer;
    jpeg_decompress_struct m_info{};
    jpeg_error_mgr m_errors{};
    jpeg_source_mgr m_source{};
    std::jmp_buf m_jump{};
    bool m_created = false;
    bool m_sourceEnded = false;
    bool m_ranOut = false;
};

qint64 roundedUp(qint64 value, qint64 multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

} // namespace

namespace JpegImage {

bool decodesCompletely(QIODevice &device, qint64 maxBytes)
{
    Decompressor decompressor(device, maxBytes);
    bool complete = false;
    const bool ran = decompressor.run([&](jpeg_decompress_struct &info) {
        jpeg_read_header(&info, TRUE);
        // Only whether the data suffices matters: the smallest output and the cheapest methods.
        // Grey output skips colour work, yet every component's data is still read.
        info.scale_num = 1;
        info.scale_denom = 8;
        info.dct_method = JDCT_IFAST;
        info.do_fancy_upsampling = FALSE;
        info.do_block_smoothing = FALSE;
        if (info.jpeg_color_space == JCS_YCbCr)
            info.out_color_space = JCS_GRAYSCALE;
        jpeg_start_decompress(&info);
        if (jpeg_has_multiple_scans(&info)) {
            // Starting read every scan into the coefficient buffer: the data has been judged.
            complete = !decompressor.ranOut();
            return;
        }
        JSAMPARRAY row = info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                info.output_width * JDIMENSION(info.output_components), 1);
        while (info.output_scanline < info.output_height && !decompressor.ranOut()) {
            if (jpeg_read_scanlines(&info, row, 1) != 1)
                break;
        }
        complete = info.output_scanline == info.output_height && !decompressor.ranOut();
    });
    return ran && complete;
}

std::optional<qint64> wholeImageBytes(QIODevice &device)
{
    Decompressor decompressor(device, 0);
    qint64 bytes = 0;
    const bool ran = decompressor.run([&](jpeg_decompress_struct &info) {
        jpeg_read_header(&info, TRUE);
        if (!jpeg_has_multiple_scans(&info))
            return;
        // What libjpeg's coefficient buffer allocates: each component's blocks, padded to whole
        // sampling units.
        for (int i = 0; i < info.num_components; ++i) {
            const jpeg_component_info &component = info.comp_info[i];
            bytes += roundedUp(component.width_in_blocks, component.h_samp_factor)
                     * roundedUp(component.height_in_blocks, component.v_samp_factor)
                     * qint64(sizeof(JBLOCK));
        }
    });
    if (!ran)
        return std::nullopt;
    return bytes;
}

} // namespace JpegImage
