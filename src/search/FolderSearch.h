#pragma once

#include "search/SearchHit.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ImageServices;
class ScreenshotNamePatterns;
class ScreenshotTextWorker;
class SettingsStore;

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

    // What a search reads, made by the caller. `textCache` is asked for a reader of the
    // recognised-text cache only when the query has words to look for in text.
    struct Sources final
    {
        const SettingsStore &settings;
        const ImageServices &images;
        const ScreenshotNamePatterns &names;
        std::function<std::unique_ptr<ScreenshotTextWorker>()> textCache;
    };

    static Outcome run(const QString &query, const Sources &sources);

    FolderSearch() = delete;
};
