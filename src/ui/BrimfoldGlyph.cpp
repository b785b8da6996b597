#include "ui/BrimfoldGlyph.h"

#include <QPainter>

QPainterPath BrimfoldGlyph::path(const QRectF &rect)
{
    const qreal sx = rect.width() / designSide;
    const qreal sy = rect.height() / designSide;
    const auto p = [&](qreal x, qreal y) { return QPointF(rect.left() + x * sx, rect.top() + y * sy); };

    QPainterPath glyph;
    // Back card (open at the bottom: the pocket hides it).
    glyph.moveTo(p(7, 3));
    glyph.lineTo(p(7, 2.5));
    glyph.quadTo(p(7, 1), p(8.5, 1));
    glyph.lineTo(p(13, 1));
    glyph.quadTo(p(14.5, 1), p(14.5, 2.5));
    glyph.lineTo(p(14.5, 7));
    // Middle card.
    glyph.moveTo(p(4, 7.5));
    glyph.lineTo(p(4, 4.5));
    glyph.quadTo(p(4, 3), p(5.5, 3));
    glyph.lineTo(p(10.5, 3));
    glyph.quadTo(p(12, 3), p(12, 4.5));
    glyph.lineTo(p(12, 8.5));
    // Pocket, its top edge dipping between the corners.
    glyph.moveTo(p(2, 6.5));
    glyph.quadTo(p(9, 11.5), p(16, 6.5));
    glyph.lineTo(p(16, 13.5));
    glyph.quadTo(p(16, 16), p(13.5, 16));
    glyph.lineTo(p(4.5, 16));
    glyph.quadTo(p(2, 16), p(2, 13.5));
    glyph.closeSubpath();
    return glyph;
}

void BrimfoldGlyph::stroke(QPainter &painter, const QRectF &rect, const QColor &colour,
                           qreal lineWidth)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colour, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path(rect));
    painter.restore();
}
