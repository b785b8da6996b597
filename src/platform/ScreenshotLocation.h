#pragma once

#include <QString>

#include <optional>

// Where the desktop saves screenshots, as the user's screenshot tool is set up. Read-only:
// the program suggests this folder and never changes the tool's settings.
class ScreenshotLocation
{
public:
    virtual ~ScreenshotLocation();

    // The folder as its setting gives it: a path that may begin with "~"; none when the
    // desktop names no screenshot folder.
    virtual std::optional<QString> location() const = 0;

protected:
    ScreenshotLocation() = default;
    ScreenshotLocation(const ScreenshotLocation &) = default;
    ScreenshotLocation &operator=(const ScreenshotLocation &) = default;
};
