#include "text/TesseractRecognizer.h"

#include "text/TextBandSplitter.h"
#include "text/TextImagePreparation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>
#include <QRectF>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <omp.h>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcTesseract, "brimfold.text.tesseract", QtWarningMsg)

// Language tags we offer, in priority order, with the engine's name for each.
struct Language
{
    const char16_t *tag;
    const char *code;
};
constexpr std::array<Language, 2> kLanguages{{{u"en-US", "eng"}, {u"ar-SA", "ara"}}};

// Wider pictures are shrunk to this width; the rows keep their own resolution otherwise.
constexpr int kMaxWidth = 4096;
// Pictures up to this tall are read whole; taller ones (scrolling captures) in bands of about
// kBandRows that overlap by kOverlapRows, a few lines of text, so no line is cut.
constexpr int kWholeRows = 4096;
constexpr int kBandRows = 2048;
constexpr int kOverlapRows = 256;
// The most a picture may hold before it is shrunk as a whole: a 2560 × 52000 capture at its
// own size. Bounds the work on one image; memory is bounded by the band, whatever the picture.
constexpr qint64 kPixelBudget = qint64(128) * 1024 * 1024;
// Preparation enlarges small text within this longer side.
constexpr int kMaxPixelSize = 4096;

// Part of the identifier: raised whenever a change here can change the text of an image, so
// that text cached under an earlier configuration is read again.
constexpr auto kRevision = "v4";

using Clock = std::chrono::steady_clock;

QString languageFile(const QString &folder, const QString &code)
{
    return folder + QLatin1Char('/') + code + QLatin1String(".traineddata");
}

QStringList allCodes()
{
    QStringList codes;
    for (const Language &language : kLanguages)
        codes.append(QString::fromLatin1(language.code));
    return codes;
}

// Ours among the language files of a folder, in our priority order.
QStringList installedCodes(const QString &folder)
{
    QStringList codes;
    for (const QString &code : allCodes()) {
        if (QFileInfo(languageFile(folder, code)).isFile())
            codes.append(code);
    }
    return codes;
}

// The engine codes for the given tags, in our priority order; unknown tags are ignored.
QStringList codesForTags(const QStringList &tags)
{
    QStringList codes;
    for (const Language &language : kLanguages) {
        if (tags.contains(QString::fromUtf16(language.tag)))
            codes.append(QString::fromLatin1(language.code));
    }
    return codes;
}

bool stopRequested(void *token, int /*words*/)
{
    return static_cast<const std::stop_token *>(token)->stop_requested();
}

struct Line
{
    // In the whole picture's rows: top + bottom, so that equal centres compare exactly.
    double doubledCentre;
    double left;
    QString text;
    QList<TextWord> words;
};

// Top to bottom by vertical centre; only exactly equal centres are ordered left to right.
// Stable, so lines that compare equal keep the engine's order.
void sortInReadingOrder(std::vector<Line> &lines)
{
    std::stable_sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) {
        if (a.doubledCentre != b.doubledCentre)
            return a.doubledCentre < b.doubledCentre;
        return a.left < b.left;
    });
}

// Where the engine's picture of one band lies in the whole picture: it may have been scaled
// while being prepared, and it starts at the band's first row.
struct Placement
{
    double scaleX, scaleY; // whole-picture pixels per engine pixel
    double top;            // the band's first row in the whole picture
    QSizeF whole;

    // An engine box (left, top, right, bottom) in the whole picture's pixels.
    QRectF inWhole(int x0, int y0, int x1, int y1) const
    {
        return QRectF(x0 * scaleX, top + y0 * scaleY, (x1 - x0) * scaleX, (y1 - y0) * scaleY);
    }
    // The same in fractions of the whole picture, as words are placed.
    QRectF fraction(int x0, int y0, int x1, int y1) const
    {
        const QRectF box = inWhole(x0, y0, x1, y1);
        return QRectF(box.x() / whole.width(), box.y() / whole.height(), box.width() / whole.width(),
                      box.height() / whole.height());
    }
};

