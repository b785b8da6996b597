#pragma once

#include "ui/design/BrimfoldDesign.h"

#include <QObject>
#include <QPainterPath>
#include <QPointer>
#include <QRectF>
#include <QRegion>

#include <optional>
#include <utility>

class Accessibility;
class QPainter;
class QPalette;
class QWidget;

// The glass background of the gallery panel and the floating button: a rounded surface drawn
// beneath a widget's own painting.
// - Translucent (a compositor runs and reduce transparency is off): the window colour at high
//   but partial opacity with a soft top light and a hairline rim; an interactive surface
//   brightens under the pointer. Top-level windows get a translucent background, and the desktop is
//   asked to blur what lies behind the rounded shape.
// - Opaque (no compositor, or reduce transparency): the window colour, fully opaque, in the
//   same rounded rectangle; a top-level window is clipped to windowShape() of it, since
//   without a compositor its transparent corners would show garbage.
// Follows the accessibility provider: a change re-applies the form and repaints.
class GlassSurface final : public QObject
{
    Q_OBJECT

public:
    // Installs itself on `view` (becoming its child) and paints before the view does.
    GlassSurface(QWidget *view, const Accessibility *accessibility, qreal radius,
                 bool interactive);

    qreal radius() const { return m_radius; }
    bool interactive() const { return m_interactive; }
    // True while the opaque form is drawn.
    bool isOpaque() const;
    // The rounded outline of the surface in `bounds`.
    static QPainterPath outline(const QRectF &bounds, qreal radius);
    // The whole pixels at least half inside `path`: the shape of a window that cannot be
    // translucent. A window has no partly covered pixels then, so the opaque surface fills
    // every pixel of this shape; its curve is symmetric wherever `path` is.
    static QRegion windowShape(const QPainterPath &path);

    // Strokes outline(bounds, radius) with `pen`, as QPainter::drawPath would. A whole window's
    // antialiased outline is costly to rasterise at every paint: on whole device pixels its
    // corners are drawn once, kept, and copied, and its straight sides repeat one pixel line.
    static void strokeOutline(QPainter &painter, const QRectF &bounds, qreal radius, const QPen &pen);

    // Draws one surface into `bounds`; usable from any paint code (item delegates, previews).
    static void paint(QPainter &painter, const QRectF &bounds, const QPalette &palette,
                      qreal radius, bool opaque, bool highlighted = false);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // `pixels`: windowShape() of the outline in the painter's coordinates, for the opaque form.
    static void paintSurface(QPainter &painter, const QRectF &bounds, const QPalette &palette,
                             qreal radius, bool opaque, bool highlighted, const QRegion &pixels);
    void apply();
    void updateMask();
    void updateBlurHint();

    QPointer<QWidget> m_view;
    QPointer<const Accessibility> m_accessibility;
    qreal m_radius;
    // The blur last asked for, and of which native window: asking again for the same is a
    // round trip to the X server at every showing.
    std::optional<std::pair<WId, QList<QRect>>> m_blurAsked;
    bool m_interactive;
    QRegion m_pixels;  // the view's windowShape() while opaque
    bool m_pixelsStale = false;
};

// Applies the glass surface to any widget: `brimfoldGlass(panel, &accessibility, 26, false)`.
// Call it before a top-level widget is first shown, so its window is created translucent.
// A null accessibility provider means "translucent whenever possible".
GlassSurface *brimfoldGlass(QWidget *view, const Accessibility *accessibility,
                            qreal radius = BrimfoldDesign::defaultGlassRadius,
                            bool interactive = false);
