#pragma once

#include <QByteArray>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// Where the user left the floating button: the display it was on and its place as
// fractions of that display's usable area (nominally 0 to 1; vertical 0 is the bottom).
struct FloatingPosition final
{
    QString displayID;
    double horizontal = 0.0;
    double vertical = 0.0;

    // Rects are y-up, as in FloatingPlacement: minY = rect.y(), maxY = rect.y() + rect.height().

    // The position describing a button frame on a display with that visible frame. Fractions
    // are clamped to 0 to 1; one that is not a number becomes 0.5. When the frame is as wide
    // (or tall) as the inset area the travel divisor is 1, so the fraction is the offset in points.
    static FloatingPosition fromFrame(const QString &displayID, const QRectF &frame,
                                      const QRectF &visibleFrame);
    // The button frame of that size this position gives on a display with that visible frame,
    // always fully inside it. Stored fractions are cleaned first (above 1 acts as 1, below 0
    // as 0, not a number as 0.5), so an odd stored value still places the button sensibly.
    QRectF frame(const QSizeF &size, const QRectF &visibleFrame) const;

    // {"displayID": string, "horizontal": number, "vertical": number}; none when a
    // fraction is not finite, since JSON has no form for it.
    std::optional<QByteArray> toJson() const;
    // None unless all three members are present with their types.
    static std::optional<FloatingPosition> fromJson(const QByteArray &json);

    friend bool operator==(const FloatingPosition &, const FloatingPosition &) = default;
};
