#include "ui/design/GlassSurface.h"

#include "platform/Accessibility.h"

#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmapCache>
#include <QRegion>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>


namespace {

// How much of the window colour the translucent surface keeps: enough that text stays
// readable over busy windows even where no blur is available.
constexpr qreal kTranslucentOpacity = 0.86;
constexpr qreal kHighlightOpacity = 0.06;

} // namespace

GlassSurface::GlassSurface(QWidget *view, const Accessibility *accessibility, qreal radius,
                           bool interactive)
    : QObject(view)
    , m_view(view)
    , m_accessibility(accessibility)
    , m_radius(radius)
    , m_interactive(interactive)
{
    if (view->isWindow()) {
        // Needed for the translucent form; the opaque form paints every pixel it keeps.
        view->setAttribute(Qt::WA_TranslucentBackground);
    }
    view->installEventFilter(this);
    if (accessibility)
        connect(accessibility, &Accessibility::changed, this, &GlassSurface::apply);
    apply();
}

bool GlassSurface::isOpaque() const
{
    return m_accessibility && m_accessibility->reduceTransparency();
}

QPainterPath GlassSurface::outline(const QRectF &bounds, qreal radius)
{
    QPainterPath path;
    const qreal r = std::min(radius, std::min(bounds.width(), bounds.height()) / 2.0);
    path.addRoundedRect(bounds, r, r);
    return path;
}

namespace {

// Rectangles in the order a region is built from: rows top to bottom, equal neighbouring rows
// merged into one band.
struct Bands
{
    void addRow(const QList<QRect> &row)
    {
        const bool same = !band.isEmpty() && row.size() == band.size()
            && band.first().bottom() + 1 == row.first().top()
            && std::equal(row.cbegin(), row.cend(), band.cbegin(), [](const QRect &a, const QRect &b) {
                   return a.left() == b.left() && a.right() == b.right();
               });
        if (same) {
            for (QRect &rect : band)
                rect.setBottom(rect.bottom() + row.first().height());
        } else {
            rects += band;
            band = row;
        }
    }
    QRegion region()
    {
        rects += std::exchange(band, {});
        QRegion result;
        result.setRects(rects.constData(), int(rects.size()));
        return result;
    }

    QList<QRect> rects;
    QList<QRect> band;
};

// Adds the runs of pixels of rows [top, bottom) of `box` that the path covers at least half, as
// the antialiased painting sees them.
void addCoveredRows(const QPainterPath &path, const QRect &box, int top, int bottom, Bands &bands)
{
    if (bottom <= top)
        return;
    QImage coverage(box.width(), bottom - top, QImage::Format_Alpha8);
    coverage.fill(0);
    {
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-box.left(), -top);
        painter.fillPath(path, Qt::black);
    }
    const int width = coverage.width();
    for (int y = 0; y < coverage.height(); ++y) {
        const uchar *line = coverage.constScanLine(y);
        QList<QRect> row;
        for (int x = 0; x < width;) {
            while (x < width && line[x] < 128)
                ++x;
            const int start = x;
            while (x < width && line[x] >= 128)
                ++x;
            if (x > start)
                row.append(QRect(box.x() + start, top + y, x - start, 1));
        }
        if (!row.isEmpty())
            bands.addRow(row);
    }
}

QRegion computeWindowShape(const QPainterPath &path)
{
    const QRect box = path.boundingRect().toAlignedRect();
    if (box.isEmpty())
        return {};
    // Rows the path covers from edge to edge are one rectangle; only the rows above and below
    // them (a rounded outline's corners) are rasterised, not the whole window.
    constexpr qreal inset = 0.01;
    const auto fullRows = [&](int top, int bottom) {
        return path.contains(
            QRectF(box.left() + inset, top + inset, box.width() - 2 * inset, bottom - top - 2 * inset));
    };
    int top = box.top();
    while (top <= box.bottom() && !fullRows(top, top + 1))
        ++top;
    int bottom = box.bottom() + 1; // exclusive
    while (bottom > top && !fullRows(bottom - 1, bottom))
        --bottom;
    if (bottom <= top || !fullRows(top, bottom))
        top = bottom = box.bottom() + 1; // no such rows: every row is rasterised
    Bands bands;
    addCoveredRows(path, box, box.top(), top, bands);
    if (bottom > top)
        bands.addRow({QRect(box.left(), top, box.width(), bottom - top)});
    addCoveredRows(path, box, bottom, box.bottom() + 1, bands);
    return bands.region();
}

} // namespace

QRegion GlassSurface::windowShape(const QPainterPath &path)
{
    // The same few outlines come back on every paint and resize of the opaque windows and
    // tiles; rasterising them each time showed in start-up profiles.
    constexpr qsizetype kRemembered = 16;
    thread_local QList<std::pair<QPainterPath, QRegion>> recent;
    for (qsizetype i = 0; i < recent.size(); ++i) {
        if (recent.at(i).first == path) {
            if (i > 0)
                recent.move(i, 0);
            return recent.first().second;
        }
    }
    QRegion region = computeWindowShape(path);
    recent.prepend({path, region});
    if (recent.size() > kRemembered)
        recent.removeLast();
    return region;
}

