#pragma once

#include "text/TextWord.h"

#include <QJsonObject>
#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

// The recognised text of one screenshot, trimmed, with its normalised form for search, and the
// recognised words with their boxes (none for text cached before words were kept).
// The normalised form is always derived from the text, so the two can never disagree.
class ScreenshotText final
{
public:
    // Boxes are kept to five decimals: under a tenth of a pixel on an 8K-wide image.
    static constexpr double boxStep = 1e-5;

    // Empty text; the same value as ScreenshotText(QString()).
    ScreenshotText() = default;
    // Trims white space and newlines at both ends, then normalises. Words with empty text are
    // dropped and boxes are clipped to the image.
    explicit ScreenshotText(const QString &rawText, const QList<TextWord> &words = {});

    const QString &text() const { return m_text; }
    const QString &normalized() const { return m_normalized; }

    qsizetype wordCount() const { return m_words.size(); }
    TextWord word(qsizetype index) const;
    QList<TextWord> words() const;

    // The first line (verbatim) that holds at least one token of the query; none when the
    // query has no tokens or no line holds any.
    std::optional<QString> snippet(const QString &query) const;

    // `line` (a snippet) for places that show only its start: begun at a word at most `lead`
    // characters before its first word holding a token of the query, after "…". The line as
    // it is when that word already starts within `lead` characters or no word holds a token.
    static QString excerpt(QStringView line, const QString &query, qsizetype lead);

    // The boxes of the words that hold at least one token of the query, matched as the search
    // matches; in word order.
    QList<QRectF> matchingWordBoxes(const QString &query) const;

    // {"text": ..., "words": [{"text": ..., "box": [left, top, width, height]}, ...]}, without
    // "words" when there are none. The normalised form is never stored, so new rules apply to
    // old files.
    QJsonObject toJson() const;
    // Fails when "text" is missing or not a string. The text is trimmed and normalised again.
    // "words" is optional: when it is missing or damaged the text still loads, and a damaged
    // word is left out.
    static std::optional<ScreenshotText> fromJson(const QJsonObject &object);
    // The text alone, without words, from the bytes of a cached object: for a search, which
    // never shows where words stand, while the words are most of what a file holds. Only the
    // text is parsed when the file starts with it, as the files toJson() gives do (an object's
    // keys are written in order); anything else is parsed whole. Fails as fromJson() does.
    static std::optional<ScreenshotText> textFromJson(QByteArrayView json);

    friend bool operator==(const ScreenshotText &, const ScreenshotText &) = default;

private:
    // A screenshot may hold hundreds of words and the index keeps the text of hundreds of
    // screenshots, so words are stored packed: their texts one after another in m_wordText,
    // each entry marking where its text ends, with its box in steps of boxStep. Boxes are
    // rounded to those steps on the way in, so they read back from the cache exactly.
    struct PackedWord final
    {
        qint32 end;
        qint32 left, top, width, height;

        friend bool operator==(const PackedWord &, const PackedWord &) = default;
    };

    QString m_text;
    QString m_normalized;
    QString m_wordText;
    QList<PackedWord> m_words;
};
