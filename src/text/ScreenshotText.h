#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// The recognised text of one screenshot, trimmed, with its normalised form for search.
// The normalised form is always derived from the text, so the two can never disagree.
class ScreenshotText final
{
public:
    // Empty text; the same value as ScreenshotText(QString()).
    ScreenshotText() = default;
    // Trims white space and newlines at both ends, then normalises.
    explicit ScreenshotText(const QString &rawText);

    const QString &text() const { return m_text; }
    const QString &normalized() const { return m_normalized; }

    // The first line (verbatim) that holds at least one token of the query; none when the
    // query has no tokens or no line holds any.
    std::optional<QString> snippet(const QString &query) const;

    // {"text": ...}; the normalised form is never stored, so new rules apply to old files.
    QJsonObject toJson() const;
    // Fails when "text" is missing or not a string. The text is trimmed and normalised again.
    static std::optional<ScreenshotText> fromJson(const QJsonObject &object);

    friend bool operator==(const ScreenshotText &, const ScreenshotText &) = default;

private:
    QString m_text;
    QString m_normalized;
};
