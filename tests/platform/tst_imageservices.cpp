#include "SystemImages.h"
#include "platform/ImageServices.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <libheif/heif.h>

#include <sys/stat.h>

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

// Puts an APP1 Exif segment holding only the orientation tag right after the start of image.
QByteArray withExifOrientation(const QByteArray &jpeg, char orientation)
{
    const QByteArray payload = QByteArray("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 25)
                               + orientation + QByteArray(6, '\0');
    const char length = char(payload.size() + 2);
    return jpeg.left(2) + QByteArray("\xFF\xE1\0", 3) + length + payload + jpeg.mid(2);
}

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

// Through Qt's writers, or libheif for "heic".
QByteArray encode(const QImage &image, const char *format,
                  QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone)
{
    if (qstrcmp(format, "heic") == 0)
        return encodeHeic(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    writer.setTransformation(transformation);
    return writer.write(image) ? bytes : QByteArray();
}

const QStringList allFormats{"png", "jpeg", "tiff", "webp", "heic"};

// A well-formed PNG whose header announces a huge image but which carries almost no pixel data.
QByteArray hugePng(quint32 side)
{
    const auto chunk = [](const char *type, const QByteArray &data) {
        QByteArray out = QByteArray(4, '\0') + type + data + QByteArray(4, '\0');
        quint32 crc = 0xFFFFFFFFu;
        for (const char c : out.mid(4, data.size() + 4)) {
            crc ^= uchar(c);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        qToBigEndian<quint32>(quint32(data.size()), out.data());
        qToBigEndian<quint32>(~crc, out.data() + out.size() - 4);
        return out;
    };
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(side, header.data());
    qToBigEndian<quint32>(side, header.data() + 4);
    header[8] = 8; // bits per channel
    header[9] = 6; // RGBA
    const QByteArray pixels = qCompress(QByteArray(64, '\0')).mid(4); // zlib stream without Qt's prefix
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", pixels) + chunk("IEND", {});
}

} // namespace

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

    void pixelSizeIsStoredSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("expected");
        const QImage image = markedImage(QSize(64, 30));
        const QByteArray jpeg = encode(image, "jpeg");
        QTest::newRow("png") << "a.png" << encode(image, "png") << QSize(64, 30);
        QTest::newRow("jpeg") << "a.jpg" << jpeg << QSize(64, 30);
        QTest::newRow("tiff") << "a.tiff" << encode(image, "tiff") << QSize(64, 30);
        QTest::newRow("webp") << "a.webp" << encode(image, "webp") << QSize(64, 30);
        QTest::newRow("heic") << "a.heic" << encodeHeic(image) << QSize(64, 30);
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
        QTest::newRow("tiff tag") << encode(stored, "tiff", QImageIOHandler::TransformationRotate90);
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

    void unreadableFilesGiveNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("header"); // what pixelSize may still report
        QByteArray noise(4096, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QTest::newRow("empty") << "empty.png" << QByteArray() << QSize();
        QTest::newRow("random bytes") << "noise.png" << noise << QSize();
        // Decoding the 1.6 GB announced is refused before any allocation; a thumbnail finds no pixels.
        QTest::newRow("huge header") << "huge.png" << hugePng(20000) << QSize(20000, 20000);
        // Large enough that every format spreads over many bytes, then cut.
        const QImage image = TestSupport::drawTextImage(QSize(320, 200), {QStringLiteral("Cut short")});
        for (const QString &format : allFormats) {
            const QByteArray whole = encode(image, qPrintable(format));
            if (whole.isEmpty())
                continue; // no HEIC encoder; the readable cases report the skip
            QTest::addRow("%s cut in half", qPrintable(format)) << "half." + format << whole.left(whole.size() / 2) << QSize();
            QTest::addRow("%s without last bytes", qPrintable(format)) << "short." + format << whole.chopped(3) << QSize();
        }
    }

    void unreadableFilesGiveNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, header);
        const QString path = write(name, bytes);
        QVERIFY(!path.isEmpty());
        QCOMPARE(m_images.pixelSize(path).value_or(QSize()), header);
        QVERIFY(!m_images.decodeFirstImage(path) && !m_images.downscaledImage(path, 256));
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
