#include "search/DesktopSearch.h"

#include "library/GallerySnapshot.h"
#include "core/ScreenshotTextSearch.h"

QList<SearchHit> DesktopSearch::find(const QList<Screenshot> &items, const QString &query,
                                     const QHash<QString, ScreenshotText> &documents,
                                     const QHash<QString, QString> &normalizedText, qsizetype limit)
{
    const QList<Screenshot> found = matching(items, query, normalizedText);
    const qsizetype count = limit < 0 ? found.size() : std::min(limit, found.size());
    QList<SearchHit> hits;
    hits.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        hits.append(hitFor(found.at(i), query, documents));
    return hits;
}

QList<Screenshot> DesktopSearch::matching(const QList<Screenshot> &items, const QString &query,
                                          const QHash<QString, QString> &normalizedText)
{
    if (ScreenshotTextSearch::tokens(query).isEmpty())
        return {};
    return GallerySnapshot(items, LibraryState(), false, query, normalizedText).items();
}

QString DesktopSearch::queryOf(const QStringList &terms)
{
    return terms.join(QLatin1Char(' '));
}

SearchHit DesktopSearch::hitFor(const Screenshot &item, const QString &query,
                                const QHash<QString, ScreenshotText> &documents)
{
    SearchHit hit{item.id(), item.displayName(), item.createdAt(), std::nullopt};
    const auto document = documents.constFind(item.cacheKey());
    if (document != documents.cend())
        hit.snippet = document->snippet(query);
    return hit;
}
