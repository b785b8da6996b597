#include "text/TesseractRecognizer.h"

#include "platform/freedesktop/PrivateFolder.h"
#include "platform/freedesktop/SafeFile.h"
#include "text/TextBandSplitter.h"
#include "text/TextImagePreparation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>
#include <QProcessEnvironment>
#include <QRectF>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace {

Q_LOGGING_CATEGORY(lcTesseract, "brimfold.text.tesseract", QtWarningMsg)

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

QStringList codesOf(const QList<RecognitionLanguage> &languages)
{
    QStringList codes;
    for (const RecognitionLanguage &language : languages)
        codes.append(language.code);
    return codes;
}

// Those of `codes` whose language file the folder holds, in the same order. An empty file is
// not counted: the engine could not load it.
QStringList installedCodes(const QString &folder, const QStringList &codes)
{
    QStringList installed;
    for (const QString &code : codes) {
        const QFileInfo file(languageFile(folder, code));
        if (file.isFile() && file.size() > 0)
            installed.append(code);
    }
    return installed;
}

// What tells a file's content apart without reading it: writing to a file, or replacing or
// renaming another over it, gives it a new change time or inode.
std::optional<QByteArray> fileIdentity(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0)
        return std::nullopt;
    QByteArray identity = native;
    for (const qint64 number : {qint64(status.st_dev), qint64(status.st_ino), qint64(status.st_size),
                                qint64(status.st_mtim.tv_sec), qint64(status.st_mtim.tv_nsec),
                                qint64(status.st_ctim.tv_sec), qint64(status.st_ctim.tv_nsec)})
        identity += ' ' + QByteArray::number(number);
    return identity;
}

std::optional<QByteArray> contentDigest(const QStringList &files)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
            return std::nullopt;
    }
    return hash.result();
}

// The engine codes for the given tags, in their order (capabilities() gives them in priority
// order); unknown tags are ignored.
QStringList codesForTags(const QStringList &tags)
{
    QStringList codes;
    for (const QString &tag : tags) {
        if (const std::optional<RecognitionLanguage> language = RecognitionLanguages::forTag(tag))
            codes.append(language->code);
    }
    return codes;
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

    // An engine box in the whole picture's pixels.
    QRectF inWhole(const QRect &engine) const
    {
        return QRectF(engine.x() * scaleX, top + engine.y() * scaleY, engine.width() * scaleX,
                      engine.height() * scaleY);
    }
    // The same in fractions of the whole picture, as words are placed.
    QRectF fraction(const QRect &engine) const
    {
        const QRectF box = inWhole(engine);
        return QRectF(box.x() / whole.width(), box.y() / whole.height(), box.width() / whole.width(),
                      box.height() / whole.height());
    }
};

// Reads one band and adds the lines it owns to `lines`.
std::optional<TextRecognitionError> readBand(TextEngine &engine, const TextBand &band, std::stop_token &stop,
                                             Clock::time_point deadline, std::vector<Line> &lines)
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
    const TextEngine::ReadResult read = engine.read(image, stop, left);
    if (const auto *error = std::get_if<TextRecognitionError>(&read)) {
        qCDebug(lcTesseract) << "no text from the band at row" << band.top << int(*error);
        return *error;
    }

    const Placement placement{double(band.grey.width()) / image.width(), double(band.grey.height()) / image.height(),
                              double(band.top), QSizeF(band.whole)};
    for (const TextEngine::Line &line : std::get<QList<TextEngine::Line>>(read)) {
        const QRectF box = placement.inWhole(line.box);
        // A line the overlap repeats belongs to the band that owns its centre.
        const double doubledCentre = box.top() + box.bottom();
        if (doubledCentre < 2.0 * band.ownedFrom || doubledCentre >= 2.0 * band.ownedTo)
            continue;
        QList<TextWord> words;
        words.reserve(line.words.size());
        for (const TextEngine::Word &word : line.words)
            words.append({word.text, placement.fraction(word.box)});
        lines.push_back({doubledCentre, box.left(), line.text, std::move(words)});
    }
    return std::nullopt;
}

} // namespace

TesseractRecognizer::TesseractRecognizer(QString languageDataFolder, const ImageServices &images,
                                         std::chrono::milliseconds imageDeadline,
                                         QStringList fallbackFolders, QStringList moduleFolders)
    : m_requestedFolder(languageDataFolder.isEmpty() ? QString() : QDir::cleanPath(languageDataFolder))
    , m_fallbackFolders(std::move(fallbackFolders))
    , m_images(images)
    , m_imageDeadline(imageDeadline)
    , m_module(QStringLiteral("libbrimfold-ocr.so"), BRIMFOLD_TEXT_ENGINE_FACTORY, std::move(moduleFolders))
    , m_userLanguages(RecognitionLanguages::ofUser(QProcessEnvironment::systemEnvironment()))
{
}

TesseractRecognizer::~TesseractRecognizer() = default;

std::unique_ptr<TesseractRecognizer> TesseractRecognizer::create(const ImageServices &images, const QString &cacheFolder,
                                                                 bool updateDigest)
{
    auto recognizer = std::make_unique<TesseractRecognizer>(QString(), images, std::chrono::seconds(30));
    recognizer->keepDigestIn(cacheFolder, updateDigest);
    return recognizer;
}

void TesseractRecognizer::setUserLanguages(QList<RecognitionLanguage> languages)
{
    m_userLanguages = std::move(languages);
}

void TesseractRecognizer::keepDigestIn(const QString &folder, bool update)
{
    m_digestFile = folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("language-data.sha256"));
    m_updateDigest = update;
}

