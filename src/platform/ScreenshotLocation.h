#pragma once

#include "platform/freedesktop/ScreenshotNamePattern.h"

#include <QList>
#include <QString>

#include <optional>

// Where the desktop saves screenshots and how it names them, as the user's screenshot tool is
// set up. Read-only: the program suggests this folder, lists the files so named, and never
// changes the tool's settings.
class ScreenshotLocation
{
public:
    virtual ~ScreenshotLocation();

    // The folder as its setting gives it: a path that may begin with "~"; none when the
    // desktop names no screenshot folder.
    virtual std::optional<QString> location() const = 0;

    // The file-name patterns the user's screenshot tools are set to, beyond what every tool's
    // translations name files; none by default.
    virtual QList<ScreenshotNamePattern> fileNamePatterns() const;

protected:
    ScreenshotLocation() = default;
    ScreenshotLocation(const ScreenshotLocation &) = default;
    ScreenshotLocation &operator=(const ScreenshotLocation &) = default;
};