void GlassSurface::paint(QPainter &painter, const QRectF &bounds, const QPalette &palette,
                         qreal radius, bool opaque, bool highlighted)
{
    const QRegion pixels = opaque ? windowShape(painter.worldTransform().map(outline(bounds, radius)))
                                  : QRegion();
    paintSurface(painter, bounds, palette, radius, opaque, highlighted, pixels);
}

void GlassSurface::paintSurface(QPainter &painter, const QRectF &bounds, const QPalette &palette,
                                qreal radius, bool opaque, bool highlighted, const QRegion &pixels)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = outline(bounds, radius);
    const QColor window = palette.color(QPalette::Window);
    const bool dark = window.lightnessF() < 0.5;
    if (opaque) {
        QColor solid = window;
        solid.setAlpha(255);
        // Whole pixels, the window's own shape: the curve's edge pixels are the surface's
        // colour rather than a blend with the cleared (black, without a compositor) buffer.
        painter.save();
        painter.resetTransform();
        for (const QRect &rect : pixels)
            painter.fillRect(rect, solid);
        painter.restore();
    } else {
        painter.fillPath(shape, BrimfoldDesign::withOpacity(window, kTranslucentOpacity));
        // A soft light from above, as on frosted glass.
        QLinearGradient light(bounds.topLeft(), QPointF(bounds.left(), bounds.top() + bounds.height() * 0.45));
        light.setColorAt(0, QColor(255, 255, 255, dark ? 22 : 70));
        light.setColorAt(1, QColor(255, 255, 255, 0));
        painter.fillPath(shape, light);
        if (highlighted)
            painter.fillPath(shape, QColor::fromRgbF(1, 1, 1, float(kHighlightOpacity)));
    }
    // A hairline rim keeps the edge crisp over any background.
    const QRectF rim = bounds.adjusted(0.5, 0.5, -0.5, -0.5);
    strokeOutline(painter, rim, std::max(0.0, radius - 0.5), QPen(BrimfoldDesign::primary(palette, opaque ? 0.1 : 0.12), 1.0));
    painter.restore();
}

void GlassSurface::strokeOutline(QPainter &painter, const QRectF &bounds, qreal radius, const QPen &pen)
{
    const auto direct = [&] {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(outline(bounds, radius));
        painter.restore();
    };
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const qreal r = std::min(radius, std::min(bounds.width(), bounds.height()) / 2.0);
    // Pixels from each side that hold a corner's curve and its antialiased edge.
    const int margin = int(std::ceil(r + pen.widthF())) + 2;
    const QRectF device = painter.worldTransform().mapRect(bounds);
    const QRect box = device.adjusted(-pen.widthF(), -pen.widthF(), pen.widthF(), pen.widthF()).toAlignedRect();
    if (dpr != 1.0 || painter.worldTransform().type() > QTransform::TxTranslate || pen.style() != Qt::SolidLine
        || box.width() < 2 * margin + 2 || box.height() < 2 * margin + 2) {
        direct();
        return;
    }
    // The same outline made shorter by whole pixels, so its edges keep their place within a pixel:
    // its corners are the big one's, and one pixel of its sides repeats along the big one's.
    const QSize small(2 * margin + 1, 2 * margin + 1);
    const QSize cut = box.size() - small;
    const QRectF smallBounds = device.translated(-box.topLeft()).adjusted(0, 0, -cut.width(), -cut.height());
    const QString key = QStringLiteral("brimfold-outline:%1,%2,%3,%4:%5:%6:%7")
                            .arg(smallBounds.x())
                            .arg(smallBounds.y())
                            .arg(smallBounds.width())
                            .arg(smallBounds.height())
                            .arg(r)
                            .arg(pen.color().rgba())
                            .arg(pen.widthF());
    QPixmap corners;
    if (!QPixmapCache::find(key, &corners)) {
        QImage image(small, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter target(&image);
        target.setRenderHint(QPainter::Antialiasing);
        target.setPen(pen);
        target.setBrush(Qt::NoBrush);
        target.drawPath(outline(smallBounds, r));
        target.end();
        corners = QPixmap::fromImage(image);
        QPixmapCache::insert(key, corners);
    }
    const int m = margin;
    const int far = m + 1; // where the small outline's far corners begin
    const int across = box.width() - 2 * m, down = box.height() - 2 * m;
    painter.save();
    painter.resetTransform();
    // Copied pixel for pixel: with smooth transforms on, Qt blends even a 1:1 copy span by span.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Corners.
    painter.drawPixmap(box.left(), box.top(), corners, 0, 0, m, m);
    painter.drawPixmap(box.right() + 1 - m, box.top(), corners, far, 0, m, m);
    painter.drawPixmap(box.left(), box.bottom() + 1 - m, corners, 0, far, m, m);
    painter.drawPixmap(box.right() + 1 - m, box.bottom() + 1 - m, corners, far, far, m, m);
    // Sides: each row of the top and bottom bands, and each column of the left and right ones, is
    // one colour along its length (the small outline's middle pixel there), so it is filled as
    // one run; that colour unpremultiplied fills to exactly the pixel a copy would give. Nothing
    // is drawn into a picture first, which took a quarter of the gallery's first frame.
    const QImage pixels = corners.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const auto fill = [&painter](const QRect &run, QRgb premultiplied) {
        if (qAlpha(premultiplied) != 0)
            painter.fillRect(run, QColor::fromRgba(qUnpremultiply(premultiplied)));
    };
    for (int y = 0; y < m; ++y) {
        fill(QRect(box.left() + m, box.top() + y, across, 1), pixels.pixel(m, y));
        fill(QRect(box.left() + m, box.bottom() + 1 - m + y, across, 1), pixels.pixel(m, far + y));
    }
    // The tall ones in runs of rows: Qt hands a fill of 96 rows or more, under a clip that is not
    // a rectangle (a rounded window's), to its thread pool and waits for it.
    constexpr int kRun = 64;
    for (int x = 0; x < m; ++x) {
        for (int y = 0; y < down; y += kRun) {
            const int rows = std::min(kRun, down - y);
            fill(QRect(box.left() + x, box.top() + m + y, 1, rows), pixels.pixel(x, m));
            fill(QRect(box.right() + 1 - m + x, box.top() + m + y, 1, rows), pixels.pixel(far + x, m));
        }
    }
    painter.restore();
}

bool GlassSurface::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_view)
        return false;
    switch (event->type()) {
    case QEvent::Paint: {
        // Runs inside the view's paint event, before its own painting.
        if (std::exchange(m_pixelsStale, false))
            m_pixels = isOpaque() ? windowShape(outline(QRectF(m_view->rect()), m_radius)) : QRegion();
        QPainter painter(m_view);
        paintSurface(painter, QRectF(m_view->rect()), m_view->palette(), m_radius, isOpaque(),
                     m_interactive && m_view->underMouse(), m_pixels);
        break;
    }
    case QEvent::Resize:
        updateMask();
        updateBlurHint();
        break;
    case QEvent::ParentChange:
        // A view made as a window and then placed in a panel must not keep the window's mask.
        if (!m_view->isWindow())
            m_view->clearMask();
        apply();
        break;
    case QEvent::Show:
        updateBlurHint();
        break;
    case QEvent::Enter:
    case QEvent::Leave:
        if (m_interactive)
            m_view->update();
        break;
    default:
        break;
    }
    return false;
}

