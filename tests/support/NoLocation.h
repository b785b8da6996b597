#pragma once

#include "platform/ScreenshotLocation.h"

// A desktop whose screenshot tool names no folder.
class NoLocation final : public ScreenshotLocation
{
public:
    std::optional<QString> location() const override { return std::nullopt; }
};