QString cleanedText(const char *utf8)
{
    QString text = QString::fromUtf8(utf8);
    // The engine wraps lines in direction marks; they are not part of the text.
    text.remove(QChar(0x200E));
    text.remove(QChar(0x200F));
    return text.trimmed();
}

// The words of the line the iterator is at, in the engine's reading order.
QList<TextWord> lineWords(const tesseract::ResultIterator &line, const Placement &placement)
{
    constexpr auto level = tesseract::RIL_WORD;
    QList<TextWord> words;
    tesseract::ResultIterator word(line);
    do {
        int left = 0, top = 0, right = 0, bottom = 0;
        if (word.Empty(level) || !word.BoundingBox(level, &left, &top, &right, &bottom))
            continue;
        const std::unique_ptr<const char[]> utf8(word.GetUTF8Text(level));
        if (!utf8)
            continue;
        QString text = cleanedText(utf8.get());
        if (!text.isEmpty())
            words.append({std::move(text), placement.fraction(left, top, right, bottom)});
    } while (!word.IsAtFinalElement(tesseract::RIL_TEXTLINE, level) && word.Next(level)
             && !word.IsAtBeginningOf(tesseract::RIL_TEXTLINE));
    return words;
}

// Reads one band and adds the lines it owns to `lines`; the engine is left without an image.
std::optional<TextRecognitionError> readBand(tesseract::TessBaseAPI &engine, const TextBand &band,
                                             std::stop_token &stop, Clock::time_point deadline,
                                             std::vector<Line> &lines)
{
    if (stop.stop_requested())
        return TextRecognitionError::cancelled;
    const QImage image = TextImagePreparation::prepared(band.grey, kMaxPixelSize);
    if (image.isNull())
        return TextRecognitionError::unreadableImage;
    if (stop.stop_requested())
        return TextRecognitionError::cancelled;
    // One deadline for the whole picture, however many bands it takes.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        qCDebug(lcTesseract) << "time limit reached before the band at row" << band.top;
        return TextRecognitionError::engineFailure;
    }

    // No resolution hint: the engine then estimates it from the size of the text, which reads
    // more than any fixed value across 1x and 2x screens.
    engine.SetImage(image.constBits(), image.width(), image.height(), 1, static_cast<int>(image.bytesPerLine()));
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &stopRequested;
    monitor.cancel_this = &stop;
    monitor.set_deadline_msecs(static_cast<int32_t>(left.count()));
    const int status = engine.Recognize(&monitor);
    if (stop.stop_requested()) {
        engine.Clear();
        return TextRecognitionError::cancelled;
    }
    if (status != 0) {
        qCWarning(lcTesseract) << "engine gave up on the band at row" << band.top
                             << (monitor.deadline_exceeded() ? "(time limit)" : "");
        engine.Clear();
        return TextRecognitionError::engineFailure;
    }

    const Placement placement{double(band.grey.width()) / image.width(), double(band.grey.height()) / image.height(),
                              double(band.top), QSizeF(band.whole)};
    const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
    if (iterator) {
        constexpr auto level = tesseract::RIL_TEXTLINE;
        do {
            int left = 0, top = 0, right = 0, bottom = 0;
            if (iterator->Empty(level) || !iterator->BoundingBox(level, &left, &top, &right, &bottom))
                continue;
            const QRectF box = placement.inWhole(left, top, right, bottom);
            // A line the overlap repeats belongs to the band that owns its centre.
            const double doubledCentre = box.top() + box.bottom();
            if (doubledCentre < 2.0 * band.ownedFrom || doubledCentre >= 2.0 * band.ownedTo)
                continue;
            const std::unique_ptr<const char[]> utf8(iterator->GetUTF8Text(level));
            if (!utf8)
                continue;
            QString text = cleanedText(utf8.get());
            if (!text.isEmpty())
                lines.push_back({doubledCentre, box.left(), std::move(text), lineWords(*iterator, placement)});
        } while (iterator->Next(level));
    }
    // Results hold the page's layout and words; keep only the loaded languages between bands.
    engine.Clear();
    return std::nullopt;
}

} // namespace

