#include "platform/ImageServices.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <libheif/heif.h>

#include <future>

#include <sys/stat.h>

namespace {

const QColor markColour(220, 20, 20);
const QColor fieldColour(20, 40, 220);

// A field with a square mark in the top-left corner, so any turn or mirror is visible.
QImage markedImage(QSize size, int markSide = 10)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(fieldColour);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, markSide, markSide), markColour);
    return image;
}

bool isMark(QRgb pixel)
{
    return qRed(pixel) > 150 && qBlue(pixel) < 110;
}

bool isField(QRgb pixel)
{
    return qBlue(pixel) > 150 && qRed(pixel) < 110;
}

QByteArray encodeWithQt(const QImage &image, const char *format,
                        QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    if (transformation != QImageIOHandler::TransformationNone)
        writer.setTransformation(transformation);
    return writer.write(image) ? bytes : QByteArray();
}

// Puts an APP1 Exif segment holding only the orientation tag right after the start of image.
QByteArray withExifOrientation(const QByteArray &jpeg, quint16 orientation)
{
    QByteArray tiff("MM\0*\0\0\0\x08", 8); // big-endian header, first directory at 8
    tiff.append("\0\x01", 2);              // one entry
    tiff.append("\x01\x12\0\x03\0\0\0\x01", 8); // Orientation, SHORT, count 1
    tiff.append(char(orientation >> 8)).append(char(orientation & 0xFF)).append("\0\0", 2);
    tiff.append("\0\0\0\0", 4); // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    const quint16 length = quint16(payload.size() + 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
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
    if (heif_context_encode_image(context, image, encoder, options, nullptr).code == heif_error_Ok) {
        heif_writer writer{1, &appendToByteArray};
        if (heif_context_write(context, &writer, &bytes).code != heif_error_Ok)
            bytes.clear();
    }
    heif_encoding_options_free(options);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

QByteArray encodeIn(const QString &format, const QImage &image)
{
    if (format == QLatin1String("heic"))
        return encodeHeic(image);
    return encodeWithQt(image, format.toLatin1().constData());
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= uchar(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    const QByteArray body = QByteArray(type, 4) + data;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(body), crc.data());
    return chunk + body + crc;
}

// A well-formed PNG whose header announces a huge image but which carries almost no pixel data.
QByteArray hugePngHeader(quint32 width, quint32 height)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8; // bit depth
    header[9] = 6; // RGBA
    const QByteArray pixels = qCompress(QByteArray(64, '\0')).mid(4); // zlib stream without Qt's prefix
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", pixels)
           + pngChunk("IEND", {});
}

} // namespace

class TestImageServices final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pixelSizeIsStoredSize_data();
    void pixelSizeIsStoredSize();
    void orientationIsApplied_data();
    void orientationIsApplied();
    void downscaleKeepsAspectAndNeverEnlarges_data();
    void downscaleKeepsAspectAndNeverEnlarges();
    void unreadableFilesGiveNothing_data();
    void unreadableFilesGiveNothing();
    void hugeHeaderAllocatesNothing();
    void onlyRegularFilesAreOpened();
    void allocationLimitRefusesFullDecodeOnly_data();
    void allocationLimitRefusesFullDecodeOnly();
    void concurrentCallsAgree();
    void encodePngRoundTrips();
    void highDensityNamesDecodeInPixels();

private:
    QString write(const QString &name, const QByteArray &bytes);

    QTemporaryDir m_dir;
    int m_savedLimit = 0;
    const ImageServices &m_images = ImageServices::system();
};

QString TestImageServices::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    if (!TestSupport::writeFile(path, bytes))
        return {};
    return path;
}

void TestImageServices::init()
{
    QVERIFY(m_dir.isValid());
    m_savedLimit = QImageReader::allocationLimit();
    ImageServices::applyAllocationLimit();
}

void TestImageServices::cleanup()
{
    QImageReader::setAllocationLimit(m_savedLimit);
}

