#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>

class QPainter;

// The line-drawn product glyph: two rounded cards standing in a pocket whose top edge dips in a
// curve. Defined on an 18 × 18 design square (x right, y down) and stretched to any rectangle.
// It is only ever stroked, never filled.
class BrimfoldGlyph final
{
public:
    static constexpr qreal designSide = 18;

    // The three subpaths (back card and middle card open, pocket closed) mapped into `rect`:
    // x scaled by width / 18, y by height / 18, then moved to the rectangle's top-left corner.
    static QPainterPath path(const QRectF &rect);

    // Strokes the glyph for `rect` with round caps and joins; the painter's state is kept.
    static void stroke(QPainter &painter, const QRectF &rect, const QColor &colour,
                       qreal lineWidth);
};
