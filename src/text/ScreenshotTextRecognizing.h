#pragma once

#include "text/TextRecognitionCapabilities.h"
#include "text/TextRecognitionError.h"
#include "text/TextWord.h"

#include <QList>
#include <QString>

#include <stop_token>
#include <utility>
#include <variant>

// What a recogniser read in one image: the recognised lines in reading order (top to bottom,
// then left to right) joined with "\n" and trimmed, empty when the image holds no text; and the
// words of those lines with their boxes, in the same order (a recogniser that cannot place
// words gives none).
struct RecognizedText final
{
    // Implicit, so a recogniser that only knows the text can return it as it is.
    RecognizedText(QString text = {}, QList<TextWord> words = {})
        : text(std::move(text))
        , words(std::move(words))
    {
    }

    QString text;
    QList<TextWord> words;

    friend bool operator==(const RecognizedText &, const RecognizedText &) = default;
};

// Obtains the text of one screenshot image. The text worker is the only caller: it uses one
// recogniser from one thread, one image at a time. Implementations may keep engine state that
// belongs to that thread, so a recogniser must not be shared between threads.
class ScreenshotTextRecognizing
{
public:
    using CapabilitiesResult = std::variant<TextRecognitionCapabilities, TextRecognitionError>;
    using TextResult = std::variant<RecognizedText, TextRecognitionError>;

    virtual ~ScreenshotTextRecognizing() = default;

    // The recogniser's configuration. May be slow; ask once and keep the answer. A failure
    // (engineFailure) means recognition is unavailable for now.
    virtual CapabilitiesResult capabilities() = 0;

    // Reads the image at imagePath and recognises its text in capabilities.languages.
    // Fails with unreadableImage when the file cannot be opened or decoded, with cancelled
    // when stop is requested (checked before, inside and after the engine's work), and with
    // engineFailure when the engine itself fails.
    virtual TextResult recognize(const QString &imagePath,
                                 const TextRecognitionCapabilities &capabilities,
                                 std::stop_token stop = {}) = 0;

    // Lets go of whatever the next call can rebuild (an engine, its models), so that an idle
    // program holds little memory. Called on the same thread as the other operations.
    virtual void releaseResources() {}
};
