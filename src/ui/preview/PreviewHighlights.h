#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>

// The words a search found in the previewed screenshot, which of them the user is looking at,
// and how the picture is framed to show it. Boxes are fractions of the picture's width and
// height, in reading order. A picture is either fitted as a whole or shown at its own size;
// larger than the room it has, at its own size it is moved so that the current word is in the
// middle (or as near as the picture's edges allow). Never enlarged.
class PreviewHighlights final
{
public:
    PreviewHighlights() = default;
    explicit PreviewHighlights(QList<QRectF> boxes);

    bool isEmpty() const { return m_boxes.isEmpty(); }
    qsizetype count() const { return m_boxes.size(); }
    const QList<QRectF> &boxes() const { return m_boxes; }
    // The word being looked at; -1 without highlights.
    qsizetype current() const { return m_boxes.isEmpty() ? -1 : m_current; }
    // Moves to the next word (a negative step: back), round past either end.
    void step(int by);

    // Where a picture of this logical size is drawn for `room`: fitted, or at `actualSize` its
    // own size, then moved by `pan` from its place as far as its edges allow. Without words
    // found, its place is the middle.
    QRectF pictureRect(QSizeF picture, const QRectF &room, bool actualSize, QPointF pan = {}) const;
    // Each box on a picture drawn at `picture`.
    QList<QRectF> placed(const QRectF &picture) const;

private:
    QList<QRectF> m_boxes;
    qsizetype m_current = 0;
};
