#pragma once

#include "core/PanelPlacement.h"

#include <QRectF>
#include <QSizeF>

#include <chrono>

// Where the floating button and the gallery beside it come to rest. All rects are y-up
// (origin at the bottom-left of the main display): a rect's minY is rect.y() and its maxY is
// rect.y() + rect.height(), so QRectF's top() is the bottom edge here.
namespace FloatingPlacement {

// Inset of the usable area for the button, and the gap it keeps from the area's edges.
inline constexpr double margin = 8;
inline constexpr double snapThreshold = 24;
inline constexpr double galleryInset = PanelPlacement::defaultInset;
// How far the gallery reaches into the transparent room around the button.
inline constexpr double galleryOverlap = 12;
// The first spot of the button, as a fraction of the usable height above its bottom.
inline constexpr double defaultVertical = 0.32;
// Transparent room around the button inside its square panel (half on each side).
inline constexpr double panelPadding = 24;
inline constexpr std::chrono::milliseconds settleAnimation{140};

constexpr double buttonPanelSide(double buttonSide)
{
    return buttonSide + panelPadding;
}

// The frame a button comes to rest at: moved fully inside the visible frame, `margin` from
// its edges, and with `snap` pulled onto any inset edge it is within `threshold` of.
QRectF settled(const QRectF &frame, const QRectF &visibleFrame, bool snap,
               double threshold = snapThreshold);

// The gallery beside the button frame `beside`, on the side with more room (the right when
// equal), vertically centred on the button and kept `galleryInset` inside the visible frame.
QRectF galleryFrame(const QSizeF &size, const QRectF &beside, const QRectF &visibleFrame);

// The button's first spot on a display: at the left or right edge, `defaultVertical` up.
QRectF defaultButtonFrame(const QRectF &visibleFrame, double panelSide, bool leftEdge);

} // namespace FloatingPlacement
