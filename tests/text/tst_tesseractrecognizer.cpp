#include "TestSupport.h"

#include "platform/ImageServices.h"
#include "text/TesseractRecognizer.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <tesseract/baseapi.h>

#include <sys/resource.h>

#include <optional>

namespace {

QImage whiteCanvas(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

void drawText(QImage &image, QPoint baseline, const QString &text, int pixelSize = 32)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor(20, 20, 24));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.drawText(baseline, text);
}

QByteArray jpegBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(95);
    return writer.write(image) ? bytes : QByteArray();
}

// A minimal APP1 Exif segment holding only the orientation, placed right after SOI.
QByteArray withExifOrientation(const QByteArray &jpeg, quint16 orientation)
{
    QByteArray exif = QByteArrayLiteral("Exif\0\0MM\0\x2A\0\0\0\x08" "\0\x01" "\x01\x12\0\x03\0\0\0\x01");
    exif.append(char(orientation >> 8)).append(char(orientation & 0xFF)).append(2, '\0');
    exif.append(4, '\0'); // no next directory
    QByteArray segment("\xFF\xE1", 2);
    const quint16 length = quint16(exif.size() + 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append(exif);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    const QByteArray body = QByteArray(type, 4) + data;
    chunk.append(body);
    // CRC-32 as PNG defines it (reflected, 0xEDB88320).
    quint32 crc = 0xFFFFFFFFu;
    for (char c : body) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    QByteArray tail(4, '\0');
    qToBigEndian<quint32>(crc ^ 0xFFFFFFFFu, tail.data());
    return chunk + tail;
}

// A valid PNG signature and header claiming the given size, with no pixel data.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(width, ihdr.data());
    qToBigEndian<quint32>(height, ihdr.data() + 4);
    ihdr[8] = 8; // bit depth
    ihdr[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IEND", {});
}

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Decodes through the system, then asks to stop, as a caller cancelling mid-way would.
class StoppingImageServices final : public ImageServices
{
public:
    explicit StoppingImageServices(std::stop_source source) : m_source(std::move(source)) {}
    std::optional<QSize> pixelSize(const QString &path) const override
    {
        return ImageServices::system().pixelSize(path);
    }
    std::optional<QImage> decodeFirstImage(const QString &path) const override
    {
        return ImageServices::system().decodeFirstImage(path);
    }
    std::optional<QImage> downscaledImage(const QString &path, int maxPixelSize) const override
    {
        auto image = ImageServices::system().downscaledImage(path, maxPixelSize);
        m_source.request_stop();
        return image;
    }

private:
    mutable std::stop_source m_source;
};

} // namespace

class TestTesseractRecognizer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readingOrderInterleavesColumns();
    void imageWithoutTextIsEmptySuccess();
    void transparentImagesReadOnWhite_data();
    void transparentImagesReadOnWhite();
    void undecodableFilesFail_data();
    void undecodableFilesFail();
    void orientationTagIsApplied_data();
    void orientationTagIsApplied();
    void arabicLineIsRecognised();
    void languageFolderDecidesCapabilities();
    void emptyLanguageFolder();
    void cancellationBeforeTheEngine();
    void deadlineFailsAndEngineStaysUsable();

private:
    QString write(const QString &name, const QImage &image);
    QString recognizeOk(TesseractRecognizer &recognizer, const QString &path);

    QTemporaryDir m_dir;
    std::optional<TesseractRecognizer> m_recognizer;
    TextRecognitionCapabilities m_capabilities;
};