TesseractRecognizer::TesseractRecognizer(QString languageDataFolder, const ImageServices &images,
                                         std::chrono::milliseconds imageDeadline,
                                         QStringList fallbackFolders)
    : m_requestedFolder(languageDataFolder.isEmpty() ? QString() : QDir::cleanPath(languageDataFolder))
    , m_fallbackFolders(std::move(fallbackFolders))
    , m_images(images)
    , m_imageDeadline(imageDeadline)
{
}

TesseractRecognizer::~TesseractRecognizer() = default;

QStringList TesseractRecognizer::distributionLanguageFolders()
{
    return {QStringLiteral("/usr/share/tesseract-ocr/5/tessdata"),
            QStringLiteral("/usr/share/tesseract-ocr/4.00/tessdata"), QStringLiteral("/usr/share/tessdata"),
            QStringLiteral("/usr/local/share/tessdata")};
}

std::unique_ptr<tesseract::TessBaseAPI> TesseractRecognizer::startedEngine(const QByteArray &folder,
                                                                            const QStringList &codes)
{
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    // The engine's own messages would go to standard error; the program writes no log.
    engine->SetVariable("debug_file", "/dev/null");
    const QByteArray languages = codes.join(QLatin1Char('+')).toUtf8();
    // No folder: the engine's own search.
    if (engine->Init(folder.isEmpty() ? nullptr : folder.constData(), languages.constData(),
                     tesseract::OEM_LSTM_ONLY)
        != 0) {
        qCWarning(lcTesseract) << "engine did not start with" << codes << "from"
                             << (folder.isEmpty() ? QByteArray("its default folder") : folder);
        return nullptr;
    }
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    return engine;
}

void TesseractRecognizer::adopt(std::unique_ptr<tesseract::TessBaseAPI> engine, const QStringList &codes)
{
    std::vector<std::string> loaded;
    engine->GetLoadedLanguagesAsVector(&loaded);
    m_loadedCodes.clear();
    for (const std::string &code : loaded)
        m_loadedCodes.append(QString::fromStdString(code));
    m_engineCodes = codes;
    m_engine = std::move(engine);
    m_engineThread = std::this_thread::get_id();
}

QString TesseractRecognizer::findLanguageFolder()
{
    if (!m_requestedFolder.isEmpty())
        return m_requestedFolder;

    // The engine's own search knows $TESSDATA_PREFIX and the folder this build of it uses.
    // Its first language must load, the others are skipped when missing: so try each in turn
    // as the first. The engine that started is kept for the first recognition.
    const QStringList codes = allCodes();
    for (qsizetype first = 0; first < codes.size(); ++first) {
        const QStringList tried = codes.mid(first);
        if (auto engine = startedEngine({}, tried)) {
            const QString folder = QDir::cleanPath(QFile::decodeName(engine->GetDatapath()));
            adopt(std::move(engine), tried);
            return folder;
        }
    }
    // Other distributions put the data elsewhere than where this build of the engine looks.
    for (const QString &folder : m_fallbackFolders) {
        if (!installedCodes(folder).isEmpty())
            return QDir::cleanPath(folder);
    }
    return {};
}

std::optional<QStringList> TesseractRecognizer::ensureEngine(const QStringList &codes)
{
    if (m_engine && (m_engineCodes == codes || m_loadedCodes == codes)) {
        Q_ASSERT(m_engineThread == std::this_thread::get_id());
        return m_loadedCodes;
    }
    m_engine.reset();
    m_engineCodes.clear();
    m_loadedCodes.clear();
    if (m_languageDataFolder.isEmpty() || codes.isEmpty())
        return std::nullopt;
    auto engine = startedEngine(QFile::encodeName(m_languageDataFolder), codes);
    if (!engine)
        return std::nullopt;
    adopt(std::move(engine), codes);
    return m_loadedCodes;
}

