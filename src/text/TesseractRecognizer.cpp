#include "text/TesseractRecognizer.h"

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
#include <utility>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcTesseract, "brimfold.text.tesseract", QtCriticalMsg)

// Language tags we offer, in priority order, with the engine's name for each.
struct Language
{
    const char16_t *tag;
    const char *code;
};
constexpr std::array<Language, 2> kLanguages{{{u"en-US", "eng"}, {u"ar-SA", "ara"}}};

constexpr int kMaxPixelSize = 4096;

// Part of the identifier: raised whenever a change here can change the text of an image, so
// that text cached under an earlier configuration is read again.
constexpr auto kRevision = "v3";

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
    int doubledCentre; // top + bottom: exact comparison of vertical centres without rounding
    int left;
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

QString cleanedText(const char *utf8)
{
    QString text = QString::fromUtf8(utf8);
    // The engine wraps lines in direction marks; they are not part of the text.
    text.remove(QChar(0x200E));
    text.remove(QChar(0x200F));
    return text.trimmed();
}

// The words of the line the iterator is at, in the engine's reading order. Preparation only
// scales the whole image, so fractions of the prepared picture are fractions of the original.
QList<TextWord> lineWords(const tesseract::ResultIterator &line, QSizeF picture)
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
        if (!text.isEmpty()) {
            words.append({std::move(text),
                          QRectF(left / picture.width(), top / picture.height(),
                                 (right - left) / picture.width(), (bottom - top) / picture.height())});
        }
    } while (!word.IsAtFinalElement(tesseract::RIL_TEXTLINE, level) && word.Next(level)
             && !word.IsAtBeginningOf(tesseract::RIL_TEXTLINE));
    return words;
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
        qCDebug(lcTesseract) << "engine did not start with" << codes << "from"
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

    QImage image;
    {
        // Grey first, so the decoded colour picture is gone before preparation needs its own
        // working memory.
        QImage grey;
        {
            const std::optional<QImage> decoded = m_images.downscaledImage(imagePath, kMaxPixelSize);
            if (!decoded || decoded->isNull())
                return TextRecognitionError::unreadableImage;
            grey = TextImagePreparation::flattenedGrey(*decoded);
        }
        image = TextImagePreparation::prepared(grey, kMaxPixelSize);
    }
    if (image.isNull())
        return TextRecognitionError::unreadableImage;

    if (stop.stop_requested())
        return TextRecognitionError::cancelled;

    // OpenMP inside the engine makes it several times slower on few cores; the setting is per
    // thread, and this is the thread the engine runs on.
    omp_set_max_active_levels(0);

    tesseract::TessBaseAPI &engine = *m_engine;
    // No resolution hint: the engine then estimates it from the size of the text, which reads
    // more than any fixed value across 1x and 2x screens.
    engine.SetImage(image.constBits(), image.width(), image.height(), 1,
                    static_cast<int>(image.bytesPerLine()));

    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &stopRequested;
    monitor.cancel_this = &stop;
    monitor.set_deadline_msecs(static_cast<int32_t>(m_imageDeadline.count()));
    const int status = engine.Recognize(&monitor);

    if (stop.stop_requested()) {
        engine.Clear();
        return TextRecognitionError::cancelled;
    }
    if (status != 0) {
        qCDebug(lcTesseract) << "engine gave up on" << imagePath
                             << (monitor.deadline_exceeded() ? "(time limit)" : "");
        engine.Clear();
        return TextRecognitionError::engineFailure;
    }

    const QSizeF picture(image.size());
    std::vector<Line> lines;
    const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
    if (iterator) {
        constexpr auto level = tesseract::RIL_TEXTLINE;
        do {
            int left = 0, top = 0, right = 0, bottom = 0;
            if (iterator->Empty(level) || !iterator->BoundingBox(level, &left, &top, &right, &bottom))
                continue;
            const std::unique_ptr<const char[]> utf8(iterator->GetUTF8Text(level));
            if (!utf8)
                continue;
            QString text = cleanedText(utf8.get());
            if (!text.isEmpty())
                lines.push_back({top + bottom, left, std::move(text), lineWords(*iterator, picture)});
        } while (iterator->Next(level));
    }
    // Results hold the page's layout and words; keep only the loaded languages between images.
    engine.Clear();

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
