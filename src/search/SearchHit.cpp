#include "search/SearchHit.h"

#include <QLocale>

namespace {

QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

} // namespace

QString SearchHit::toLine() const
{
    return path + QLatin1Char('\t') + (snippet ? oneLine(*snippet) : QString());
}

QJsonObject SearchHit::toJson() const
{
    return QJsonObject{
        {QStringLiteral("path"), path},
        {QStringLiteral("name"), name},
        {QStringLiteral("createdAt"), createdAt.toOffsetFromUtc(createdAt.offsetFromUtc()).toString(Qt::ISODate)},
        {QStringLiteral("snippet"), snippet ? QJsonValue(*snippet) : QJsonValue(QJsonValue::Null)},
    };
}

QString SearchHit::description() const
{
    const QString when = QLocale().toString(createdAt.toLocalTime(), QLocale::ShortFormat);
    return snippet ? when + QStringLiteral(" · ") + *snippet : when;
}

QVariantMap SearchHit::toVariantMap() const
{
    QVariantMap map{
        {QStringLiteral("path"), path},
        {QStringLiteral("name"), name},
        {QStringLiteral("createdAt"), createdAt.toMSecsSinceEpoch()},
    };
    if (snippet)
        map.insert(QStringLiteral("snippet"), *snippet);
    return map;
}

std::optional<SearchHit> SearchHit::fromVariantMap(const QVariantMap &map)
{
    SearchHit hit;
    hit.path = map.value(QStringLiteral("path")).toString();
    if (hit.path.isEmpty())
        return std::nullopt;
    hit.name = map.value(QStringLiteral("name")).toString();
    hit.createdAt = QDateTime::fromMSecsSinceEpoch(map.value(QStringLiteral("createdAt")).toLongLong());
    const auto snippet = map.constFind(QStringLiteral("snippet"));
    if (snippet != map.cend())
        hit.snippet = snippet->toString();
    return hit;
}
