#include "platform/ScreenshotLocation.h"

// Out of line, so the interface's vtable lives in one place.
ScreenshotLocation::~ScreenshotLocation() = default;

QList<ScreenshotNamePattern> ScreenshotLocation::fileNamePatterns() const
{
    return {};
}
