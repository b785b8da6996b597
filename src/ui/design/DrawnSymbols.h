#pragma once

#include <QString>

class QPainter;

// The stand-ins drawn for symbols when no icon theme has them: black strokes on a 16 × 16
// design square, tinted later like the theme's symbolic icons.
namespace DrawnSymbols {

constexpr qreal grid = 16;

// Draws `symbol` (a neutral rounded square for an unknown one) in grid coordinates.
void draw(QPainter &painter, const QString &symbol);

} // namespace DrawnSymbols
