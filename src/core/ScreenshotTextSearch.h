#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The one normalisation shared by file names, recognised text and queries, and the rule by
// which a normalised text matches a query. Pure functions: safe on any thread.
class ScreenshotTextSearch final
{
public:
    ScreenshotTextSearch() = delete;

    // Compatibility composition, then case, diacritic and width folding (locale-independent;
    // "Größe" is "grosse", "ё" is "е", but "й" stays itself), then the Arabic letter and digit
    // table, then white space collapsed to single spaces with none at either end.
    static QString normalize(QStringView text);

    // The normalised query split at its spaces; empty for an empty or all-blank query.
    static QStringList tokens(QStringView query);

    // True when every token occurs literally in the already normalised text; stops at the
    // first token that is missing. No tokens match everything.
    static bool matches(QStringView normalizedText, const QStringList &tokens);

    // Where in `text` the first word (a run between white space) begins whose normalised form
    // holds any one token; none without tokens or when no single word holds one.
    static std::optional<qsizetype> firstMatchingWord(QStringView text, const QStringList &tokens);

    // The Unicode White_Space property (fixed list, so it doesn't drift with Qt's tables).
    static bool isWhiteSpace(char32_t c);
};
