#pragma once

#include "platform/ImageServices.h"
#include "text/ScreenshotTextRecognizing.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

namespace tesseract {
class TessBaseAPI;
}

// Text recognition with the Tesseract engine (LSTM), English and Arabic when their language
// data is installed. The engine is created on first need, on the calling thread, and reused
// for every image (starting it costs a few hundred milliseconds with both languages); it
// belongs to that thread, so every call must come from the same one. releaseResources() drops
// it; the next recognition starts it again.
class TesseractRecognizer final : public ScreenshotTextRecognizing
{
public:
    // languageDataFolder is the folder holding the *.traineddata files. Empty means the
    // engine's own search ($TESSDATA_PREFIX, else the folder it was built with), then the first
    // of fallbackFolders that holds English or Arabic data.
    // imageDeadline bounds the engine's work on one image, so a pathological image becomes a
    // failure instead of occupying the recogniser indefinitely; an image larger than 4096 ×
    // 4096 (a long capture, read in bands) has that much more time, in proportion.
    TesseractRecognizer(QString languageDataFolder, const ImageServices &images,
                        std::chrono::milliseconds imageDeadline = std::chrono::seconds(30),
                        QStringList fallbackFolders = distributionLanguageFolders());
    ~TesseractRecognizer() override;

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
    bool hasEngine() const { return m_engine != nullptr; }

    // Where distributions install the language data: Debian and Ubuntu (Tesseract 5 and 4),
    // Fedora and Arch, and a build installed from source.
    static QStringList distributionLanguageFolders();

private:
    // The folder holding our languages: the one given, else the engine's own default, else
    // the first fallback that has any. Starts the engine when the default search finds data.
    QString findLanguageFolder();
    // Starts the engine with these engine language codes unless it already runs with them.
    // Returns the codes that actually loaded, or none when the engine could not start.
    std::optional<QStringList> ensureEngine(const QStringList &codes);
    std::unique_ptr<tesseract::TessBaseAPI> startedEngine(const QByteArray &folder, const QStringList &codes);
    void adopt(std::unique_ptr<tesseract::TessBaseAPI> engine, const QStringList &codes);

    const QString m_requestedFolder;
    const QStringList m_fallbackFolders;
    QString m_languageDataFolder;
    const ImageServices &m_images;
    std::chrono::milliseconds m_imageDeadline;
    std::unique_ptr<tesseract::TessBaseAPI> m_engine;
    QStringList m_engineCodes;     // requested when the engine was started
    QStringList m_loadedCodes;     // what actually loaded
    std::thread::id m_engineThread;
};
