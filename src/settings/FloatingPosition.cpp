#include "settings/FloatingPosition.h"

#include "core/FloatingPlacement.h"
#include "core/PanelPlacement.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

namespace {

using FloatingPlacement::margin;

// A stored fraction as placement uses it.
double cleanFraction(double fraction)
{
    if (!std::isfinite(fraction))
        return 0.5;
    return std::clamp(fraction, 0.0, 1.0);
}

} // namespace

FloatingPosition FloatingPosition::fromFrame(const QString &displayID, const QRectF &frame,
                                             const QRectF &visibleFrame)
{
    const QRectF area = visibleFrame.adjusted(margin, margin, -margin, -margin);
    const double horizontal =
        (frame.x() - area.x()) / std::max(area.width() - frame.width(), 1.0);
    const double vertical =
        (frame.y() - area.y()) / std::max(area.height() - frame.height(), 1.0);
    // Clamping comes first, so an infinite offset keeps its edge; only NaN becomes the middle.
    const auto fraction = [](double value) {
        return std::isnan(value) ? 0.5 : std::clamp(value, 0.0, 1.0);
    };
    return {displayID, fraction(horizontal), fraction(vertical)};
}

QRectF FloatingPosition::frame(const QSizeF &size, const QRectF &visibleFrame) const
{
    const QRectF area = visibleFrame.adjusted(margin, margin, -margin, -margin);
    const double x = area.x() + cleanFraction(horizontal) * std::max(area.width() - size.width(), 0.0);
    const double y = area.y() + cleanFraction(vertical) * std::max(area.height() - size.height(), 0.0);
    const QPointF origin = PanelPlacement::clampedOrigin(
        x, y, size.width(), size.height(), visibleFrame.x(), visibleFrame.y(),
        visibleFrame.x() + visibleFrame.width(), visibleFrame.y() + visibleFrame.height(), margin);
    return {origin, size};
}

std::optional<QByteArray> FloatingPosition::toJson() const
{
    if (!std::isfinite(horizontal) || !std::isfinite(vertical))
        return std::nullopt;
    const QJsonObject object{
        {QStringLiteral("displayID"), displayID},
        {QStringLiteral("horizontal"), horizontal},
        {QStringLiteral("vertical"), vertical},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<FloatingPosition> FloatingPosition::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue displayID = object.value(QStringLiteral("displayID"));
    const QJsonValue horizontal = object.value(QStringLiteral("horizontal"));
    const QJsonValue vertical = object.value(QStringLiteral("vertical"));
    if (!displayID.isString() || !horizontal.isDouble() || !vertical.isDouble())
        return std::nullopt;
    return FloatingPosition{displayID.toString(), horizontal.toDouble(), vertical.toDouble()};
}