void GlassSurface::apply()
{
    if (!m_view)
        return;
    updateMask();
    updateBlurHint();
    m_view->update();
}

void GlassSurface::updateMask()
{
    if (!m_view)
        return;
    if (!m_view->isWindow()) {
        // Only painting needs the shape of a view inside a panel (it fills the panel's clip):
        // worked out at the next paint, not at each size a settling layout passes through.
        m_pixelsStale = true;
        return;
    }
    if (!m_view->testAttribute(Qt::WA_WState_Created)) {
        // A window not made yet takes its mask at its first showing, from the resize Qt sends
        // then, before mapping it. Views are made as windows and most are then placed in a
        // panel: shaping them here asked the X server whether a compositor runs and rasterised
        // an outline nobody used.
        m_pixelsStale = true;
        return;
    }
    m_pixels = isOpaque() ? windowShape(outline(QRectF(m_view->rect()), m_radius)) : QRegion();
    if (isOpaque())
        m_view->setMask(m_pixels);
    else
        m_view->clearMask();
}

void GlassSurface::updateBlurHint()
{
    if (!m_view)
        return;
    // A surface that fills its window (the panels' content) blurs behind that window.
    QWidget *window = m_view->window();
    if (!window->testAttribute(Qt::WA_WState_Created)
        || (window != m_view && m_view->geometry() != window->rect())) {
        return;
    }
    QList<QRect> rects;
    if (!isOpaque()) {
        const qreal dpr = window->devicePixelRatioF();
        const QRegion region = windowShape(outline(QRectF(m_view->rect()), m_radius));
        for (const QRect &rect : region) {
            rects << QRect(qRound(rect.x() * dpr), qRound(rect.y() * dpr),
                           qRound(rect.width() * dpr), qRound(rect.height() * dpr));
        }
    }
    if (!m_accessibility)
        return;
    std::pair<WId, QList<QRect>> asked(window->winId(), rects);
    if (m_blurAsked == asked)
        return;
    // A window never asked to blur has nothing to withdraw; asking would wait for the X server
    // before the window's first frame.
    if (rects.isEmpty() && (!m_blurAsked || m_blurAsked->first != asked.first)) {
        m_blurAsked = std::move(asked);
        return;
    }
    m_accessibility->requestBlurBehind(asked.first, asked.second);
    m_blurAsked = std::move(asked);
}

GlassSurface *brimfoldGlass(QWidget *view, const Accessibility *accessibility, qreal radius,
                            bool interactive)
{
    return new GlassSurface(view, accessibility, radius, interactive);
}