void TestImageServices::pixelSizeIsStoredSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("expected");

    const QImage image = markedImage(QSize(64, 30));
    QTest::newRow("png") << "a.png" << encodeWithQt(image, "png") << QSize(64, 30);
    QTest::newRow("jpeg") << "a.jpg" << encodeWithQt(image, "jpeg") << QSize(64, 30);
    QTest::newRow("tiff") << "a.tiff" << encodeWithQt(image, "tiff") << QSize(64, 30);
    QTest::newRow("webp") << "a.webp" << encodeWithQt(image, "webp") << QSize(64, 30);
    QTest::newRow("heic") << "a.heic" << encodeHeic(image) << QSize(64, 30);
    // Orientation does not change the stored size.
    QTest::newRow("jpeg turned by exif")
        << "turned.jpg" << withExifOrientation(encodeWithQt(image, "jpeg"), 6) << QSize(64, 30);
    // libheif reports HEIC sizes with the item's rotation already applied.
    QTest::newRow("heic turned by irot")
        << "turned.heic" << encodeHeic(image, heif_orientation_rotate_90_cw) << QSize(30, 64);
    // The content decides, not the name.
    QTest::newRow("png named jpg") << "png.jpg" << encodeWithQt(image, "png") << QSize(64, 30);
    QTest::newRow("png without extension") << "noext" << encodeWithQt(image, "png") << QSize(64, 30);
    // Bytes after the end of the image are tolerated, however many.
    QTest::newRow("jpeg with short trailer")
        << "trailer.jpg" << encodeWithQt(image, "jpeg") + QByteArray(100, '\0') << QSize(64, 30);
    QTest::newRow("jpeg with long trailer")
        << "video.jpg" << encodeWithQt(image, "jpeg") + QByteArray(200 * 1024, 'v') << QSize(64, 30);
    QTest::newRow("png with trailer")
        << "trailer.png" << encodeWithQt(image, "png") + QByteArray(16, '\0') << QSize(64, 30);
}

void TestImageServices::pixelSizeIsStoredSize()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, expected);
    if (bytes.isEmpty())
        QSKIP("This system's libheif has no HEVC encoder to make a HEIC file with");
    const QString path = write(name, bytes);
    QCOMPARE(m_images.pixelSize(path).value_or(QSize()), expected);
}

void TestImageServices::orientationIsApplied_data()
{
    QTest::addColumn<QByteArray>("bytes");

    // Stored 40x20 with the mark top-left; turned a quarter clockwise it is 20x40, mark top-right.
    const QImage stored = markedImage(QSize(40, 20));
    QTest::newRow("jpeg exif 6") << withExifOrientation(encodeWithQt(stored, "jpeg"), 6);
    QTest::newRow("tiff orientation tag")
        << encodeWithQt(stored, "tiff", QImageIOHandler::TransformationRotate90);
    QTest::newRow("heic irot") << encodeHeic(stored, heif_orientation_rotate_90_cw);
}

void TestImageServices::orientationIsApplied()
{
    QFETCH(QByteArray, bytes);
    if (bytes.isEmpty())
        QSKIP("This system's libheif has no HEVC encoder to make a HEIC file with");
    const QString path = write(QStringLiteral("turned"), bytes);

    const std::optional<QImage> full = m_images.decodeFirstImage(path);
    QVERIFY(full);
    QCOMPARE(full->size(), QSize(20, 40));
    QVERIFY(isMark(full->pixel(15, 4)));
    QVERIFY(isField(full->pixel(4, 4)));
    QVERIFY(isField(full->pixel(15, 35)));

    // Scaled in stored coordinates, then turned: the bound applies to the upright image.
    const std::optional<QImage> small = m_images.downscaledImage(path, 20);
    QVERIFY(small);
    QCOMPARE(small->size(), QSize(10, 20));
    QVERIFY(isMark(small->pixel(7, 2)));
    QVERIFY(isField(small->pixel(2, 2)));
    QVERIFY(isField(small->pixel(7, 17)));
}

