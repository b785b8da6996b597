#include "core/FloatingPlacement.h"

#include <algorithm>

namespace FloatingPlacement {

namespace {

// One axis of snapping: `low`/`high` are the inset area's edges along it.
double snapped(double origin, double size, double low, double high, double threshold)
{
    if (origin - low <= threshold)
        return low;
    if (high - (origin + size) <= threshold)
        return std::max(low, high - size);
    return origin;
}

} // namespace

QRectF settled(const QRectF &frame, const QRectF &visibleFrame, bool snap, double threshold)
{
    const double minX = visibleFrame.x();
    const double minY = visibleFrame.y();
    const double maxX = minX + visibleFrame.width();
    const double maxY = minY + visibleFrame.height();
    QPointF origin = PanelPlacement::clampedOrigin(frame.x(), frame.y(), frame.width(),
                                                   frame.height(), minX, minY, maxX, maxY, margin);
    if (snap) {
        origin.setX(snapped(origin.x(), frame.width(), minX + margin, maxX - margin, threshold));
        origin.setY(snapped(origin.y(), frame.height(), minY + margin, maxY - margin, threshold));
    }
    return {origin, frame.size()};
}

QRectF galleryFrame(const QSizeF &size, const QRectF &beside, const QRectF &visibleFrame)
{
    const double minX = visibleFrame.x();
    const double minY = visibleFrame.y();
    const double maxX = minX + visibleFrame.width();
    const double maxY = minY + visibleFrame.height();
    const double buttonMaxX = beside.x() + beside.width();
    const double roomLeft = beside.x() - minX;
    const double roomRight = maxX - buttonMaxX;
    const double x = roomRight < roomLeft ? beside.x() - size.width() + galleryOverlap
                                          : buttonMaxX - galleryOverlap;
    const double y = beside.center().y() - size.height() * 0.5;
    const QPointF origin = PanelPlacement::clampedOrigin(x, y, size.width(), size.height(), minX,
                                                         minY, maxX, maxY, galleryInset);
    return {origin, size};
}

QRectF defaultButtonFrame(const QRectF &visibleFrame, double panelSide, bool leftEdge)
{
    const double x = leftEdge ? visibleFrame.x() + margin
                              : visibleFrame.x() + visibleFrame.width() - panelSide - margin;
    const double y = visibleFrame.y() + defaultVertical * visibleFrame.height();
    return settled(QRectF(x, y, panelSide, panelSide), visibleFrame, false);
}

} // namespace FloatingPlacement
