#pragma once

#include "platform/ScreenshotLocation.h"

#include <optional>

// The folder a desktop's screenshot tool names, none by default; counts how often it is asked.
struct FakeScreenshotLocation final : ScreenshotLocation
{
    explicit FakeScreenshotLocation(std::optional<QString> folder = std::nullopt) : folder(std::move(folder)) {}
    std::optional<QString> location() const override
    {
        ++calls;
        return folder;
    }

    std::optional<QString> folder;
    mutable int calls = 0;
};
