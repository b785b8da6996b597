#include "FakeImages.h"
#include "ImageBytes.h"
#include "SystemImages.h"
#include "TallCapture.h"
#include "TestSupport.h"

#include "platform/ImageServices.h"
#include "platform/ProgramModule.h"
#include "core/ScreenshotTextSearch.h"
#include "text/TesseractRecognizer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <tesseract/baseapi.h>

namespace {

void drawText(QImage &image, QPoint baseline, const QString &text, int pixelSize = 32)
{
    QPainter painter(&image);
    painter.setPen(QColor(20, 20, 24));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.drawText(baseline, text);
}

QImage textImage(const QStringList &lines) { return TestSupport::drawTextImage(QSize(900, 260), lines, 30); }

// Points TESSDATA_PREFIX, the engine's own search path, at the folder until the guard goes.
auto languageDataPrefix(const QString &folder)
{
    const std::optional<QByteArray> old =
        qEnvironmentVariableIsSet("TESSDATA_PREFIX") ? std::optional(qgetenv("TESSDATA_PREFIX")) : std::nullopt;
    qputenv("TESSDATA_PREFIX", QFile::encodeName(folder));
    return qScopeGuard([old] { old ? qputenv("TESSDATA_PREFIX", *old) : qunsetenv("TESSDATA_PREFIX"); });
}

} // namespace

