#include "ui/preview/PreviewHighlights.h"

#include <algorithm>
#include <utility>

namespace {

// The picture's offset along one axis: when it is longer than the room, centred on `focus` and
// then moved by `pan`, but never leaving part of the room empty; centred when it fits.
qreal offsetAlong(qreal length, qreal roomStart, qreal roomLength, qreal focus, qreal pan)
{
    if (length <= roomLength)
        return roomStart + (roomLength - length) / 2;
    const qreal first = roomStart + roomLength - length;
    const qreal resting = std::clamp(roomStart + roomLength / 2 - focus, first, roomStart);
    return std::clamp(resting + pan, first, roomStart);
}

} // namespace

PreviewHighlights::PreviewHighlights(QList<QRectF> boxes)
    : m_boxes(std::move(boxes))
{
}

void PreviewHighlights::step(int by)
{
    if (m_boxes.isEmpty())
        return;
    const qsizetype n = m_boxes.size();
    m_current = ((m_current + by) % n + n) % n;
}

QRectF PreviewHighlights::pictureRect(QSizeF picture, const QRectF &room, bool actualSize,
                                      QPointF pan) const
{
    if (!actualSize || (picture.width() <= room.width() && picture.height() <= room.height())) {
        QSizeF fitted = picture;
        if (fitted.width() > room.width() || fitted.height() > room.height())
            fitted = picture.scaled(room.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), fitted);
        target.moveCenter(room.center());
        return target;
    }
    const QPointF middle = m_boxes.isEmpty() ? QPointF(0.5, 0.5) : m_boxes.at(m_current).center();
    const QPointF focus(middle.x() * picture.width(), middle.y() * picture.height());
    return QRectF(offsetAlong(picture.width(), room.left(), room.width(), focus.x(), pan.x()),
                  offsetAlong(picture.height(), room.top(), room.height(), focus.y(), pan.y()),
                  picture.width(), picture.height());
}

QList<QRectF> PreviewHighlights::placed(const QRectF &picture) const
{
    QList<QRectF> rects;
    rects.reserve(m_boxes.size());
    for (const QRectF &box : m_boxes) {
        rects.append(QRectF(picture.left() + box.left() * picture.width(),
                            picture.top() + box.top() * picture.height(),
                            box.width() * picture.width(), box.height() * picture.height()));
    }
    return rects;
}