std::optional<QByteArray> TesseractRecognizer::languageDigest(const QStringList &files) const
{
    if (m_digestFile.isEmpty())
        return contentDigest(files);
    // The file holds the digest in hex, a line break, then the identities of the files it is of.
    QByteArray identities;
    for (const QString &file : files) {
        const std::optional<QByteArray> identity = fileIdentity(file);
        if (!identity)
            return std::nullopt;
        identities += *identity + '\n';
    }
    constexpr qsizetype hexDigits = 64;
    const SafeFile::ReadResult kept = SafeFile::read(m_digestFile, 64 * 1024);
    if (const auto *bytes = std::get_if<QByteArray>(&kept);
        bytes && bytes->size() > hexDigits && bytes->at(hexDigits) == '\n' && bytes->sliced(hexDigits + 1) == identities) {
        const QByteArray digest = QByteArray::fromHex(bytes->left(hexDigits));
        if (digest.size() == hexDigits / 2)
            return digest;
    }
    const std::optional<QByteArray> digest = contentDigest(files);
    // A failure to keep it only means it is computed again next time.
    if (digest && m_updateDigest && PrivateFolder::make(QFileInfo(m_digestFile).path()))
        SafeFile::write(m_digestFile, digest->toHex() + '\n' + identities, 0600);
    return digest;
}

QStringList TesseractRecognizer::distributionLanguageFolders()
{
    return {QStringLiteral("/usr/share/tesseract-ocr/5/tessdata"),
            QStringLiteral("/usr/share/tesseract-ocr/4.00/tessdata"), QStringLiteral("/usr/share/tessdata"),
            QStringLiteral("/usr/local/share/tessdata")};
}

QString TesseractRecognizer::engineVersion()
{
    return QStringLiteral(BRIMFOLD_TESSERACT_VERSION);
}

QString TesseractRecognizer::findLanguageFolder() const
{
    if (!m_requestedFolder.isEmpty())
        return m_requestedFolder;
    // The engine itself looks where $TESSDATA_PREFIX says, else in the folder it was built with,
    // which for the distributions is among the fallbacks.
    QStringList folders = m_fallbackFolders;
    if (const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX"); !prefix.isEmpty())
        folders.prepend(prefix);
    for (const QString &folder : std::as_const(folders)) {
        if (!installedCodes(folder, codesOf(RecognitionLanguages::base())).isEmpty())
            return QDir::cleanPath(folder);
    }
    return {};
}

std::optional<QStringList> TesseractRecognizer::ensureEngine(const QStringList &codes)
{
    if (m_started && (m_engineCodes == codes || m_loadedCodes == codes)) {
        Q_ASSERT(m_engineThread == std::this_thread::get_id());
        return m_loadedCodes;
    }
    releaseResources();
    // Only what is installed can load.
    const QStringList installed = m_languageDataFolder.isEmpty() ? QStringList() : installedCodes(m_languageDataFolder, codes);
    QStringList wanted;
    for (const QString &code : codes) {
        if (installed.contains(code))
            wanted.append(code);
    }
    if (wanted.isEmpty())
        return std::nullopt;
    if (!m_engine) {
        auto *create = m_module.factoryAs<TextEngineFactory>();
        if (!create)
            return std::nullopt;
        m_engine.reset(create());
        // The identifier names the version built with: text read by another one would be
        // cached under its name.
        if (m_engine->version() != engineVersion())
            qCWarning(lcTesseract) << "the engine is version" << m_engine->version() << "but the program was built with"
                                   << engineVersion();
    }
    // The first language must load, the others are skipped when missing: so a damaged file
    // of the first still leaves the others.
    for (qsizetype first = 0; first < wanted.size(); ++first) {
        if (std::optional<QStringList> loaded = m_engine->start(m_languageDataFolder, wanted.mid(first))) {
            m_started = true;
            m_engineCodes = codes;
            m_loadedCodes = *loaded;
            m_engineThread = std::this_thread::get_id();
            return loaded;
        }
    }
    return std::nullopt;
}

void TesseractRecognizer::releaseResources()
{
    if (!m_started)
        return;
    Q_ASSERT(m_engineThread == std::this_thread::get_id());
    m_engine->release();
    m_started = false;
    m_engineCodes.clear();
    m_loadedCodes.clear();
}

ScreenshotTextRecognizing::CapabilitiesResult TesseractRecognizer::capabilities()
{
    // Without the module nothing can be read: recognition is unavailable, as when the engine
    // cannot start. Only looked for here; it is opened by the first recognition.
    if (m_module.path().isEmpty())
        return TextRecognitionError::engineFailure;
    if (m_languageDataFolder.isEmpty())
        m_languageDataFolder = findLanguageFolder();
    const QList<RecognitionLanguage> offered = RecognitionLanguages::base() + m_userLanguages;
    const QStringList installed =
        m_languageDataFolder.isEmpty() ? QStringList() : installedCodes(m_languageDataFolder, codesOf(offered));

    // English and Arabic alone give the tags and digest they always had, so their cache stays.
    QStringList tags;
    QStringList files;
    QStringList missing;
    for (const RecognitionLanguage &language : offered) {
        if (installed.contains(language.code)) {
            tags.append(language.tag);
            files.append(languageFile(m_languageDataFolder, language.code));
        } else if (m_userLanguages.contains(language)) {
            missing.append(language.tag);
        }
    }
    const std::optional<QByteArray> digest = languageDigest(files);
    if (!digest)
        return TextRecognitionError::engineFailure;

    TextRecognitionCapabilities result;
    result.languages = tags;
    result.missingLanguages = missing;
    result.identifier = QLatin1String("tesseract-") + engineVersion() + QLatin1Char('-')
        + QString::fromLatin1(digest->toHex().left(16)) + QLatin1Char('-') + tags.join(QLatin1Char(','))
        + QLatin1Char('-') + QLatin1String(kRevision);
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
