#pragma once

#include "core/Screenshot.h"
#include "search/SearchHit.h"
#include "text/ScreenshotText.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Answers a search from outside the gallery (the desktop's search, the command line) with
// exactly what the gallery would show for that query on its "all" tab: the gallery's own
// filter, in its order (newest first), each hit with the snippet its tile would show.
class DesktopSearch final
{
public:
    DesktopSearch() = delete;

    // A query with no tokens finds nothing: an empty desktop search lists no screenshots.
    // `documents` and `normalizedText` are keyed by Screenshot::cacheKey. The first `limit`
    // hits (all when negative): snippets are made only for those.
    static QList<SearchHit> find(const QList<Screenshot> &items, const QString &query,
                                 const QHash<QString, ScreenshotText> &documents,
                                 const QHash<QString, QString> &normalizedText, qsizetype limit = -1);

    // The matching screenshots alone, for answers that need no snippets.
    static QList<Screenshot> matching(const QList<Screenshot> &items, const QString &query,
                                      const QHash<QString, QString> &normalizedText);

    // Desktop searches hand over the words the user typed; the gallery takes one query.
    static QString queryOf(const QStringList &terms);

    static SearchHit hitFor(const Screenshot &item, const QString &query,
                            const QHash<QString, ScreenshotText> &documents);
};