void TestImageServices::downscaleKeepsAspectAndNeverEnlarges_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("maxPixelSize");
    QTest::addColumn<QSize>("expected");

    for (const char *format : {"png", "jpeg", "tiff", "webp", "heic"}) {
        const QString f = QLatin1String(format);
        QTest::addRow("%s wide", format) << f << QSize(400, 100) << 100 << QSize(100, 25);
        QTest::addRow("%s tall", format) << f << QSize(100, 400) << 80 << QSize(20, 80);
        QTest::addRow("%s already small", format) << f << QSize(60, 40) << 100 << QSize(60, 40);
        QTest::addRow("%s exactly the bound", format) << f << QSize(100, 60) << 100 << QSize(100, 60);
    }
}

void TestImageServices::downscaleKeepsAspectAndNeverEnlarges()
{
    QFETCH(QString, format);
    QFETCH(QSize, size);
    QFETCH(int, maxPixelSize);
    QFETCH(QSize, expected);
    const QByteArray bytes = encodeIn(format, markedImage(size, std::min(size.width(), size.height()) / 2));
    if (bytes.isEmpty())
        QSKIP("This system's libheif has no HEVC encoder to make a HEIC file with");
    const QString path = write(QStringLiteral("scaled.") + format, bytes);

    const std::optional<QImage> image = m_images.downscaledImage(path, maxPixelSize);
    QVERIFY(image);
    QCOMPARE(image->size(), expected);
    QVERIFY(isMark(image->pixel(1, 1)));
    QVERIFY(isField(image->pixel(image->width() - 2, image->height() - 2)));
}

void TestImageServices::unreadableFilesGiveNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QByteArray noise(4096, '\0');
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);

    QTest::newRow("empty") << "empty.png" << QByteArray();
    QTest::newRow("random bytes named png") << "noise.png" << noise;
    QTest::newRow("text") << "notes.jpg" << QByteArray("just some words\n");
    QTest::newRow("png signature only") << "sig.png" << QByteArray("\x89PNG\r\n\x1a\n", 8);

    // Large enough that every format spreads over many bytes, then cut in the middle.
    const QImage image = TestSupport::drawTextImage(QSize(320, 200), {QStringLiteral("Cut short")});
    for (const char *format : {"png", "jpeg", "tiff", "webp", "heic"}) {
        const QByteArray whole = encodeIn(QLatin1String(format), image);
        if (whole.isEmpty())
            continue; // no HEIC encoder; the readable cases already report the skip
        QTest::addRow("%s cut in half", format) << QStringLiteral("half.%1").arg(format) << whole.left(whole.size() / 2);
        QTest::addRow("%s missing its last bytes", format)
            << QStringLiteral("short.%1").arg(format) << whole.left(whole.size() - 3);
    }
}

void TestImageServices::unreadableFilesGiveNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = write(name, bytes);
    QVERIFY(!path.isEmpty());

    QVERIFY(!m_images.pixelSize(path));
    QVERIFY(!m_images.decodeFirstImage(path));
    QVERIFY(!m_images.downscaledImage(path, 64));
}

void TestImageServices::hugeHeaderAllocatesNothing()
{
    // The header is all pixelSize reads, so it reports what the header says; decoding the
    // 1.6 GB it announces is refused before anything is allocated.
    const QString path = write(QStringLiteral("huge.png"), hugePngHeader(20000, 20000));
    QCOMPARE(m_images.pixelSize(path).value_or(QSize()), QSize(20000, 20000));
    QVERIFY(!m_images.decodeFirstImage(path));
    // A thumbnail is small enough to attempt, but the pixel data is missing.
    QVERIFY(!m_images.downscaledImage(path, 256));
}

