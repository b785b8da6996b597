#pragma once

// Looks at a window's shaped edge the way a screen without a compositor shows it: only the
// pixels its mask keeps, each with its colour as painted, whatever its alpha says (the X server
// shows the premultiplied channels of a translucent window as they are).

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPoint>
#include <QRegion>
#include <QWidget>

#include <algorithm>

namespace WindowEdges {

// The widget painted at 1× as such a screen shows it; outside its mask the picture is black.
inline QImage shownWithoutCompositor(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // A masked widget renders its mask's bounding box at the target offset.
    const QPoint origin = widget.mask().isEmpty() ? QPoint() : widget.mask().boundingRect().topLeft();
    widget.render(&image, origin, QRegion(), QWidget::DrawChildren);
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

// `ink` painted over the opaque `surface`.
inline QColor over(const QColor &ink, const QColor &surface)
{
    QImage pixel(1, 1, QImage::Format_RGB32);
    pixel.fill(surface);
    QPainter(&pixel).fillRect(pixel.rect(), ink);
    return pixel.pixelColor(0, 0);
}

// The mask's bounding box and `border` pixels around it; the kept pixels are 1.
inline QImage picture(const QRegion &mask, int border)
{
    const QRect bounds = mask.boundingRect();
    QImage kept(bounds.size() + QSize(2 * border, 2 * border), QImage::Format_Grayscale8);
    kept.fill(0);
    for (const QRect &rect : mask) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            std::fill_n(kept.scanLine(y - bounds.top() + border) + rect.left() - bounds.left() + border,
                        rect.width(), uchar(1));
        }
    }
    return kept;
}

// The pixels the mask keeps within `depth` pixels of one it drops, darker than `lightness`.
inline QList<QPoint> darkerEdgePixels(const QImage &shown, const QRegion &mask, int lightness,
                                      int depth = 2)
{
    const QRect bounds = mask.boundingRect();
    const QImage kept = picture(mask, depth);
    const auto keeps = [&](int x, int y) {
        return kept.constScanLine(y - bounds.top() + depth)[x - bounds.left() + depth] != 0;
    };
    QList<QPoint> dark;
    for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
        for (int x = bounds.left(); x <= bounds.right(); ++x) {
            if (!keeps(x, y))
                continue;
            bool edge = false;
            for (int dy = -depth; dy <= depth && !edge; ++dy) {
                for (int dx = -depth; dx <= depth && !edge; ++dx)
                    edge = !keeps(x + dx, y + dy);
            }
            if (edge && QColor(shown.pixel(x, y)).lightness() < lightness)
                dark.append(QPoint(x, y));
        }
    }
    return dark;
}

// The first row of the mask that differs from its mirror image, top to bottom or left to
// right, within the mask's bounding box; -1 when none does.
inline int firstAsymmetricRow(const QRegion &mask)
{
    const QImage kept = picture(mask, 0);
    for (int y = 0; y < kept.height(); ++y) {
        const uchar *row = kept.constScanLine(y);
        const uchar *mirror = kept.constScanLine(kept.height() - 1 - y);
        for (int x = 0; x < kept.width(); ++x) {
            if (row[x] != mirror[x] || row[x] != row[kept.width() - 1 - x])
                return mask.boundingRect().top() + y;
        }
    }
    return -1;
}

} // namespace WindowEdges
