#include "platform/Displays.h"

std::optional<Displays::Display> Displays::displayContaining(const QPointF &point) const
{
    const QList<Display> all = displays();
    for (const Display &display : all) {
        if (display.frame.contains(point))
            return display;
    }
    return std::nullopt;
}

std::optional<Displays::Display> Displays::activeDisplay() const
{
    // The only display is the active one wherever the pointer is; asking where it is waits for
    // the X server.
    if (const QList<Display> all = displays(); all.size() == 1)
        return all.first();
    if (std::optional<Display> underPointer = displayContaining(pointerLocation()))
        return underPointer;
    return mainDisplay();
}

// Both directions mirror y around the main display's bottom edge and shift x by its left edge.
QRectF Displays::toScreenRect(const QRectF &rect) const
{
    const QRectF main = mainScreenGeometry();
    return {rect.x() + main.x(), main.y() + main.height() - rect.y() - rect.height(), rect.width(),
            rect.height()};
}

QRectF Displays::fromScreenRect(const QRectF &rect) const
{
    const QRectF main = mainScreenGeometry();
    return {rect.x() - main.x(), main.y() + main.height() - rect.y() - rect.height(), rect.width(),
            rect.height()};
}

QPointF Displays::toScreenPoint(const QPointF &point) const
{
    const QRectF main = mainScreenGeometry();
    return {point.x() + main.x(), main.y() + main.height() - point.y()};
}

QPointF Displays::fromScreenPoint(const QPointF &point) const
{
    const QRectF main = mainScreenGeometry();
    return {point.x() - main.x(), main.y() + main.height() - point.y()};
}
