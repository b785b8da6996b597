#include "settings/FloatingButtonSize.h"

QString rawValue(FloatingButtonSize size)
{
    switch (size) {
    case FloatingButtonSize::compact: return QStringLiteral("compact");
    case FloatingButtonSize::standard: return QStringLiteral("standard");
    case FloatingButtonSize::large: return QStringLiteral("large");
    }
    return QStringLiteral("standard");
}

QString title(FloatingButtonSize size)
{
    QString text = rawValue(size);
    text[0] = text.at(0).toUpper();
    return text;
}

int side(FloatingButtonSize size)
{
    switch (size) {
    case FloatingButtonSize::compact: return 48;
    case FloatingButtonSize::standard: return 56;
    case FloatingButtonSize::large: return 68;
    }
    return 56;
}

std::optional<FloatingButtonSize> floatingButtonSizeFromRaw(QStringView raw)
{
    for (const FloatingButtonSize size : allFloatingButtonSizes) {
        if (raw == rawValue(size))
            return size;
    }
    return std::nullopt;
}
