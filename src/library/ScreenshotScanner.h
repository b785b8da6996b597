#pragma once

#include "core/Screenshot.h"
#include "platform/ImageServices.h"
#include "platform/freedesktop/ScreenshotNamePatterns.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Lists the connected folder and turns it into the ordered list of screenshots: which files
// count, newest first, at most `limit` of them plus every preserved (pinned) one, reusing the
// records of an earlier scan for files that did not change.
// Free of shared state: scan() may run on any thread.
class ScreenshotScanner final
{
public:
    static constexpr int defaultLimit = 500;

    // Why the folder could not be listed: the system's error number and its text.
    struct Error
    {
        int code = 0;
        QString message;
        friend bool operator==(const Error &, const Error &) = default;
    };

    // Either the ordered screenshots or, when the folder itself could not be listed, the error.
    struct Result
    {
        QList<Screenshot> screenshots;
        std::optional<Error> error;
        bool ok() const { return !error.has_value(); }
    };

    // True when the file carries the system's screen-capture marker set to true.
    static bool hasScreenshotMetadata(const QString &path);
    // When the newest file in `folder` that counts as a screenshot by its extension and its
    // name or marker was last modified (ms since the epoch), from the listing alone: no image
    // is read. None when the folder holds none or cannot be listed.
    static std::optional<qint64> newestScreenshotMs(const QString &folder, const ScreenshotNamePatterns &patterns);

    // Scans the direct entries of `folder`. Per-file problems drop that file silently; only a
    // folder that cannot be listed yields an error. Records in `previous` whose file still has
    // the same path, modification date and size are reused without reading the image again
    // (taking the creation date the file has now). A file's creation date is the earlier of
    // its birth and modification times: a copy that kept the original's modification time
    // keeps its date. `patterns` are the names that count beside the prefixes.
    static Result scan(const QString &folder, bool includeAllImages, int limit,
                       const QList<Screenshot> &previous, const QSet<QString> &preservingPaths,
                       const ImageServices &images,
                       const ScreenshotNamePatterns &patterns = ScreenshotNamePatterns());

    ScreenshotScanner() = delete;
};
