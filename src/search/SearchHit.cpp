#include "search/SearchHit.h"

#include "text/ScreenshotText.h"

#include <QLocale>

#include <algorithm>

namespace {

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

// The snippet is the line's last field: only line breaks could split it, and a reader wants
// words, so control characters become spaces.
QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (isControl(c))
            c = u' ';
    }
    return text;
}

// A path is the first field and must read back exactly, whatever a file name holds: control
// characters become C-style escapes, and so the backslash is escaped too. Ordinary paths are
// printed as they are.
QString escapedPath(const QString &path)
{
    const auto special = [](QChar c) { return c == u'\\' || isControl(c); };
    if (std::none_of(path.cbegin(), path.cend(), special))
        return path;
    QString out;
    out.reserve(path.size() + 8);
    for (const QChar c : path) {
        if (!special(c)) {
            out += c;
            continue;
        }
        switch (c.unicode()) {
        case u'\\': out += QLatin1String("\\\\"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        default:
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        }
    }
    return out;
}

} // namespace

QString SearchHit::toLine() const
{
    return escapedPath(path) + QLatin1Char('\t') + (snippet ? oneLine(*snippet) : QString());
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

QString SearchHit::description(const QString &query) const
{
    const QString when = QLocale().toString(createdAt.toLocalTime(), QLocale::ShortFormat);
    if (!snippet)
        return when;
    return when + QStringLiteral(" · ") + ScreenshotText::excerpt(*snippet, query, descriptionLead);
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