void TesseractRecognizer::releaseResources()
{
    if (!m_engine)
        return;
    Q_ASSERT(m_engineThread == std::this_thread::get_id());
    m_engine.reset();
    m_engineCodes.clear();
    m_loadedCodes.clear();
    // Dictionaries outlive their engine in a process-wide cache; nothing else uses them.
    tesseract::TessBaseAPI::ClearPersistentCache();
}

ScreenshotTextRecognizing::CapabilitiesResult TesseractRecognizer::capabilities()
{
    if (m_languageDataFolder.isEmpty())
        m_languageDataFolder = findLanguageFolder();
    const QStringList installed = m_languageDataFolder.isEmpty() ? QStringList() : installedCodes(m_languageDataFolder);

    // Ask the engine what it actually loads: a damaged file is skipped, not reported.
    QStringList loaded;
    if (!installed.isEmpty()) {
        const std::optional<QStringList> started = ensureEngine(installed);
        if (!started)
            return TextRecognitionError::engineFailure;
        loaded = *started;
    }

    QStringList tags;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const Language &language : kLanguages) {
        const QString code = QString::fromLatin1(language.code);
        if (!loaded.contains(code))
            continue;
        QFile file(languageFile(m_languageDataFolder, code));
        if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
            return TextRecognitionError::engineFailure;
        tags.append(QString::fromUtf16(language.tag));
    }

    TextRecognitionCapabilities result;
    result.languages = tags;
    result.identifier = QLatin1String("tesseract-") + QString::fromLatin1(tesseract::TessBaseAPI::Version())
        + QLatin1Char('-') + QString::fromLatin1(hash.result().toHex().left(16)) + QLatin1Char('-')
        + tags.join(QLatin1Char(',')) + QLatin1Char('-') + QLatin1String(kRevision);
    return result;
}

ScreenshotTextRecognizing::TextResult TesseractRecognizer::recognize(
    const QString &imagePath, const TextRecognitionCapabilities &capabilities, std::stop_token stop)
{
    if (stop.stop_requested())
        return TextRecognitionError::cancelled;

    // Without language data there is nothing the engine could read with: say so before the
    // image costs a decode.
    const QStringList codes = codesForTags(capabilities.languages);
    if (codes.isEmpty())
        return TextRecognitionError::engineFailure;
    if (m_languageDataFolder.isEmpty())
        m_languageDataFolder = findLanguageFolder();
    if (!ensureEngine(codes))
        return TextRecognitionError::engineFailure;

    // OpenMP inside the engine makes it several times slower on few cores; the setting is per
    // thread, and this is the thread the engine runs on.
    omp_set_max_active_levels(0);

    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> deadline;
    std::vector<Line> lines;
    std::optional<TextRecognitionError> failure;
    TextBandSplitter bands(kWholeRows, kBandRows, kOverlapRows, [&](const TextBand &band) {
        // The time allowed grows with the pixels beyond what one whole picture may hold, so a
        // long capture is not cut short for its length, while the budget still bounds it.
        if (!deadline) {
            const double pictures = double(band.whole.width()) * band.whole.height() / (double(kMaxWidth) * kWholeRows);
            deadline = start + std::chrono::duration_cast<Clock::duration>(m_imageDeadline * std::max(1.0, pictures));
        }
        failure = readBand(*m_engine, band, stop, *deadline, lines);
        return !failure;
    });
    const bool read = m_images.readRows(imagePath, kMaxWidth, kPixelBudget, bands);
    if (stop.stop_requested())
        return TextRecognitionError::cancelled;
    if (failure)
        return *failure;
    if (!read)
        return TextRecognitionError::unreadableImage;

    sortInReadingOrder(lines);
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(lines.size()));
    QList<TextWord> words;
    for (Line &line : lines) {
        texts.append(std::move(line.text));
        words.append(std::move(line.words));
    }
    return RecognizedText(texts.join(QLatin1Char('\n')).trimmed(), std::move(words));
}
