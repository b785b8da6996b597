#include "SystemImages.h"
#include "platform/ImageServices.h"
#include "platform/image/ExactDivider.h"

#include "ImageBytes.h"
#include "TallCapture.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <libheif/heif.h>
#include <png.h>

#include <cstdlib>
#include <vector>

#include <sys/stat.h>

using namespace ImageBytes;

namespace {

// A blue field with a red square in the top-left corner, so any turn or mirror is visible.
QImage markedImage(QSize size, int markSide = 10)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(20, 40, 220));
    QPainter(&image).fillRect(QRect(0, 0, markSide, markSide), QColor(220, 20, 20));
    return image;
}

bool isMark(QRgb pixel) { return qRed(pixel) > 150 && qBlue(pixel) < 110; }
bool isField(QRgb pixel) { return qBlue(pixel) > 150 && qRed(pixel) < 110; }

heif_error appendToByteArray(heif_context *, const void *data, size_t size, void *userdata)
{
    static_cast<QByteArray *>(userdata)->append(static_cast<const char *>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// HEIC bytes through libheif's HEVC encoder; empty when this system has no such encoder.
QByteArray encodeHeic(const QImage &source, heif_orientation orientation = heif_orientation_normal)
{
    QByteArray bytes;
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code != heif_error_Ok) {
        heif_context_free(context);
        return bytes;
    }
    heif_encoder_set_lossy_quality(encoder, 90);
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    heif_image *image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    heif_encoding_options *options = heif_encoding_options_alloc();
    options->image_orientation = orientation;
    heif_writer writer{1, &appendToByteArray};
    if (heif_context_encode_image(context, image, encoder, options, nullptr).code != heif_error_Ok
        || heif_context_write(context, &writer, &bytes).code != heif_error_Ok)
        bytes.clear();
    heif_encoding_options_free(options);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

// Through Qt's writers (progressive, or turned by a tag, where asked), or libheif for "heic".
QByteArray encode(const QImage &image, const char *format, bool progressive = false,
                  QImageIOHandler::Transformations turned = QImageIOHandler::TransformationNone)
{
    if (qstrcmp(format, "heic") == 0)
        return encodeHeic(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(progressive ? -1 : 95);
    writer.setProgressiveScanWrite(progressive);
    writer.setTransformation(turned);
    return writer.write(image) ? bytes : QByteArray();
}

const QStringList allFormats{"png", "jpeg", "tiff", "webp", "heic"};

// An Adam7-interlaced RGBA PNG, which Qt does not write.
QByteArray interlacedPng(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGBA8888);
    std::vector<png_bytep> rows;
    for (int y = 0; y < image.height(); ++y)
        rows.push_back(const_cast<png_bytep>(image.constScanLine(y)));
    QByteArray bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, size_t length) {
            static_cast<QByteArray *>(png_get_io_ptr(p))->append(reinterpret_cast<const char *>(data), qsizetype(length));
        },
        [](png_structp) {});
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// Mean difference per channel, premultiplied, of two images of one size.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double total = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                     + std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
        }
    }
    return total / (4.0 * x.width() * x.height());
}

// The PNG with `chunks` right after its IHDR.
QByteArray withChunks(const QByteArray &png, const QByteArray &chunks)
{
    return png.left(33) + chunks + png.mid(33);
}

// A sparse file's pieces by offset, and its length.
struct Sparse
{
    QMap<qint64, QByteArray> pieces;
    qint64 size = 0;
};

Sparse whole(const QByteArray &bytes) { return {{{0, bytes}}, bytes.size()}; }

// The PNG with a chunk of `length` bytes (a hole after its first bytes) right after its IHDR.
Sparse withHugeChunk(const QByteArray &png, const char *type, const QByteArray &start, qint64 length)
{
    const QByteArray head = png.left(33) + pngChunk(type, start, length).chopped(4);
    const qint64 resume = head.size() + length - start.size();
    return {{{0, head}, {resume, QByteArray(4, '\0') + png.mid(33)}}, resume + 4 + png.size() - 33};
}