QString TestTesseractRecognizer::write(const QString &name, const QImage &image)
{
    const QString path = m_dir.filePath(name);
    if (!TestSupport::writeImage(path, image, "png"))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString TestTesseractRecognizer::recognizeOk(TesseractRecognizer &recognizer, const QString &path)
{
    const auto result = recognizer.recognize(path, m_capabilities);
    if (const auto *error = std::get_if<TextRecognitionError>(&result)) {
        qWarning("recognition failed with %d", int(*error));
        return QStringLiteral("<failed>");
    }
    return std::get<QString>(result);
}

void TestTesseractRecognizer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    ImageServices::applyAllocationLimit();
    m_recognizer.emplace();
    const auto capabilities = m_recognizer->capabilities();
    QVERIFY(std::holds_alternative<TextRecognitionCapabilities>(capabilities));
    m_capabilities = std::get<TextRecognitionCapabilities>(capabilities);
    if (!m_capabilities.languages.contains(QStringLiteral("en-US")))
        QSKIP("English language data (tesseract-ocr-eng) is not installed");
}

void TestTesseractRecognizer::readingOrderInterleavesColumns()
{
    // Two blocks of text side by side, far enough apart to be columns, their rows at the same
    // heights. Capitals and digits only, so facing rows have exactly the same vertical extent.
    const QStringList words{QStringLiteral("ALPHA"), QStringLiteral("BRAVO"), QStringLiteral("CHARLIE"),
                            QStringLiteral("DELTA"), QStringLiteral("ECHO"), QStringLiteral("FOXTROT"),
                            QStringLiteral("GOLF"), QStringLiteral("HOTEL")};
    QImage image = whiteCanvas(QSize(1400, 80 + int(words.size()) * 60));
    QStringList expected;
    for (int row = 0; row < words.size(); ++row) {
        const QString left = QStringLiteral("%1 NORTH %2").arg(words[row]).arg(row + 10);
        const QString right = QStringLiteral("%1 SOUTH %2").arg(words[row]).arg(row + 50);
        drawText(image, QPoint(40, 70 + row * 60), left);
        drawText(image, QPoint(820, 70 + row * 60), right);
        expected << left << right;
    }
    QCOMPARE(recognizeOk(*m_recognizer, write(QStringLiteral("columns.png"), image)),
             expected.join(QLatin1Char('\n')));
}

void TestTesseractRecognizer::imageWithoutTextIsEmptySuccess()
{
    QImage image(QSize(800, 500), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, 800, 60), QColor(230, 232, 236));
    painter.fillRect(QRect(60, 140, 680, 300), QColor(120, 160, 220, 90));
    painter.end();
    QCOMPARE(recognizeOk(*m_recognizer, write(QStringLiteral("blank.png"), image)), QString());
}

void TestTesseractRecognizer::transparentImagesReadOnWhite_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain name") << "window.png";
    // Qt's reader gives such names a device pixel ratio of 2; the pixels must stay as they are.
    QTest::newRow("@2x name") << "window@2x.png";
}

void TestTesseractRecognizer::transparentImagesReadOnWhite()
{
    QFETCH(QString, name);
    QImage image(QSize(900, 240), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    // Small enough that a picture shrunk to half its size would no longer read.
    drawText(image, QPoint(40, 90), QStringLiteral("Transparent window title"), 16);
    drawText(image, QPoint(40, 180), QStringLiteral("Second line here"), 16);
    QCOMPARE(recognizeOk(*m_recognizer, write(name, image)),
             QStringLiteral("Transparent window title\nSecond line here"));
}

void TestTesseractRecognizer::undecodableFilesFail_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        const QImage image = TestSupport::drawTextImage(QSize(900, 400), {QStringLiteral("Cut short")});
        QVERIFY(image.save(&buffer, "png"));
    }
    const QByteArray jpeg = jpegBytes(TestSupport::drawTextImage(QSize(900, 400), {QStringLiteral("Cut short")}));
    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator generator(7);
    for (char &c : noise)
        c = char(generator.bounded(256));

    QTest::newRow("empty png") << "empty.png" << QByteArray();
    QTest::newRow("random bytes named png") << "noise.png" << noise;
    QTest::newRow("text file") << "notes.png" << QByteArray("just some words\n");
    QTest::newRow("truncated png") << "truncated.png" << png.left(png.size() / 2);
    QTest::newRow("truncated jpeg") << "truncated.jpg" << jpeg.left(jpeg.size() / 2);
    QTest::newRow("20000x20000 header only") << "huge.png" << pngHeaderOnly(20000, 20000);
}

