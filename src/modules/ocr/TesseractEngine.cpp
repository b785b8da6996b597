// The recognition module: Tesseract (LSTM) behind TextEngine, so that only a program that reads
// a screenshot maps libtesseract and what it pulls in.
#include "text/TextEngine.h"

#include <QFile>
#include <QLoggingCategory>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <omp.h>

#include <memory>
#include <string>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcTesseract, "brimfold.text.tesseract", QtWarningMsg)

bool stopRequested(void *token, int /*words*/)
{
    return static_cast<const std::stop_token *>(token)->stop_requested();
}

QString cleanedText(const char *utf8)
{
    QString text = QString::fromUtf8(utf8);
    // The engine wraps lines in direction marks; they are not part of the text.
    text.remove(QChar(0x200E));
    text.remove(QChar(0x200F));
    return text.trimmed();
}

QRect box(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

// The words of the line the iterator is at, in the engine's reading order.
QList<TextEngine::Word> lineWords(const tesseract::ResultIterator &line)
{
    constexpr auto level = tesseract::RIL_WORD;
    QList<TextEngine::Word> words;
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
            words.append({std::move(text), box(left, top, right, bottom)});
    } while (!word.IsAtFinalElement(tesseract::RIL_TEXTLINE, level) && word.Next(level)
             && !word.IsAtBeginningOf(tesseract::RIL_TEXTLINE));
    return words;
}

class TesseractEngine final : public TextEngine
{
public:
    QString version() const override { return QString::fromLatin1(tesseract::TessBaseAPI::Version()); }

    std::optional<QStringList> start(const QString &folder, const QStringList &codes) override
    {
        m_engine.reset();
        auto engine = std::make_unique<tesseract::TessBaseAPI>();
        // The engine's own messages would go to standard error; the program writes no log.
        engine->SetVariable("debug_file", "/dev/null");
        const QByteArray path = QFile::encodeName(folder);
        const QByteArray languages = codes.join(QLatin1Char('+')).toUtf8();
        if (engine->Init(path.constData(), languages.constData(), tesseract::OEM_LSTM_ONLY) != 0) {
            qCWarning(lcTesseract) << "engine did not start with" << codes << "from" << folder;
            return std::nullopt;
        }
        engine->SetPageSegMode(tesseract::PSM_AUTO);
        // The prepared picture is always dark text on a light ground: retrying each doubtful
        // word inverted, as the engine otherwise does, only costs time.
        engine->SetVariable("tessedit_do_invert", "0");
        std::vector<std::string> loaded;
        engine->GetLoadedLanguagesAsVector(&loaded);
        QStringList result;
        for (const std::string &code : loaded)
            result.append(QString::fromStdString(code));
        m_engine = std::move(engine);
        return result;
    }

    ReadResult read(const QImage &grey, std::stop_token stop, std::chrono::milliseconds timeLeft) override
    {
        if (!m_engine || grey.format() != QImage::Format_Grayscale8)
            return TextRecognitionError::engineFailure;
        // OpenMP inside the engine makes it several times slower on few cores; the setting is
        // per thread, and this is the thread the engine runs on.
        omp_set_max_active_levels(0);

        // No resolution hint: the engine then estimates it from the size of the text, which
        // reads more than any fixed value across 1x and 2x screens.
        m_engine->SetImage(grey.constBits(), grey.width(), grey.height(), 1, static_cast<int>(grey.bytesPerLine()));
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = &stopRequested;
        monitor.cancel_this = &stop;
        monitor.set_deadline_msecs(static_cast<int32_t>(timeLeft.count()));
        const int status = m_engine->Recognize(&monitor);
        if (stop.stop_requested()) {
            m_engine->Clear();
            return TextRecognitionError::cancelled;
        }
        if (status != 0) {
            qCWarning(lcTesseract) << "engine gave up" << (monitor.deadline_exceeded() ? "(time limit)" : "");
            m_engine->Clear();
            return TextRecognitionError::engineFailure;
        }

        QList<Line> lines;
        const std::unique_ptr<tesseract::ResultIterator> iterator(m_engine->GetIterator());
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
                    lines.append({std::move(text), box(left, top, right, bottom), lineWords(*iterator)});
            } while (iterator->Next(level));
        }
        // Results hold the page's layout and words; keep only the loaded languages between reads.
        m_engine->Clear();
        return lines;
    }

    void release() override
    {
        if (!m_engine)
            return;
        m_engine.reset();
        // Dictionaries outlive their engine in a process-wide cache; nothing else uses them.
        tesseract::TessBaseAPI::ClearPersistentCache();
    }

private:
    std::unique_ptr<tesseract::TessBaseAPI> m_engine;
};

} // namespace

extern "C" __attribute__((visibility("default"))) TextEngine *brimfold_create_text_engine_v1()
{
    return new TesseractEngine;
}