// A 1×1 grey TIFF whose description takes `length` bytes, a hole after its first.
Sparse tiffWithDescription(qint64 length)
{
    const auto entry = [](quint16 tag, quint16 type, quint32 count, quint32 value) {
        QByteArray out(12, '\0');
        qToLittleEndian<quint16>(tag, out.data());
        qToLittleEndian<quint16>(type, out.data() + 2);
        qToLittleEndian<quint32>(count, out.data() + 4);
        qToLittleEndian<quint32>(value, out.data() + 8);
        return out;
    };
    constexpr quint16 shortType = 3, longType = 4, asciiType = 2;
    constexpr quint32 pixel = 134, description = 136;
    QByteArray head = QByteArray("II*\0\x08\0\0\0\x0a\0", 10) + entry(256, shortType, 1, 1)
                      + entry(257, shortType, 1, 1) + entry(258, shortType, 1, 8) + entry(259, shortType, 1, 1)
                      + entry(262, shortType, 1, 1) + entry(270, asciiType, quint32(length), description)
                      + entry(273, longType, 1, pixel) + entry(277, shortType, 1, 1) + entry(278, shortType, 1, 1)
                      + entry(279, longType, 1, 1) + QByteArray(4, '\0');
    head += QByteArray("\x80\0x", 3); // the pixel, a pad byte, the description's first
    return {{{0, head}}, description + length};
}

} // namespace

Q_DECLARE_METATYPE(Sparse)

#define SKIP_WITHOUT_HEIC(bytes) \
    if ((bytes).isEmpty()) \
        QSKIP("This system's libheif has no HEVC encoder to make a HEIC file with")