void TestTesseractRecognizer::undecodableFilesFail()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(name);
    QVERIFY(TestSupport::writeFile(path, bytes));

    const long peakBefore = peakResidentKiB();
    const auto result = m_recognizer->recognize(path, m_capabilities);
    QVERIFY(std::holds_alternative<TextRecognitionError>(result));
    QCOMPARE(std::get<TextRecognitionError>(result), TextRecognitionError::unreadableImage);
    // A claimed size must never turn into a matching allocation.
    QVERIFY2(peakResidentKiB() - peakBefore < 300 * 1024, "peak memory grew by more than 300 MB");
}

void TestTesseractRecognizer::orientationTagIsApplied_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("storedRotation"); // clockwise degrees applied to the upright picture

    QTest::newRow("6: turn clockwise to view") << 6 << -90;
    QTest::newRow("8: turn anticlockwise to view") << 8 << 90;
}

void TestTesseractRecognizer::orientationTagIsApplied()
{
    QFETCH(int, orientation);
    QFETCH(int, storedRotation);

    QImage upright = whiteCanvas(QSize(900, 260));
    drawText(upright, QPoint(40, 90), QStringLiteral("Rotated receipt total"), 40);
    drawText(upright, QPoint(40, 180), QStringLiteral("Paid in full"), 40);
    const QImage stored = upright.transformed(QTransform().rotate(storedRotation));
    QCOMPARE(stored.size(), upright.size().transposed());

    const QString path = m_dir.filePath(QStringLiteral("rotated-%1.jpg").arg(orientation));
    QVERIFY(TestSupport::writeFile(path, withExifOrientation(jpegBytes(stored), quint16(orientation))));
    QCOMPARE(recognizeOk(*m_recognizer, path), QStringLiteral("Rotated receipt total\nPaid in full"));
}

void TestTesseractRecognizer::arabicLineIsRecognised()
{
    if (!m_capabilities.supportsArabic())
        QSKIP("Arabic language data (tesseract-ocr-ara) is not installed");

    const QString arabic = QStringLiteral(u"\u0645\u0631\u062D\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645");
    QImage image = whiteCanvas(QSize(900, 300));
    drawText(image, QPoint(60, 90), QStringLiteral("Hello world"), 40);
    drawText(image, QPoint(60, 200), arabic, 48);
    const QString text = recognizeOk(*m_recognizer, write(QStringLiteral("arabic.png"), image));

    QVERIFY2(!text.contains(QChar(0x200E)) && !text.contains(QChar(0x200F)), qPrintable(text));
    QCOMPARE(text, QStringLiteral("Hello world\n") + arabic);
}

void TestTesseractRecognizer::languageFolderDecidesCapabilities()
{
    const QString installed = TesseractRecognizer::defaultLanguageDataFolder();
    const QString english = installed + QStringLiteral("/eng.traineddata");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QFile::link(english, folder.filePath(QStringLiteral("eng.traineddata"))));

    TesseractRecognizer recognizer(folder.path());
    const auto result = recognizer.capabilities();
    QVERIFY(std::holds_alternative<TextRecognitionCapabilities>(result));
    const auto capabilities = std::get<TextRecognitionCapabilities>(result);

    QFile file(english);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray digest = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    QCOMPARE(capabilities.languages, QStringList{QStringLiteral("en-US")});
    QCOMPARE(capabilities.identifier,
             QStringLiteral("tesseract-%1-%2-en-US-v2")
                 .arg(QString::fromLatin1(tesseract::TessBaseAPI::Version()),
                      QString::fromLatin1(digest.toHex().left(16))));
    QVERIFY(!capabilities.supportsArabic());
    QCOMPARE(capabilities.description(),
             QStringLiteral(u"English \u00B7 Arabic recognition isn\u2019t installed on this system"));

    if (m_capabilities.supportsArabic()) {
        QVERIFY(m_capabilities.identifier != capabilities.identifier);
        QVERIFY(m_capabilities.identifier.endsWith(QStringLiteral("-en-US,ar-SA-v2")));
        QCOMPARE(m_capabilities.description(), QStringLiteral(u"English & Arabic \u00B7 On this computer"));
    }

    // Recognition follows the folder, too.
    QImage image = whiteCanvas(QSize(700, 140));
    drawText(image, QPoint(40, 90), QStringLiteral("English only"), 40);
    const auto text = recognizer.recognize(write(QStringLiteral("english.png"), image), capabilities);
    QCOMPARE(std::get<QString>(text), QStringLiteral("English only"));
}

