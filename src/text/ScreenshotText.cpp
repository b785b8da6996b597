#include "text/ScreenshotText.h"

#include "core/ScreenshotTextSearch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

#include <algorithm>
#include <cmath>

namespace {

QString trimmedWhiteSpace(const QString &text)
{
    // Every White_Space character is in the BMP, so code units are enough here.
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && ScreenshotTextSearch::isWhiteSpace(text.at(begin).unicode()))
        ++begin;
    while (end > begin && ScreenshotTextSearch::isWhiteSpace(text.at(end - 1).unicode()))
        --end;
    return (begin == 0 && end == text.size()) ? text : text.mid(begin, end - begin);
}

bool isNewline(char16_t c)
{
    return (c >= 0x000A && c <= 0x000D) || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

qint32 steps(double fraction)
{
    return qint32(std::lround(fraction / ScreenshotText::boxStep));
}

double fraction(qint32 steps)
{
    return steps * ScreenshotText::boxStep;
}

// The box as four finite numbers, or none.
std::optional<QRectF> boxFromJson(const QJsonValue &value)
{
    const QJsonArray array = value.toArray();
    if (array.size() != 4)
        return std::nullopt;
    double numbers[4];
    for (int i = 0; i < 4; ++i) {
        if (!array.at(i).isDouble() || !std::isfinite(array.at(i).toDouble()))
            return std::nullopt;
        numbers[i] = array.at(i).toDouble();
    }
    return QRectF(numbers[0], numbers[1], numbers[2], numbers[3]);
}

} // namespace

ScreenshotText::ScreenshotText(const QString &rawText, const QList<TextWord> &words)
    : m_text(trimmedWhiteSpace(rawText))
    , m_normalized(ScreenshotTextSearch::normalize(m_text))
{
    m_words.reserve(words.size());
    for (const TextWord &word : words) {
        const QString text = trimmedWhiteSpace(word.text);
        const QRectF &raw = word.box;
        if (text.isEmpty() || !std::isfinite(raw.x()) || !std::isfinite(raw.y())
            || !std::isfinite(raw.width()) || !std::isfinite(raw.height()))
            continue;
        // Only the part on the picture can be shown; a word with none of it has no place.
        const QRectF box = raw.normalized() & QRectF(0, 0, 1, 1);
        const qint32 left = steps(box.left()), top = steps(box.top());
        const qint32 width = steps(box.right()) - left, height = steps(box.bottom()) - top;
        if (width <= 0 || height <= 0)
            continue;
        m_wordText.append(text);
        m_words.append({qint32(m_wordText.size()), left, top, width, height});
    }
}

TextWord ScreenshotText::word(qsizetype index) const
{
    const PackedWord &packed = m_words.at(index);
    const qint32 begin = index == 0 ? 0 : m_words.at(index - 1).end;
    return {m_wordText.mid(begin, packed.end - begin),
            QRectF(fraction(packed.left), fraction(packed.top), fraction(packed.width),
                   fraction(packed.height))};
}

QList<TextWord> ScreenshotText::words() const
{
    QList<TextWord> all;
    all.reserve(m_words.size());
    for (qsizetype i = 0; i < m_words.size(); ++i)
        all.append(word(i));
    return all;
}

QList<QRectF> ScreenshotText::matchingWordBoxes(const QString &query) const
{
    const QStringList tokens = ScreenshotTextSearch::tokens(query);
    QList<QRectF> boxes;
    if (tokens.isEmpty())
        return boxes;
    for (qsizetype i = 0; i < m_words.size(); ++i) {
        const TextWord candidate = word(i);
        const QString normalizedWord = ScreenshotTextSearch::normalize(candidate.text);
        // Any one token marks the word: each word of a query shows where it was found.
        const bool holdsToken = std::any_of(tokens.begin(), tokens.end(), [&](const QString &token) {
            return ScreenshotTextSearch::matches(normalizedWord, QStringList{token});
        });
        if (holdsToken)
            boxes.append(candidate.box);
    }
    return boxes;
}