class TestImageServices final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    const ImageServices &m_images = systemImages();

    QString write(const QString &name, const QByteArray &bytes)
    {
        return TestSupport::writeFile(m_dir.filePath(name), bytes) ? m_dir.filePath(name) : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        ImageServices::applyAllocationLimit(); // as the program does at start
    }

    // Whether a file holds a whole image is its image data's to say; whatever it lacks, it
    // gives nothing rather than part of a picture. A length in a file is a claim, checked
    // against the file and bounded before anything is allocated or read for it.
    void imageDataDecides_data()
    {
        QTest::addColumn<Sparse>("file");
        QTest::addColumn<bool>("readable");
        const QImage image = TestSupport::drawTextImage(QSize(320, 200), {QStringLiteral("Whole or not")});
        const QByteArray png = encode(image, "png");
        const QByteArray jpeg = encode(image, "jpeg");
        const QByteArray progressive = encode(image, "jpeg", true);
        const QByteArray iend = pngChunk("IEND", {});
        const QByteArray trailer(100 * 1024, 'z'); // farther than any look at the last bytes reaches
        // What follows the image, or a missing closing marker, does not stop it decoding.
        QTest::newRow("png, data after its end") << whole(png + trailer) << true;
        const QByteArray heic = encodeHeic(image);
        if (!heic.isEmpty()) { // no HEIC encoder; the readable cases report the skip
            QTest::newRow("heic, data after its end") << whole(heic + trailer) << true;
            QTest::newRow("heic, its data box missing") << whole(heic.left(heic.indexOf("mdat") - 4)) << false;
        }
        QTest::newRow("jpeg, end marker missing") << whole(jpeg.chopped(2)) << true;
        QTest::newRow("progressive jpeg, end marker missing") << whole(progressive.chopped(2)) << true;
        // Image data that is not all there, as while a file is still being written.
        QTest::newRow("png, end chunk missing") << whole(png.chopped(12)) << false;
        QTest::newRow("progressive jpeg, last scan cut") << whole(progressive.chopped(2 + 16)) << false;
        QTest::newRow("progressive jpeg, cut in half") << whole(progressive.left(progressive.size() / 2)) << false;
        for (const QString &format : allFormats) {
            const QByteArray bytes = encode(image, qPrintable(format));
            if (!bytes.isEmpty()) {
                QTest::addRow("%s cut in half", qPrintable(format)) << whole(bytes.left(bytes.size() / 2)) << false;
                QTest::addRow("%s without last bytes", qPrintable(format)) << whole(bytes.chopped(3)) << false;
            }
        }
        QByteArray noise(4096, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QTest::newRow("empty") << whole(QByteArray()) << false;
        QTest::newRow("random bytes") << whole(noise) << false;
        // 64 bytes of pixels are no 20000 x 20000 image, however they compress.
        const QByteArray pixels = qCompress(QByteArray(64, '\0')).mid(4); // zlib stream without Qt's prefix
        QTest::newRow("huge header") << whole(pngHeader(20000, 20000) + pngChunk("IDAT", pixels) + iend) << false;
        QTest::newRow("png, 30000 x 30000 without pixel data")
            << whole(pngHeader(30000, 30000) + pngChunk("IDAT", {}) + iend) << false;
        QTest::newRow("png, text claiming 2 GiB, then IEND")
            << whole(pngHeader(320, 200) + pngChunk("tEXt", QByteArray("Comment\0", 8) + QByteArray(34, 'x'), 0x7FFFFFFF) + iend)
            << false;
        QTest::newRow("png, 2 GiB of text, all there")
            << withHugeChunk(png, "tEXt", QByteArray("Comment\0", 8), 0x7FFFFFF0) << false;

        // Large but real metadata is no reason to refuse an image.
        const QByteArray inflating = QByteArray("Comment\0\0", 9) + qCompress(QByteArray(7 << 20, 'a'), 9).mid(4);
        QTest::newRow("png, text inflating to 168 MB")
            << whole(withChunks(png, pngChunk("zTXt", inflating).repeated(24))) << true;
        QByteArray text(5 << 20, '\0');
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32 *>(text.data()), text.size() / 4);
        QTest::newRow("png, 5 MB of text")
            << whole(withChunks(png, pngChunk("iTXt", QByteArray("Notes\0\0\0\0\0", 10) + text.toBase64().left(5 << 20))))
            << true;

        // What follows an image is no part of it, and is not read.
        const QByteArray webp = encode(image, "webp");
        QTest::newRow("webp followed by 1 GB") << Sparse{{{0, webp}}, webp.size() + (qint64(1) << 30)} << true;

        // Qt's reader keeps every Exif segment of a JPEG, libtiff every value of a directory.
        // Written out in full (one shared buffer): freeing a file of two thousand scattered
        // blocks takes the file system seconds.
        Sparse segments{{{0, jpeg.left(2)}}, 0};
        const QByteArray segment = QByteArray("\xFF\xE1\xFF\xFF", 4) + QByteArray(0xFFFF - 2, 'e');
        for (qint64 i = 0; i < 2048; ++i)
            segments.pieces.insert(2 + i * segment.size(), segment);
        segments.pieces.insert(2 + 2048 * segment.size(), jpeg.mid(2));
        segments.size = 2048 * segment.size() + jpeg.size();
        QTest::newRow("jpeg, 128 MB of Exif") << segments << false;
        QTest::newRow("tiff, 512 MB description") << tiffWithDescription(512 << 20) << false;
    }

    void imageDataDecides()
    {
        QFETCH(Sparse, file);
        QFETCH(bool, readable);
        const QString path = m_dir.filePath(QStringLiteral("claims"));
        QVERIFY(TestSupport::writeSparseFile(path, file.pieces, file.size));
        const auto sizeOf = [](const std::optional<QImage> &image) { return image ? image->size() : QSize(); };
        const QSize expected = readable ? QSize(320, 200) : QSize();
        const qint64 peakBefore = TestSupport::peakResidentMegabytes();
        QCOMPARE(m_images.pixelSize(path).value_or(QSize()), expected);
        QCOMPARE(sizeOf(m_images.decodeFirstImage(path)), expected);
        QCOMPARE(sizeOf(m_images.downscaledImage(path, 100)), readable ? QSize(100, 62) : QSize());
        const qint64 peakAfter = TestSupport::peakResidentMegabytes();
        // Well under the smallest declared length (128 MB), with room for AddressSanitizer's
        // own bookkeeping in the sanitized build.
        QVERIFY2(peakAfter - peakBefore < 100, qPrintable(QStringLiteral("%1 MB").arg(peakAfter - peakBefore)));
    }

    void pixelSizeIsStoredSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("expected");
        const QImage image = markedImage(QSize(64, 30));
        const QByteArray jpeg = encode(image, "jpeg");
        for (const QString &format : allFormats)
            QTest::addRow("%s", qPrintable(format)) << "a." + format << encode(image, qPrintable(format)) << QSize(64, 30);
        // Exif orientation does not change the stored size; libheif applies the item's rotation.
        QTest::newRow("jpeg turned by exif") << "t.jpg" << withExifOrientation(jpeg, 6) << QSize(64, 30);
        QTest::newRow("heic turned by irot")
            << "t.heic" << encodeHeic(image, heif_orientation_rotate_90_cw) << QSize(30, 64);
        QTest::newRow("content decides, not name") << "png.jpg" << encode(image, "png") << QSize(64, 30);
        QTest::newRow("long trailer") << "video.jpg" << jpeg + QByteArray(200 * 1024, 'v') << QSize(64, 30);
    }

    void pixelSizeIsStoredSize()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, expected);
        SKIP_WITHOUT_HEIC(bytes);
        QCOMPARE(m_images.pixelSize(write(name, bytes)).value_or(QSize()), expected);
    }

    void orientationIsApplied_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        // Stored 40x20 with the mark top-left; turned a quarter clockwise it is 20x40, mark top-right.
        const QImage stored = markedImage(QSize(40, 20));
        QTest::newRow("jpeg exif 6") << withExifOrientation(encode(stored, "jpeg"), 6);
        QTest::newRow("tiff tag") << encode(stored, "tiff", false, QImageIOHandler::TransformationRotate90);
        QTest::newRow("heic irot") << encodeHeic(stored, heif_orientation_rotate_90_cw);
    }

    void orientationIsApplied()
    {
        QFETCH(QByteArray, bytes);
        SKIP_WITHOUT_HEIC(bytes);
        const QString path = write(QStringLiteral("turned"), bytes);
        // Scaled in stored coordinates, then turned: the bound applies to the upright image.
        const std::optional<QImage> full = m_images.decodeFirstImage(path);
        const std::optional<QImage> small = m_images.downscaledImage(path, 20);
        QVERIFY(full && small);
        QCOMPARE(full->size(), QSize(20, 40));
        QVERIFY(isMark(full->pixel(15, 4)) && isField(full->pixel(4, 4)) && isField(full->pixel(15, 35)));
        QCOMPARE(small->size(), QSize(10, 20));
        QVERIFY(isMark(small->pixel(7, 2)) && isField(small->pixel(2, 2)) && isField(small->pixel(7, 17)));
    }

    void downscaleKeepsAspectAndNeverEnlarges_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("maxPixelSize");
        QTest::addColumn<QSize>("expected");
        for (const QString &f : allFormats) {
            const QByteArray name = f.toLatin1();
            const char *format = name.constData();
            QTest::addRow("%s wide", format) << f << QSize(400, 100) << 100 << QSize(100, 25);
            QTest::addRow("%s tall", format) << f << QSize(100, 400) << 80 << QSize(20, 80);
            QTest::addRow("%s already small", format) << f << QSize(60, 40) << 100 << QSize(60, 40);
        }
    }

    void downscaleKeepsAspectAndNeverEnlarges()
    {
        QFETCH(QString, format);
        QFETCH(QSize, size);
        QFETCH(int, maxPixelSize);
        QFETCH(QSize, expected);
        const QByteArray bytes = encode(markedImage(size, std::min(size.width(), size.height()) / 2), qPrintable(format));
        SKIP_WITHOUT_HEIC(bytes);
        // Qt would give a "@2x" file a pixel ratio of 2 and so paint it at half size.
        const std::optional<QImage> image = m_images.downscaledImage(write("shot@2x." + format, bytes), maxPixelSize);
        QVERIFY(image);
        QCOMPARE(image->size(), expected);
        QCOMPARE(image->devicePixelRatio(), 1.0);
        QVERIFY(isMark(image->pixel(1, 1)) && isField(image->pixel(image->width() - 2, image->height() - 2)));
    }

    // libheif is opened with the first HEIC file; without its module (a damaged install) a HEIC
    // file is one that cannot be decoded, and nothing else changes.
    void heicNeedsItsModule()
    {
        const QImage image = markedImage(QSize(64, 30));
        const QByteArray heic = encodeHeic(image);
        SKIP_WITHOUT_HEIC(heic);
        const QString heicPath = write(QStringLiteral("module.heic"), heic);
        const QString pngPath = write(QStringLiteral("module.png"), encode(image, "png"));
        QCOMPARE(m_images.pixelSize(heicPath), QSize(64, 30)); // the module the build made
        QTemporaryDir missing, broken;
        QVERIFY(TestSupport::writeFile(broken.filePath(QStringLiteral("libbrimfold-heif.so")), "not a shared object"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("libbrimfold-heif.so.* is not installed")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^cannot open .*libbrimfold-heif.so")));
        for (const QString &folder : {missing.path(), broken.path()}) {
            const SystemImageServices images({folder});
            QVERIFY(!images.pixelSize(heicPath) && !images.decodeFirstImage(heicPath)
                    && !images.downscaledImage(heicPath, 32));
            QCOMPARE(images.pixelSize(pngPath), QSize(64, 30));
        }
    }

    // Every kind of PNG is shrunk row by row; the result matches shrinking Qt's full decode.
    void pngOfEveryKindShrinks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("maxPixelSize");
        // Blue with a red square, a white bar and a half-transparent green block on the right.
        QImage image(400, 100, QImage::Format_ARGB32);
        image.fill(QColor(20, 40, 220));
        QPainter painter(&image);
        painter.fillRect(QRect(0, 0, 40, 40), QColor(220, 20, 20));
        painter.fillRect(QRect(0, 60, 400, 12), Qt::white);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(QRect(300, 0, 100, 100), QColor(0, 200, 0, 100));
        painter.end();
        const QList<std::pair<const char *, QImage::Format>> kinds = {
            {"1-bit", QImage::Format_Mono},          {"palette", QImage::Format_Indexed8},
            {"grey", QImage::Format_Grayscale8},     {"16-bit grey", QImage::Format_Grayscale16},
            {"RGB", QImage::Format_RGB32},           {"RGBA", QImage::Format_ARGB32},
            {"16-bit RGBA", QImage::Format_RGBA64},
        };
        for (const auto &[kind, format] : kinds) {
            const QByteArray bytes = encode(image.convertToFormat(format), "png");
            QTest::addRow("%s, a quarter", kind) << bytes << 100;
            QTest::addRow("%s, uneven", kind) << bytes << 150;
        }
        QTest::newRow("interlaced, a quarter") << interlacedPng(image) << 100;
        QTest::newRow("interlaced, uneven") << interlacedPng(image) << 150;
    }

    void pngOfEveryKindShrinks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, maxPixelSize);
        const QString path = write(QStringLiteral("kind.png"), bytes);
        const std::optional<QImage> full = m_images.decodeFirstImage(path);
        const std::optional<QImage> small = m_images.downscaledImage(path, maxPixelSize);
        QVERIFY(full && small);
        const QSize expected = QSize(400, 100).scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio);
        QCOMPARE(small->size(), expected);
        const QImage reference = full->convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                     .scaled(expected, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double difference = meanDifference(*small, reference);
        QVERIFY2(difference < 2.0, qPrintable(QString::number(difference)));
    }

    // Read row by row at its own size, every kind of PNG gives exactly what shrinking gives for
    // the same picture with every pixel doubled: each result pixel then averages four equal ones.
    void pngRowsAtTheirOwnSizeAreWhatShrinkingGives_data()
    {
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<QByteArray>("doubled");
        // Every level of alpha over a range of colours, so any rounding of the premultiplication shows.
        QImage image(256, 64, QImage::Format_ARGB32), twice(512, 128, QImage::Format_ARGB32);
        for (int y = 0; y < twice.height(); ++y) {
            for (int x = 0; x < twice.width(); ++x) {
                const QRgb pixel = qRgba(y / 2 * 4, 255 - y / 2 * 3, (x / 2 * 7 + y / 2) % 256, x / 2);
                twice.setPixel(x, y, pixel);
                image.setPixel(x / 2, y / 2, pixel);
            }
        }
        const QList<std::pair<const char *, QImage::Format>> kinds = {
            {"grey", QImage::Format_Grayscale8},
            {"RGB", QImage::Format_RGB32},
            {"RGBA", QImage::Format_ARGB32},
            {"16-bit RGBA", QImage::Format_RGBA64},
        };
        for (const auto &[kind, format] : kinds)
            QTest::newRow(kind) << encode(image.convertToFormat(format), "png") << encode(twice.convertToFormat(format), "png");
        QTest::newRow("interlaced") << interlacedPng(image) << interlacedPng(twice);
    }

    void pngRowsAtTheirOwnSizeAreWhatShrinkingGives()
    {
        QFETCH(QByteArray, original);
        QFETCH(QByteArray, doubled);
        struct Collect final : ImageServices::RowReceiver
        {
            QImage rows;
            int next = 0;
            bool begin(QSize size) override
            {
                rows = QImage(size, QImage::Format_ARGB32_Premultiplied);
                return true;
            }
            bool addRow(const QRgb *pixels) override
            {
                std::memcpy(rows.scanLine(next++), pixels, size_t(rows.width()) * sizeof(QRgb));
                return true;
            }
        };
        Collect own, shrunk;
        QVERIFY(m_images.readRows(write(QStringLiteral("own.png"), original), 4096, qint64(1) << 24, own));
        QVERIFY(m_images.readRows(write(QStringLiteral("twice.png"), doubled), 256, qint64(1) << 24, shrunk));
        QCOMPARE(own.rows.size(), QSize(256, 64));
        QCOMPARE(shrunk.rows.size(), own.rows.size());
        QCOMPARE(own.next, 64);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 256; ++x) {
                const QRgb got = reinterpret_cast<const QRgb *>(own.rows.constScanLine(y))[x];
                const QRgb want = reinterpret_cast<const QRgb *>(shrunk.rows.constScanLine(y))[x];
                QVERIFY2(got == want, qPrintable(QStringLiteral("%1 at %2, %3 instead of %4")
                                                     .arg(got, 8, 16).arg(x).arg(y).arg(want, 8, 16)));
            }
        }
    }

    // Shrinking divides every result channel by one area through a reciprocal: the quotient must
    // be the true one for areas of every size, at and beside each multiple, up to the largest sums.
    void divisionByReciprocalIsExact()
    {
        constexpr quint64 largest = (quint64(1) << 63) - 1;
        QRandomGenerator random(7);
        std::vector<quint64> divisors = {1, 2, 3, 4, 255, 1020, 255 * quint64(4096) * 2160,
                                         255 * (quint64(1) << 46), (quint64(1) << 62) + 1, largest};
        for (int i = 0; i < 200; ++i)
            divisors.push_back(1 + random.generate64() % (quint64(1) << (1 + i % 62)));
        for (const quint64 divisor : divisors) {
            const ExactDivider divide(divisor);
            std::vector<quint64> numerators = {0, 1, largest, largest - 1};
            for (quint64 k = 0; k <= 257 && (k == 0 || divisor <= largest / k); ++k) {
                numerators.push_back(k * divisor);
                numerators.push_back(k * divisor + 1);
                if (k > 0)
                    numerators.push_back(k * divisor - 1);
            }
            for (int i = 0; i < 200; ++i)
                numerators.push_back(random.generate64() >> 1);
            for (const quint64 n : numerators) {
                if (n > largest)
                    continue;
                if (divide(n) != n / divisor)
                    QFAIL(qPrintable(QStringLiteral("%1 / %2 gave %3").arg(n).arg(divisor).arg(divide(n))));
            }
        }
    }

    void tallCaptureShrinksWithoutBeingHeldWhole_data()
    {
        QTest::addColumn<int>("maxPixelSize");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("text recognition") << 4096 << QSize(262, 4096);
        QTest::newRow("thumbnail") << 400 << QSize(25, 400);
    }

    void tallCaptureShrinksWithoutBeingHeldWhole()
    {
        QFETCH(int, maxPixelSize);
        QFETCH(QSize, expected);
        const QString path = m_dir.filePath(QStringLiteral("Screenshot long.png"));
        if (!QFile::exists(path))
            QVERIFY(TestSupport::writeFile(path, tallCapturePng()));
        QCOMPARE(m_images.pixelSize(path).value_or(QSize()), QSize(2560, 40000));
        // Its 410 MB at full size are beyond the limit: a full decode is the one thing that fails.
        QVERIFY(!m_images.decodeFirstImage(path));

        const qint64 peakBefore = TestSupport::peakResidentMegabytes();
        const std::optional<QImage> small = m_images.downscaledImage(path, maxPixelSize);
        const qint64 peakAfter = TestSupport::peakResidentMegabytes();
        QVERIFY(small);
        QCOMPARE(small->size(), expected);
        const auto dark = [&](double fraction) {
            return qGray(small->pixel(small->width() / 2, int(fraction * small->height()))) < 60;
        };
        QVERIFY(dark(0.05) && !dark(0.5) && dark(0.775) && !dark(0.9));
        // Far less than the capture's full size came into memory.
        QVERIFY2(peakAfter - peakBefore < 64, qPrintable(QStringLiteral("%1 MB").arg(peakAfter - peakBefore)));
    }

    void progressiveJpegIsShrunkOnlyWithinTheLimit()
    {
        // A progressive JPEG holds every coefficient of the image until its last scan, whatever
        // size it is decoded to; a sequential one is decoded a few lines at a time.
        const QImage image = markedImage(QSize(1200, 1200), 600);
        const QString sequential = write(QStringLiteral("sequential.jpg"), encode(image, "jpeg"));
        const QString progressive = write(QStringLiteral("progressive.jpg"), encode(image, "jpeg", true));
        QVERIFY(m_images.downscaledImage(progressive, 100));

        const auto restore = qScopeGuard([] { ImageServices::applyAllocationLimit(); });
        QImageReader::setAllocationLimit(1); // MB; its coefficients take 2.9
        QCOMPARE(m_images.downscaledImage(sequential, 100).value_or(QImage()).size(), QSize(100, 100));
        QVERIFY(!m_images.downscaledImage(progressive, 100));
        QVERIFY(m_images.pixelSize(progressive));
    }

    void onlyRegularFilesAreOpened()
    {
        // A FIFO would block the opening thread until a writer appears.
        const QString fifo = m_dir.filePath(QStringLiteral("pipe.png"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!m_images.pixelSize(fifo) && !m_images.decodeFirstImage(fifo) && !m_images.downscaledImage(fifo, 64));
    }
};

QTEST_MAIN(TestImageServices)
#include "tst_imageservices.moc"
