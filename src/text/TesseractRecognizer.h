#pragma once

#include "platform/ImageServices.h"
#include "text/ScreenshotTextRecognizing.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <thread>

namespace tesseract {
class TessBaseAPI;
}

// Text recognition with the Tesseract engine (LSTM), English and Arabic when their language
// data is installed. The engine is created on the first call, on the calling thread, and reused
// for every image (starting it costs tens of milliseconds); it belongs to that thread, so every
// call must come from the same one.
class TesseractRecognizer final : public ScreenshotTextRecognizing
{
public:
    // languageDataFolder is the folder holding the *.traineddata files; empty means the
    // engine's own default ($TESSDATA_PREFIX, else the system's tessdata folder).
    // imageDeadline bounds the engine's work on one image, so a pathological image becomes a
    // failure instead of occupying the recogniser indefinitely.
    TesseractRecognizer(QString languageDataFolder, const ImageServices &images,
                        std::chrono::milliseconds imageDeadline = std::chrono::seconds(30));
    ~TesseractRecognizer() override;

    TesseractRecognizer(const TesseractRecognizer &) = delete;
    TesseractRecognizer &operator=(const TesseractRecognizer &) = delete;

    CapabilitiesResult capabilities() override;
    TextResult recognize(const QString &imagePath,
                         const TextRecognitionCapabilities &capabilities,
                         std::stop_token stop = {}) override;

    // The folder the language data is read from.
    QString languageDataFolder() const { return m_languageDataFolder; }

    // The engine's default language-data folder in this environment.
    static QString defaultLanguageDataFolder();

private:
    // Starts the engine with these engine language codes unless it already runs with them.
    // Returns the codes that actually loaded, or none when the engine could not start.
    std::optional<QStringList> ensureEngine(const QStringList &codes);

    QString m_languageDataFolder;
    const ImageServices &m_images;
    std::chrono::milliseconds m_imageDeadline;
    std::unique_ptr<tesseract::TessBaseAPI> m_engine;
    QStringList m_engineCodes;     // requested when the engine was started
    QStringList m_loadedCodes;     // what actually loaded
    std::thread::id m_engineThread;
};
