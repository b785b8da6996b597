#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>

// Keeping a panel inside a display's usable area. Coordinates are y-up (origin at the
// bottom-left of the main display), so "min y" is the bottom edge.
namespace PanelPlacement {

inline constexpr double defaultInset = 12;

// The origin nearest to the proposed one that keeps a width × height rectangle inside the
// bounds shrunk by `inset`. A rectangle larger than that area is pinned to its low (left or
// bottom) edge. A proposed coordinate that is not a number counts as the low edge.
QPointF clampedOrigin(double proposedX, double proposedY, double width, double height,
                      double minX, double minY, double maxX, double maxY,
                      double inset = defaultInset);

// Position and size rounded each on its own, so a panel keeps its width and height to the pixel
// wherever it lands (QRectF::toRect rounds the edges instead).
inline QRect roundedRect(const QRectF &rect)
{
    return QRect(qRound(rect.x()), qRound(rect.y()), qRound(rect.width()), qRound(rect.height()));
}

} // namespace PanelPlacement