std::optional<QString> ScreenshotText::snippet(const QString &query) const
{
    const QStringList tokens = ScreenshotTextSearch::tokens(query);
    if (tokens.isEmpty())
        return std::nullopt;

    const QStringView text(m_text);
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && !isNewline(text.at(lineEnd).unicode()))
            ++lineEnd;
        // Empty pieces (including the one between CR and LF) are skipped, so CR LF splits
        // exactly like LF.
        if (lineEnd > lineStart) {
            const QStringView line = text.mid(lineStart, lineEnd - lineStart);
            const QString normalizedLine = ScreenshotTextSearch::normalize(line);
            for (const QString &token : tokens) {
                if (normalizedLine.contains(token))
                    return line.toString();
            }
        }
        lineStart = lineEnd + 1;
    }
    return std::nullopt;
}

QString ScreenshotText::excerpt(QStringView line, const QString &query, qsizetype lead)
{
    const std::optional<qsizetype> match =
        ScreenshotTextSearch::firstMatchingWord(line, ScreenshotTextSearch::tokens(query));
    if (!match || *match <= std::max<qsizetype>(lead, 0))
        return line.toString();
    // The first word that starts within `lead` of the match; the match itself starts one.
    qsizetype start = *match - std::max<qsizetype>(lead, 0);
    while (ScreenshotTextSearch::isWhiteSpace(line.at(start).unicode())
           || !ScreenshotTextSearch::isWhiteSpace(line.at(start - 1).unicode()))
        ++start;
    return QStringLiteral("\u2026") + line.mid(start).toString();
}

QJsonObject ScreenshotText::toJson() const
{
    QJsonObject object{{QStringLiteral("text"), m_text}};
    if (m_words.isEmpty())
        return object;
    QJsonArray words;
    for (qsizetype i = 0; i < m_words.size(); ++i) {
        const TextWord w = word(i);
        words.append(QJsonObject{
            {QStringLiteral("text"), w.text},
            {QStringLiteral("box"), QJsonArray{w.box.x(), w.box.y(), w.box.width(), w.box.height()}}});
    }
    object.insert(QStringLiteral("words"), words);
    return object;
}

std::optional<ScreenshotText> ScreenshotText::fromJson(const QJsonObject &object)
{
    const QJsonValue value = object.value(QLatin1String("text"));
    if (!value.isString())
        return std::nullopt;
    QList<TextWord> words;
    const QJsonArray stored = object.value(QLatin1String("words")).toArray();
    words.reserve(stored.size());
    for (const QJsonValue &entry : stored) {
        const QJsonObject word = entry.toObject();
        const QJsonValue text = word.value(QLatin1String("text"));
        const std::optional<QRectF> box = boxFromJson(word.value(QLatin1String("box")));
        if (text.isString() && box)
            words.append({text.toString(), *box});
    }
    return ScreenshotText(value.toString(), words);
}

std::optional<ScreenshotText> ScreenshotText::textFromJson(QByteArrayView json)
{
    constexpr QByteArrayView start(R"({"text":")");
    if (json.startsWith(start)) {
        // The string runs to the first quote that no backslash escapes; it is followed by the
        // object's end or its next member.
        const qsizetype open = start.size() - 1;
        qsizetype close = open + 1;
        while (close < json.size() && json.at(close) != '"')
            close += json.at(close) == '\\' ? 2 : 1;
        if (close + 1 < json.size() && (json.at(close + 1) == ',' || json.at(close + 1) == '}')) {
            QByteArray array = json.sliced(open, close + 1 - open).toByteArray();
            array.prepend('[').append(']');
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(array, &error);
            if (error.error == QJsonParseError::NoError && document.array().at(0).isString())
                return ScreenshotText(document.array().at(0).toString());
        }
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue text = document.object().value(QLatin1String("text"));
    if (!text.isString())
        return std::nullopt;
    return ScreenshotText(text.toString());
}
