#pragma once

#include "platform/freedesktop/ScreenshotNamePattern.h"

#include <QList>
#include <QStringView>

#include <cstddef>

// The screenshot names that are told by their whole form rather than by a fixed beginning: the
// tools' translations that put the date first, and the patterns the user's own screenshot tools
// are set to. Built once where the application starts (or a test) and handed to every scan; a
// value that is cheap to copy and safe to read from any thread.
class ScreenshotNamePatterns final
{
public:
    // The translations that put the date first, from the compiled-in table; compiled once.
    ScreenshotNamePatterns();
    // Those and the patterns of the user's own tools.
    explicit ScreenshotNamePatterns(const QList<ScreenshotNamePattern> &toolPatterns);

    // Whether a pattern gives `fileName` (with its extension), in any letter case and up to
    // canonical equivalence.
    bool matches(QStringView fileName) const;
    // The same for a name known to be ASCII, without allocating.
    bool matchesAscii(const char *fileName, std::size_t length) const;

    qsizetype size() const { return m_patterns.size(); }

private:
    bool matchesComposed(QStringView fileName) const;

    QList<ScreenshotNamePattern> m_patterns;
};
