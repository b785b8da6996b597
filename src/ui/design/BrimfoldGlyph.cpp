#include "ui/design/BrimfoldGlyph.h"

#include <QPainter>

QPainterPath BrimfoldGlyph::path(const QRectF &rect)
{
    const qreal sx = rect.width() / designSide;
    const qreal sy = rect.height() / designSide;
    const auto p = [&](qreal x, qreal y) { return QPointF(rect.left() + x * sx, rect.top() + y * sy); };

    QPainterPath glyph;
    // A card's top with its rounded corners; its sides end where what lies in front hides them.
    const auto cardTop = [&](qreal left, qreal top, qreal right, qreal leftEnd, qreal rightEnd) {
        constexpr qreal corner = 1.5;
        glyph.moveTo(p(left, leftEnd));
        glyph.lineTo(p(left, top + corner));
        glyph.quadTo(p(left, top), p(left + corner, top));
        glyph.lineTo(p(right - corner, top));
        glyph.quadTo(p(right, top), p(right, top + corner));
        glyph.lineTo(p(right, rightEnd));
    };
    cardTop(7, 1, 14.5, 3, 7);   // the back card, behind the middle one and the pocket
    cardTop(4, 3, 12, 7.5, 8.5); // the middle card, behind the pocket
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