void TestImageServices::onlyRegularFilesAreOpened()
{
    // A FIFO would block the opening thread until a writer appears.
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.png"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!m_images.pixelSize(fifo));
    QVERIFY(!m_images.decodeFirstImage(fifo));
    QVERIFY(!m_images.downscaledImage(fifo, 64));

    const QString folder = m_dir.filePath(QStringLiteral("folder.png"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(!m_images.pixelSize(folder));
    QVERIFY(!m_images.pixelSize(m_dir.filePath(QStringLiteral("missing.png"))));
}

void TestImageServices::allocationLimitRefusesFullDecodeOnly_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("thumbnailExpected");

    // JPEG and PNG decode straight to the small size; WebP and TIFF would need the full image.
    QTest::newRow("jpeg") << "jpeg" << true;
    QTest::newRow("png") << "png" << true;
    QTest::newRow("webp") << "webp" << false;
    QTest::newRow("tiff") << "tiff" << false;
    QTest::newRow("heic") << "heic" << false;
}

void TestImageServices::allocationLimitRefusesFullDecodeOnly()
{
    QFETCH(QString, format);
    QFETCH(bool, thumbnailExpected);
    const QByteArray bytes = encodeIn(format, markedImage(QSize(800, 600), 300)); // 1.9 MB decoded
    if (bytes.isEmpty())
        QSKIP("This system's libheif has no HEVC encoder to make a HEIC file with");
    const QString path = write(QStringLiteral("large.") + format, bytes);

    QImageReader::setAllocationLimit(1);
    QCOMPARE(m_images.pixelSize(path).value_or(QSize()), QSize(800, 600));
    QVERIFY(!m_images.decodeFirstImage(path));
    const std::optional<QImage> thumbnail = m_images.downscaledImage(path, 200);
    QCOMPARE(thumbnail.has_value(), thumbnailExpected);
    if (thumbnail)
        QCOMPARE(thumbnail->size(), QSize(200, 150));

    ImageServices::applyAllocationLimit();
    const std::optional<QImage> full = m_images.decodeFirstImage(path);
    QVERIFY(full);
    QCOMPARE(full->size(), QSize(800, 600));
}

void TestImageServices::concurrentCallsAgree()
{
    QStringList paths;
    for (const char *format : {"png", "jpeg", "tiff", "webp", "heic"}) {
        const QByteArray bytes = encodeIn(QLatin1String(format), markedImage(QSize(300, 200)));
        if (!bytes.isEmpty())
            paths.append(write(QStringLiteral("many.") + QLatin1String(format), bytes));
    }
    std::vector<std::future<bool>> results;
    for (int round = 0; round < 4; ++round) {
        for (const QString &path : std::as_const(paths)) {
            results.push_back(std::async(std::launch::async, [this, path] {
                const std::optional<QImage> image = m_images.downscaledImage(path, 150);
                return image && image->size() == QSize(150, 100)
                       && m_images.pixelSize(path) == QSize(300, 200);
            }));
        }
    }
    for (std::future<bool> &result : results)
        QVERIFY(result.get());
}

void TestImageServices::encodePngRoundTrips()
{
    QImage image(33, 17, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(QRect(3, 2, 10, 5), QColor(10, 200, 30, 128));

    const std::optional<QByteArray> bytes = ImageServices::encodePng(image);
    QVERIFY(bytes);
    QVERIFY(bytes->startsWith("\x89PNG\r\n\x1a\n"));
    QImage decoded;
    QVERIFY(decoded.loadFromData(*bytes, "png"));
    QCOMPARE(decoded.convertToFormat(QImage::Format_ARGB32), image);

    // The bytes are a complete file the readers accept again.
    const QString path = write(QStringLiteral("encoded.png"), *bytes);
    QCOMPARE(m_images.pixelSize(path).value_or(QSize()), QSize(33, 17));

    QVERIFY(!ImageServices::encodePng(QImage()));
}

void TestImageServices::highDensityNamesDecodeInPixels()
{
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QString path = m_dir.filePath(QStringLiteral("window@2x.png"));
    QVERIFY(TestSupport::writeImage(path, image, "png"));

    // Painting must not halve a "@2x" file: every result is plain pixels.
    const std::optional<QImage> full = m_images.decodeFirstImage(path);
    QVERIFY(full);
    QCOMPARE(full->devicePixelRatio(), 1.0);
    const std::optional<QImage> small = m_images.downscaledImage(path, 16);
    QVERIFY(small);
    QCOMPARE(small->devicePixelRatio(), 1.0);
    QCOMPARE(small->size(), QSize(16, 8));
}

QTEST_MAIN(TestImageServices)
#include "tst_imageservices.moc"
