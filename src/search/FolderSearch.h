#pragma once

#include "search/SearchHit.h"

#include <QList>
#include <QString>

#include <optional>

// A search when no copy of the program runs: the connected folder from the stored settings,
// scanned as the library scans it, and the text already in the on-disk cache. Nothing is
// recognised and nothing is written; needs no display. Blocks until done.
class FolderSearch final
{
public:
    struct Outcome final
    {
        QList<SearchHit> hits;
        // One line for the user when the search could not be made at all.
        std::optional<QString> error;
    };

    // `settingsFile` is the settings suite's JSON file, `textCacheDirectory` the folder of the
    // recognised-text cache.
    static Outcome run(const QString &query, const QString &settingsFile,
                       const QString &textCacheDirectory);

    FolderSearch() = delete;
};
