#pragma once

#include <QRectF>
#include <QString>

#include <functional>

class QPainter;

// Small static pictures (a card, a button's or a field's fill) drawn once per look, size and
// position within a pixel, kept in the pixmap cache and copied pixel for pixel after that. Qt
// rasterises an antialiased shape span by span, and hands runs of 96 spans or more (a tile's
// card, a 30-pixel button) to its thread pool and waits for them: copying is far cheaper.
namespace KeptPicture {

// Paints what `draw` paints into `bounds`; `look` names everything the picture depends on
// besides its size (colours, radii, widths, states). Under a transform beyond a translation it
// draws directly. `draw` gets a painter with the same render hints and the rectangle to fill.
void paint(QPainter &painter, const QRectF &bounds, const QString &look,
           const std::function<void(QPainter &, const QRectF &)> &draw);

} // namespace KeptPicture
