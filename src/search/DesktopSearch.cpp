#include "search/DesktopSearch.h"

#include "library/GallerySnapshot.h"
#include "library/LibraryModel.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextSearch.h"

QList<SearchHit> DesktopSearch::find(const QList<Screenshot> &items, const QString &query,
                                     const QHash<QString, ScreenshotText> &documents,
                                     const QHash<QString, QString> &normalizedText)
{
    const QList<Screenshot> found = matching(items, query, normalizedText);
    QList<SearchHit> hits;
    hits.reserve(found.size());
    for (const Screenshot &item : found)
        hits.append(hitFor(item, query, documents));
    return hits;
}

QList<Screenshot> DesktopSearch::matching(const QList<Screenshot> &items, const QString &query,
                                          const QHash<QString, QString> &normalizedText)
{
    if (ScreenshotTextSearch::tokens(query).isEmpty())
        return {};
    return GallerySnapshot(items, LibraryState(), false, query, normalizedText).items();
}

QList<Screenshot> DesktopSearch::matching(const LibraryModel &model, const QString &query)
{
    return matching(model.items(), query, model.textIndex().normalizedText());
}

QList<SearchHit> DesktopSearch::find(const LibraryModel &model, const QString &query)
{
    const ScreenshotTextIndex &index = model.textIndex();
    return find(model.items(), query, index.documents(), index.normalizedText());
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
