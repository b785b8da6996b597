#pragma once

#include "platform/ImageServices.h"
#include "platform/ProgramModule.h"
#include "text/RecognitionLanguages.h"
#include "text/ScreenshotTextRecognizing.h"
#include "text/TextEngine.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

// Text recognition with the Tesseract engine (LSTM), in English, Arabic and the user's own
// languages, each when its language data is installed. The engine lives in the recognition module, which is opened, and the
// engine started, by the first recognition, on the calling thread; the engine is then reused
// for every image (starting it costs a few hundred milliseconds with both languages). It
// belongs to that thread, so every call must come from the same one. capabilities() needs
// neither: it reads which language files are installed. releaseResources() drops the engine;
// the next recognition starts it again.
class TesseractRecognizer final : public ScreenshotTextRecognizing
{
public:
    // languageDataFolder is the folder holding the *.traineddata files. Empty means the
    // folder $TESSDATA_PREFIX names, where the engine itself looks, then the first of
    // fallbackFolders (where distributions build the engine to look) that holds English or
    // Arabic data.
    // imageDeadline bounds the engine's work on one image, so a pathological image becomes a
    // failure instead of occupying the recogniser indefinitely; an image larger than 4096 ×
    // 4096 (a long capture, read in bands) has that much more time, in proportion.
    // moduleFolders: where the recognition module is looked for.
    TesseractRecognizer(QString languageDataFolder, const ImageServices &images,
                        std::chrono::milliseconds imageDeadline = std::chrono::seconds(30),
                        QStringList fallbackFolders = distributionLanguageFolders(),
                        QStringList moduleFolders = ProgramModule::standardFolders());
    ~TesseractRecognizer() override;

    // The recogniser the program uses: the language data where the engine and the distributions
    // keep it, a 30-second deadline per image, the module beside the program, and the digest of
    // the language data kept in `cacheFolder` (the text cache's), updated there unless
    // `updateDigest` is false. One call for each recogniser, however many run.
    static std::unique_ptr<TesseractRecognizer> create(const ImageServices &images, const QString &cacheFolder,
                                                       bool updateDigest = true);

    // The identifier names the language data by a digest of its content; reading all of it
    // takes tens of milliseconds, so the digest is kept in a file of `folder` by the files'
    // identities (inode, size, times) and taken from there while they are unchanged. `update`
    // false only reads the file. Without a folder the data is read on every capabilities().
    void keepDigestIn(const QString &folder, bool update = true);

    // The languages read after English and Arabic when their data is installed, most preferred
    // first; by default those of the program's locale (RecognitionLanguages::ofUser). Those
    // not installed are named in the capabilities.
    void setUserLanguages(QList<RecognitionLanguage> languages);

    TesseractRecognizer(const TesseractRecognizer &) = delete;
    TesseractRecognizer &operator=(const TesseractRecognizer &) = delete;

    CapabilitiesResult capabilities() override;
    TextResult recognize(const QString &imagePath,
                         const TextRecognitionCapabilities &capabilities,
                         std::stop_token stop = {}) override;
    void releaseResources() override;

    // The folder the language data is read from: the one given, or the one the search found
    // (known once capabilities() has run; empty when no language data was found).
    QString languageDataFolder() const { return m_languageDataFolder; }
    // Whether the engine is running (for tests and diagnostics).
    bool hasEngine() const { return m_started; }

    // Where distributions install the language data: Debian and Ubuntu (Tesseract 5 and 4),
    // Fedora and Arch, and a build installed from source.
    static QStringList distributionLanguageFolders();

    // The engine version the identifier names: the one this program was built with.
    static QString engineVersion();

private:
    // The folder holding our languages: the one given, or where the engine itself looks
    // ($TESSDATA_PREFIX), else the first fallback that has any.
    QString findLanguageFolder() const;
    // Starts the engine with these engine language codes unless it already runs with them,
    // opening the module first if need be. Returns the codes that actually loaded, or none when
    // the engine could not start.
    std::optional<QStringList> ensureEngine(const QStringList &codes);
    // SHA-256 of the files' contents one after the other, from the kept digest when they are
    // unchanged; none when one cannot be read.
    std::optional<QByteArray> languageDigest(const QStringList &files) const;

    const QString m_requestedFolder;
    const QStringList m_fallbackFolders;
    QString m_languageDataFolder;
    const ImageServices &m_images;
    std::chrono::milliseconds m_imageDeadline;
    ProgramModule m_module;
    std::unique_ptr<TextEngine> m_engine; // made by the module
    bool m_started = false;
    QString m_digestFile;
    bool m_updateDigest = false;
    QStringList m_engineCodes; // requested when the engine was started
    QStringList m_loadedCodes; // what actually loaded
    std::thread::id m_engineThread;
    QList<RecognitionLanguage> m_userLanguages;
};
