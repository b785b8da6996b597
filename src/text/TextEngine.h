#pragma once

#include "text/TextRecognitionError.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <stop_token>
#include <variant>

// What the recognition module (libbrimfold-ocr.so, around Tesseract) offers the program: the one
// interface that crosses into it, made by the factory below. The engine reads one prepared
// picture at a time and knows nothing of files, bands or the cache. It belongs to the thread
// that started it: every call must come from that thread.
class TextEngine
{
public:
    // A box is in the picture's pixels: left and top, and the width and height to the far edges.
    struct Word final
    {
        QString text;
        QRect box;
    };
    struct Line final
    {
        QString text;
        QRect box;
        QList<Word> words; // in the engine's reading order
    };
    using ReadResult = std::variant<QList<Line>, TextRecognitionError>;

    virtual ~TextEngine() = default;

    // The engine's version as the library reports it.
    virtual QString version() const = 0;

    // Starts the engine with these engine language codes ("eng", "ara") from the folder of
    // *.traineddata files, replacing a running one. The first must load; the others are skipped
    // when missing. The codes that loaded, or none when the engine could not start.
    virtual std::optional<QStringList> start(const QString &folder, const QStringList &codes) = 0;

    // The non-empty lines of an 8-bit grey picture, in the engine's order, each with its words
    // and the text the engine wraps in direction marks cleaned and trimmed. Fails with cancelled
    // when stop is requested, with engineFailure when the engine runs out of `timeLeft`, gives up
    // or was not started.
    virtual ReadResult read(const QImage &grey, std::stop_token stop, std::chrono::milliseconds timeLeft) = 0;

    // Lets go of the engine and the language models it holds; start() makes it usable again.
    virtual void release() = 0;
};

// The module's factory: a new, unstarted engine the caller owns. The version in the name changes
// with the interface, so a module of another build is refused when it is opened, not misused.
#define BRIMFOLD_TEXT_ENGINE_FACTORY "brimfold_create_text_engine_v1"
extern "C" TextEngine *brimfold_create_text_engine_v1();
using TextEngineFactory = TextEngine *();