void TestTesseractRecognizer::emptyLanguageFolder()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    TesseractRecognizer recognizer(folder.path());
    const auto result = recognizer.capabilities();
    QVERIFY(std::holds_alternative<TextRecognitionCapabilities>(result));
    const auto capabilities = std::get<TextRecognitionCapabilities>(result);
    QVERIFY(capabilities.languages.isEmpty());
    QVERIFY(capabilities.identifier.endsWith(QStringLiteral("--v2")));

    // Nothing to read with: an engine failure, not an unreadable image or empty text.
    QImage image = whiteCanvas(QSize(500, 120));
    drawText(image, QPoint(30, 80), QStringLiteral("Nothing"));
    const auto text = recognizer.recognize(write(QStringLiteral("nolanguage.png"), image), capabilities);
    QVERIFY(std::holds_alternative<TextRecognitionError>(text));
    QCOMPARE(std::get<TextRecognitionError>(text), TextRecognitionError::engineFailure);
}

void TestTesseractRecognizer::cancellationBeforeTheEngine()
{
    QImage image = whiteCanvas(QSize(600, 140));
    drawText(image, QPoint(30, 90), QStringLiteral("Never read"));
    const QString path = write(QStringLiteral("cancel.png"), image);

    std::stop_source before;
    before.request_stop();
    auto result = m_recognizer->recognize(path, m_capabilities, before.get_token());
    QCOMPARE(std::get<TextRecognitionError>(result), TextRecognitionError::cancelled);

    // Stopped while the file was being decoded: caught before the engine starts.
    std::stop_source during;
    const StoppingImageServices stopping(during);
    TesseractRecognizer recognizer({}, stopping);
    result = recognizer.recognize(path, m_capabilities, during.get_token());
    QCOMPARE(std::get<TextRecognitionError>(result), TextRecognitionError::cancelled);

    // A cancelled call leaves the recogniser as it was.
    QCOMPARE(recognizeOk(*m_recognizer, path), QStringLiteral("Never read"));
}

void TestTesseractRecognizer::deadlineFailsAndEngineStaysUsable()
{
    QImage image = whiteCanvas(QSize(900, 500));
    for (int row = 0; row < 6; ++row)
        drawText(image, QPoint(30, 60 + row * 70), QStringLiteral("Line %1 of a busy page").arg(row + 1));
    TesseractRecognizer recognizer({}, ImageServices::system(), std::chrono::milliseconds(1));
    auto result = recognizer.recognize(write(QStringLiteral("slow.png"), image), m_capabilities);
    QCOMPARE(std::get<TextRecognitionError>(result), TextRecognitionError::engineFailure);

    // The engine survives giving up: an image without words finishes before any deadline check.
    result = recognizer.recognize(write(QStringLiteral("white.png"), whiteCanvas(QSize(400, 300))), m_capabilities);
    QCOMPARE(std::get<QString>(result), QString());
}

QTEST_MAIN(TestTesseractRecognizer)
#include "tst_tesseractrecognizer.moc"
