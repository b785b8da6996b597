#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include <optional>

// One screenshot found by a desktop search: where it is, what it is called, when it was taken,
// and the line of its text that matched. The same record whether the running copy answered or
// the command line read the folder itself.
struct SearchHit final
{
    QString path;
    QString name;
    QDateTime createdAt;
    std::optional<QString> snippet;

    // "path<TAB>snippet", always one line with two fields: in the path, a backslash and the
    // control characters are written as \\, \t, \n, \r and \xHH (ordinary paths are
    // unchanged); in the snippet, control characters become spaces.
    QString toLine() const;
    // {"path", "name", "createdAt" (ISO 8601 with offset), "snippet" (null when none)}.
    QJsonObject toJson() const;
    // The capture time in the user's short format, then " · " and the snippet when there is one,
    // cut in front so that a desktop showing only the start of the line still shows the word
    // that matched `query`.
    QString description(const QString &query) const;
    // Characters of a description's snippet kept before its matching word.
    static constexpr qsizetype descriptionLead = 20;

    // The form sent over the session bus: a{sv} with "path", "name", "createdAt" (ms since
    // 1970, UTC) and, when there is one, "snippet".
    QVariantMap toVariantMap() const;
    // None when "path" is missing or empty.
    static std::optional<SearchHit> fromVariantMap(const QVariantMap &map);

    friend bool operator==(const SearchHit &, const SearchHit &) = default;
};
