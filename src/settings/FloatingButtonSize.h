#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The three sizes of the floating button, in the order the settings list them.
enum class FloatingButtonSize {
    compact,
    standard,
    large,
};

inline constexpr std::array<FloatingButtonSize, 3> allFloatingButtonSizes = {
    FloatingButtonSize::compact,
    FloatingButtonSize::standard,
    FloatingButtonSize::large,
};

// The stored name: "compact", "standard" or "large".
QString rawValue(FloatingButtonSize size);
// The stored name with its first letter capitalised: "Compact".
QString title(FloatingButtonSize size);
// The button's width and height in points; its panel is 24 points larger.
int side(FloatingButtonSize size);
// None for any text that is not exactly one of the stored names.
std::optional<FloatingButtonSize> floatingButtonSizeFromRaw(QStringView raw);
