#include "core/PanelPlacement.h"

#include <cmath>

namespace PanelPlacement {

namespace {

// fmax drops a NaN argument, so a NaN proposal lands on the low edge instead of leaking out.
double clampedCoordinate(double proposed, double size, double min, double max, double inset)
{
    const double low = min + inset;
    const double high = max - size - inset;
    return std::fmin(std::fmax(low, high), std::fmax(proposed, low));
}

} // namespace

QPointF clampedOrigin(double proposedX, double proposedY, double width, double height,
                      double minX, double minY, double maxX, double maxY, double inset)
{
    return {clampedCoordinate(proposedX, width, minX, maxX, inset),
            clampedCoordinate(proposedY, height, minY, maxY, inset)};
}

} // namespace PanelPlacement
