#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QString>

class QPainter;

// The preview's drawn parts beside the picture itself, on its fixed dark backdrop.
namespace PreviewCaption {

// One piece of text at the caption's right end; a badge sits on a light chip.
struct Detail
{
    QString text;
    QColor ink;
    bool badge = false;
};

// White at `opacity`: the backdrop is dark in both appearances, so its inks are fixed.
QColor white(qreal opacity);

// The file name at the left of `caption`, elided in the middle to leave room for `details`,
// which are laid out from the right edge leftwards in the order given.
void paint(QPainter &painter, const QRect &caption, const QString &name, const QList<Detail> &details);

// The found words' boxes on the picture, the current one stronger.
void paintHighlights(QPainter &painter, const QList<QRectF> &boxes, qsizetype current);

} // namespace PreviewCaption
