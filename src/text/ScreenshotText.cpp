#include "text/ScreenshotText.h"

#include "text/ScreenshotTextSearch.h"

#include <QJsonValue>

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

} // namespace

ScreenshotText::ScreenshotText(const QString &rawText)
    : m_text(trimmedWhiteSpace(rawText))
    , m_normalized(ScreenshotTextSearch::normalize(m_text))
{
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

QJsonObject ScreenshotText::toJson() const
{
    return QJsonObject{{QStringLiteral("text"), m_text}};
}

std::optional<ScreenshotText> ScreenshotText::fromJson(const QJsonObject &object)
{
    const QJsonValue value = object.value(QLatin1String("text"));
    if (!value.isString())
        return std::nullopt;
    return ScreenshotText(value.toString());
}