class TestTesseractRecognizer final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ImageServices::applyAllocationLimit();
        m_recognizer.emplace(QString(), systemImages());
        // English and Arabic, whatever the locale of the run.
        m_recognizer->setUserLanguages({});
        const auto capabilities = m_recognizer->capabilities();
        QVERIFY(std::holds_alternative<TextRecognitionCapabilities>(capabilities));
        m_capabilities = std::get<TextRecognitionCapabilities>(capabilities);
        if (!m_capabilities.languages.contains(QStringLiteral("en-US")))
            QSKIP("English language data (tesseract-ocr-eng) is not installed");
    }

    void readsTextAsDisplayed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        // Two columns whose rows sit at the same heights; capitals and digits only, so facing
        // rows have exactly the same vertical extent. Lines are read across, row by row.
        const QStringList words{"ALPHA", "BRAVO", "CHARLIE", "DELTA", "ECHO", "FOXTROT", "GOLF", "HOTEL"};
        QImage columns(QSize(1400, 80 + int(words.size()) * 60), QImage::Format_RGB32);
        columns.fill(Qt::white);
        QStringList rows;
        for (int row = 0; row < words.size(); ++row) {
            rows << QStringLiteral("%1 NORTH %2").arg(words[row]).arg(row + 10)
                 << QStringLiteral("%1 SOUTH %2").arg(words[row]).arg(row + 50);
            drawText(columns, QPoint(40, 70 + row * 60), rows[rows.size() - 2]);
            drawText(columns, QPoint(820, 70 + row * 60), rows.last());
        }
        QTest::newRow("two columns interleaved") << "columns.png" << TestSupport::encodeImage(columns, "png") << rows.join('\n');
        // Small text on a transparent window: read on white, at full size.
        const auto window = [](const QStringList &lines) {
            QImage image(QSize(900, 240), QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QPainter(&image).fillRect(QRect(60, 20, 780, 200), QColor(120, 160, 220, 60));
            for (int i = 0; i < lines.size(); ++i)
                drawText(image, QPoint(40, 90 + 90 * i), lines[i], 16);
            return TestSupport::encodeImage(image, "png");
        };
        QTest::newRow("no text") << "blank.png" << window({}) << QString();
        QTest::newRow("transparent") << "window.png" << window({"Transparent window title", "Second line here"})
                                     << "Transparent window title\nSecond line here";
        // Qt's reader gives such names a device pixel ratio of 2; the pixels must stay as they are.
        QTest::newRow("@2x name") << "window@2x.png" << window({"Transparent window title", "Second line"})
                                  << "Transparent window title\nSecond line";
        const QImage upright = textImage({"Rotated receipt total", "Paid in full"});
        for (const auto &[orientation, storedRotation] : {std::pair{6, -90}, std::pair{8, 90}}) {
            const QByteArray jpeg = TestSupport::encodeImage(upright.transformed(QTransform().rotate(storedRotation)), "jpg", 95);
            QTest::addRow("orientation %d", orientation) << QStringLiteral("rotated-%1.jpg").arg(orientation)
                << ImageBytes::withExifOrientation(jpeg, char(orientation)) << "Rotated receipt total\nPaid in full";
        }
        const QString arabic = QStringLiteral(u"\u0645\u0631\u062D\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645");
        for (const int scale : {1, 2}) {
            QImage mixed(QSize(900, 300) * scale, QImage::Format_RGB32);
            mixed.fill(Qt::white);
            drawText(mixed, QPoint(60, 90) * scale, QStringLiteral("Hello world"), 40 * scale);
            drawText(mixed, QPoint(60, 200) * scale, arabic, 48 * scale);
            // Exactly the text: no direction marks around the Arabic line. At twice the size its
            // strokes are as wide as a background area.
            QTest::addRow("arabic line at %d00 %%", scale) << QStringLiteral("arabic-%1x.png").arg(scale)
                                                         << TestSupport::encodeImage(mixed, "png") << "Hello world\n" + arabic;
        }
    }

    void readsTextAsDisplayed()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        if (name.startsWith("arabic") && !m_capabilities.supportsArabic())
            QSKIP("Arabic language data (tesseract-ocr-ara) is not installed");
        const QString path = m_dir.filePath(name);
        QVERIFY(TestSupport::writeFile(path, bytes));
        QCOMPARE(recognizeOk(*m_recognizer, path), expected);
    }

    void undecodableFilesFail_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray png = TestSupport::encodeImage(textImage({"Cut short"}), "png");
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QTest::newRow("empty png") << "empty.png" << QByteArray();
        QTest::newRow("random bytes named png") << "noise.png" << noise;
        QTest::newRow("truncated png") << "truncated.png" << png.left(png.size() / 2);
        QTest::newRow("20000x20000 header only") << "huge.png" << ImageBytes::pngHeader(20000, 20000) + ImageBytes::pngChunk("IEND", {});
    }

    void undecodableFilesFail()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(name);
        QVERIFY(TestSupport::writeFile(path, bytes));
        const qint64 peakBefore = TestSupport::peakResidentMegabytes();
        QCOMPARE(m_recognizer->recognize(path, m_capabilities),
                 ScreenshotTextRecognizing::TextResult(TextRecognitionError::unreadableImage));
        // A claimed size must never turn into a matching allocation.
        QVERIFY2(TestSupport::peakResidentMegabytes() - peakBefore < 300, "peak memory grew by more than 300 MB");
    }

    // The installed English data under its own name, or under the user's language's: the
    // capabilities name what the folder holds, known without the engine, and the first
    // recognition starts the engine with that language's data.
    void languageFolderDecidesCapabilities_data()
    {
        QTest::addColumn<QString>("code"); // the file's name and the user's language; "eng": none
        QTest::addColumn<QString>("tag");
        QTest::newRow("English") << "eng" << "en-US";
        QTest::newRow("the user's language alone") << "deu" << "de";
    }
    void languageFolderDecidesCapabilities()
    {
        QFETCH(QString, code);
        QFETCH(QString, tag);
        const QString english = englishData();
        QTemporaryDir folder;
        QVERIFY(QFile::link(english, folder.filePath(code + u".traineddata"_qs)));
        TesseractRecognizer recognizer(folder.path(), systemImages());
        recognizer.setUserLanguages(code == u"eng"_qs ? QList<RecognitionLanguage>()
                                                       : QList{*RecognitionLanguages::forCode(code)});
        const auto capabilities = std::get<TextRecognitionCapabilities>(recognizer.capabilities());
        QCOMPARE(capabilities.languages, QStringList{tag});
        // The identifier follows the engine version, the data's content and the way images are
        // prepared, so the cache does too.
        QFile file(english);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray digest = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex().left(16);
        QCOMPARE(capabilities.identifier, u"tesseract-"_qs + tesseract::TessBaseAPI::Version() + '-' + digest + '-' + tag + "-v4");
        QVERIFY(!recognizer.hasEngine());
        const QString path = write(code + u".png"_qs, textImage({"Read all the same"}));
        QCOMPARE(recognizeOk(recognizer, path, capabilities), u"Read all the same"_qs);
        QVERIFY(recognizer.hasEngine());
    }

    void userLanguagesJoinWhenInstalled_data()
    {
        QTest::addColumn<QStringList>("files"); // codes; "-" before one: an empty file
        QTest::addColumn<QStringList>("user");  // the user's languages, by engine code
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QStringList>("missing");
        const QStringList both{"eng", "ara"};
        QTest::newRow("English and Arabic") << both << QStringList{} << QStringList{"en-US", "ar-SA"} << QStringList{};
        QTest::newRow("German missing") << both << QStringList{"deu"} << QStringList{"en-US", "ar-SA"} << QStringList{"de"};
        QTest::newRow("German installed") << both + QStringList{"deu"} << QStringList{"deu"}
                                          << QStringList{"en-US", "ar-SA", "de"} << QStringList{};
        QTest::newRow("in the user's order") << QStringList{"rus", "eng", "deu", "ara"} << QStringList{"rus", "deu"}
                                             << QStringList{"en-US", "ar-SA", "ru", "de"} << QStringList{};
        QTest::newRow("empty file is missing") << both + QStringList{"-deu"} << QStringList{"deu"}
                                               << QStringList{"en-US", "ar-SA"} << QStringList{"de"};
        QTest::newRow("other data is not read") << both + QStringList{"fra", "deu"} << QStringList{"rus", "deu"}
                                                << QStringList{"en-US", "ar-SA", "de"} << QStringList{"ru"};
        QTest::newRow("no English") << QStringList{"chi_sim"} << QStringList{"chi_sim", "ukr"}
                                    << QStringList{"zh-Hans"} << QStringList{"uk"};
    }

    void userLanguagesJoinWhenInstalled()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, user);
        QFETCH(QStringList, tags);
        QFETCH(QStringList, missing);
        // Known without the engine: the files need only exist, not hold real data.
        QTemporaryDir folder;
        for (const QString &file : files) {
            const bool empty = file.startsWith(u'-');
            const QString code = empty ? file.mid(1) : file;
            QVERIFY(TestSupport::writeFile(folder.filePath(code + ".traineddata"), empty ? QByteArray() : "data of " + code.toUtf8()));
        }
        QList<RecognitionLanguage> languages;
        for (const QString &code : user)
            languages.append(RecognitionLanguages::forCode(code).value());
        TesseractRecognizer recognizer(folder.path(), systemImages());
        recognizer.setUserLanguages(languages);
        const auto capabilities = std::get<TextRecognitionCapabilities>(recognizer.capabilities());
        QCOMPARE(capabilities.languages, tags);
        QCOMPARE(capabilities.missingLanguages, missing);
        QVERIFY(!recognizer.hasEngine());

        // The digest is of the files read, in that order; English and Arabic alone keep the
        // identifier text cached before any other language existed was filed under.
        QCryptographicHash digest(QCryptographicHash::Sha256);
        for (const QString &tag : tags)
            digest.addData("data of " + RecognitionLanguages::forTag(tag)->code.toUtf8());
        QCOMPARE(capabilities.identifier, "tesseract-" + TesseractRecognizer::engineVersion() + '-'
                                              + digest.result().toHex().left(16) + '-' + tags.join(u',') + "-v4");
    }

    void keptDigestStandsForUnchangedData()
    {
        QTemporaryDir data, cache;
        const QString english = data.filePath(QStringLiteral("eng.traineddata"));
        QVERIFY(QFile::copy(englishData(), english));
        const auto identifierWith = [&](bool update) {
            TesseractRecognizer recognizer(data.path(), systemImages());
            recognizer.keepDigestIn(cache.path(), update);
            return std::get<TextRecognitionCapabilities>(recognizer.capabilities()).identifier;
        };
        const QString read = std::get<TextRecognitionCapabilities>(TesseractRecognizer(data.path(), systemImages()).capabilities()).identifier;
        // Only a recogniser that may update the kept digest writes it.
        QCOMPARE(identifierWith(false), read);
        const QString kept = cache.filePath(QStringLiteral("language-data.sha256"));
        QVERIFY(!QFile::exists(kept));
        QCOMPARE(identifierWith(true), read);
        QVERIFY(QFile::exists(kept));

        // While the file is unchanged the kept digest is taken as it is: its content is not read.
        QByteArray bytes = TestSupport::readFile(kept);
        QVERIFY(TestSupport::writeFile(kept, QByteArray(16, '0') + bytes.mid(16)));
        QVERIFY(identifierWith(true).contains(QStringLiteral("-0000000000000000-en-US-")));
        // Changed data is read again, even at the same size and time.
        const QDateTime modified = QFileInfo(english).lastModified();
        QFile file(english);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() - 1) && file.write("\x01") == 1);
        file.close();
        TestSupport::setModificationTime(english, modified);
        const QString changed = identifierWith(true);
        QVERIFY(changed != read && !changed.contains(QStringLiteral("-0000000000000000-")));
        QCOMPARE(identifierWith(true), changed);
    }

    void missingOrBrokenModuleLeavesRecognitionUnavailable()
    {
        const QString path = write(QStringLiteral("no-module.png"), textImage({"No module"}));
        // Missing: known before anything is opened, as when the engine cannot start.
        QTemporaryDir missing;
        TesseractRecognizer without(QString(), systemImages(), std::chrono::seconds(30),
                                    TesseractRecognizer::distributionLanguageFolders(), {missing.path()});
        QCOMPARE(without.capabilities(), ScreenshotTextRecognizing::CapabilitiesResult(TextRecognitionError::engineFailure));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("libbrimfold-ocr.so.* is not installed")));
        QCOMPARE(without.recognize(path, m_capabilities), ScreenshotTextRecognizing::TextResult(TextRecognitionError::engineFailure));
        // Present but unusable: not a shared object, or another module without the factory. Each
        // read then fails as the engine's failure would.
        QTemporaryDir damaged, other;
        QVERIFY(TestSupport::writeFile(damaged.filePath(QStringLiteral("libbrimfold-ocr.so")), "not a shared object"));
        const QString heif = ProgramModule(QStringLiteral("libbrimfold-heif.so"), "none").path();
        QVERIFY(QFile::copy(heif, other.filePath(QStringLiteral("libbrimfold-ocr.so"))));
        const QStringList warnings{QStringLiteral("^cannot open .*libbrimfold-ocr.so"), QStringLiteral("has no .brimfold_create_text_engine")};
        for (const QString &folder : {damaged.path(), other.path()}) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warnings.at(folder == damaged.path() ? 0 : 1)));
            TesseractRecognizer broken(QString(), systemImages(), std::chrono::seconds(30),
                                       TesseractRecognizer::distributionLanguageFolders(), {folder});
            broken.setUserLanguages({});
            const auto capabilities = broken.capabilities();
            QCOMPARE(capabilities, ScreenshotTextRecognizing::CapabilitiesResult(m_capabilities));
            for (int attempt = 0; attempt < 2; ++attempt)
                QCOMPARE(broken.recognize(path, m_capabilities), ScreenshotTextRecognizing::TextResult(TextRecognitionError::engineFailure));
            QVERIFY(!broken.hasEngine());
        }
    }

    // The engine's own folder (TESSDATA_PREFIX) first; where it has no data, the first fallback
    // folder that has. With none, recognition fails before any image is decoded.
    void languageDataFolderIsSearchedFor_data()
    {
        QTest::addColumn<QString>("found"); // "engine", "fallback"; empty: nowhere
        QTest::addColumn<bool>("givenFolder"); // the empty engine folder given, rather than searched
        QTest::newRow("the engine's own folder") << "engine" << false;
        QTest::newRow("a fallback folder") << "fallback" << false;
        QTest::newRow("nowhere, folder given") << "" << true;
        QTest::newRow("nowhere, engine's search and fallbacks") << "" << false;
    }

    void languageDataFolderIsSearchedFor()
    {
        QFETCH(QString, found);
        QFETCH(bool, givenFolder);
        QTemporaryDir engineFolder, fallback;
        if (found == u"engine"_qs)
            QVERIFY(QFile::link(englishData(), engineFolder.filePath(QStringLiteral("eng.traineddata"))));
        if (!found.isEmpty())
            QVERIFY(QFile::link(englishData(), fallback.filePath(QStringLiteral("eng.traineddata"))));
        const auto prefix = languageDataPrefix(engineFolder.path());
        FakeImages counting;
        TesseractRecognizer recognizer(givenFolder ? engineFolder.path() : QString(),
                                       found.isEmpty() ? counting : systemImages(), std::chrono::seconds(30),
                                       {engineFolder.filePath(QStringLiteral("missing")), fallback.path()});
        const auto capabilities = std::get<TextRecognitionCapabilities>(recognizer.capabilities());
        if (found.isEmpty()) {
            QVERIFY(capabilities.languages.isEmpty() && capabilities.identifier.endsWith(QStringLiteral("--v4")));
            // An engine failure, not an unreadable image or empty text, and no image was decoded for it.
            const QString path = m_dir.filePath(QStringLiteral("never-decoded.png"));
            for (const TextRecognitionCapabilities &asked : {capabilities, m_capabilities})
                QCOMPARE(recognizer.recognize(path, asked),
                         ScreenshotTextRecognizing::TextResult(TextRecognitionError::engineFailure));
            QCOMPARE(counting.started(), 0);
            return;
        }
        QCOMPARE(capabilities.languages, QStringList{QStringLiteral("en-US")});
        QCOMPARE(recognizer.languageDataFolder(), QDir::cleanPath((found == u"engine"_qs ? engineFolder : fallback).path()));
        const QString path = write(QStringLiteral("found.png"), textImage({"Found elsewhere"}));
        QCOMPARE(recognizeOk(recognizer, path, capabilities), u"Found elsewhere"_qs);
    }

    void linesOnColouredAndDarkBandsAreRead()
    {
        if (!m_capabilities.supportsArabic())
            QSKIP("Arabic language data (tesseract-ocr-ara) is not installed");
        // A light window whose Arabic lines sit on a selected row (white on the accent colour) and
        // on a dark pane, at interface sizes: one threshold for the whole picture loses them.
        const QStringList english{QStringLiteral("Quarterly budget review"), QStringLiteral("Travel expenses before Friday")};
        const QString selected = QStringLiteral(u"لقطات الشاشة المشتركة");
        const QString pane = QStringLiteral(u"تم رفع الملف إلى المجلد");
        QImage image(QSize(760, 300), QImage::Format_RGB32);
        image.fill(QColor(250, 250, 252));
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(15);
        painter.setFont(font);
        painter.setPen(QColor(28, 28, 30));
        painter.drawText(QRect(30, 20, 700, 30), Qt::AlignVCenter | Qt::AlignLeft, english[0]);
        painter.setBrush(QColor(47, 111, 222));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRect(20, 70, 720, 40), 8, 8);
        painter.setPen(Qt::white);
        painter.drawText(QRect(36, 70, 688, 40), Qt::AlignVCenter | Qt::AlignRight, selected);
        painter.setPen(QColor(28, 28, 30));
        painter.drawText(QRect(30, 130, 700, 30), Qt::AlignVCenter | Qt::AlignLeft, english[1]);
        painter.fillRect(QRect(0, 190, 760, 110), QColor(30, 31, 35));
        painter.setPen(QColor(230, 230, 235));
        painter.drawText(QRect(30, 220, 700, 40), Qt::AlignVCenter | Qt::AlignRight, pane);
        painter.end();

        const QString text = recognizeOk(*m_recognizer, write(QStringLiteral("bands.png"), image));
        const QString found = ScreenshotTextSearch::normalize(text);
        for (const QString &line : QStringList{english[0], english[1], selected, pane}) {
            for (const QString &word : ScreenshotTextSearch::tokens(line))
                QVERIFY2(found.contains(word), qPrintable(word + u" missing from: "_qs + text));
        }
    }

    void tallCaptureIsReadWholeInOrderOnce()
    {
        // A scrolling capture far taller than the engine takes at once, at its own resolution:
        // shrunk to fit, its 28-px text would be 6 px high. The lines are far apart and at every
        // height, so some fall where the pieces it is read in overlap.
        const QStringList names{"Alder", "Birch", "Cedar", "Dogwood", "Elm", "Fir", "Ginkgo", "Hazel",
                                "Juniper", "Larch", "Maple", "Oak", "Pine", "Rowan", "Spruce", "Teak",
                                "Walnut", "Willow", "Yew", "Ash", "Beech", "Cherry", "Holly", "Linden"};
        QStringList lines;
        for (int i = 0; i < names.size(); ++i)
            lines << QStringLiteral("Section %1 describes the %2 project").arg(i + 1).arg(names[i]);
        const QSize size(2560, 20000);
        const int first = 300, pitch = 809, pixelSize = 28;
        const QString path = m_dir.filePath(QStringLiteral("long.png"));
        QVERIFY(TestSupport::writeFile(path, tallTextCapturePng(size, lines, pixelSize, first, pitch)));

        const auto result = m_recognizer->recognize(path, m_capabilities);
        const auto *read = std::get_if<RecognizedText>(&result);
        QVERIFY(read);
        QCOMPARE(read->text, lines.join('\n'));
        // Each word is placed in the whole capture, not in the piece it was read in.
        QList<QRectF> boxes;
        for (const TextWord &word : read->words) {
            if (word.text == u"Section"_qs)
                boxes.append(word.box);
        }
        QCOMPARE(boxes.size(), lines.size());
        for (int i = 0; i < boxes.size(); ++i) {
            const double middle = boxes[i].center().y() * size.height();
            const double capitalMiddle = first + i * pitch - pixelSize * 0.36;
            QVERIFY2(qAbs(middle - capitalMiddle) < 8, qPrintable(u"line %1 placed at row %2"_qs.arg(i).arg(middle)));
        }
    }

    // Neither a read stopped before it began nor a released engine leaves recognition unusable.
    void engineStaysUsableAfterStopAndRelease()
    {
        const QString path = write(QStringLiteral("again.png"), textImage({"Read once more"}));
        QCOMPARE(recognizeOk(*m_recognizer, path), QStringLiteral("Read once more"));
        std::stop_source stop;
        stop.request_stop();
        QCOMPARE(m_recognizer->recognize(path, m_capabilities, stop.get_token()),
                 ScreenshotTextRecognizing::TextResult(TextRecognitionError::cancelled));
        QCOMPARE(recognizeOk(*m_recognizer, path), QStringLiteral("Read once more"));
        QVERIFY(m_recognizer->hasEngine());
        m_recognizer->releaseResources();
        QVERIFY(!m_recognizer->hasEngine());
        QCOMPARE(recognizeOk(*m_recognizer, path), QStringLiteral("Read once more"));
        QVERIFY(m_recognizer->hasEngine());
    }

private:
    // The installed English data, found through the engine's own search.
    QString englishData() const { return m_recognizer->languageDataFolder() + QStringLiteral("/eng.traineddata"); }
    QString write(const QString &name, const QImage &image)
    {
        const QString path = m_dir.filePath(name);
        return TestSupport::writeImage(path, image, "png") ? path : QString();
    }
    QString recognizeOk(TesseractRecognizer &recognizer, const QString &path,
                        const std::optional<TextRecognitionCapabilities> &capabilities = {})
    {
        const auto result = recognizer.recognize(path, capabilities.value_or(m_capabilities));
        const auto *read = std::get_if<RecognizedText>(&result);
        return read ? read->text : QStringLiteral("<failed>");
    }
    QTemporaryDir m_dir;
    std::optional<TesseractRecognizer> m_recognizer;
    TextRecognitionCapabilities m_capabilities;
};

QTEST_MAIN(TestTesseractRecognizer)
#include "tst_tesseractrecognizer.moc"
