#include "ui/GlassSurface.h"

#include "platform/Accessibility.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLibrary>
#include <QLinearGradient>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

// How much of the window colour the translucent surface keeps: enough that text stays
// readable over busy windows even where no blur is available.
constexpr qreal kTranslucentOpacity = 0.86;
constexpr qreal kHighlightOpacity = 0.06;

// KWin blurs what lies behind a window within the region this property lists (x, y, width,
// height in device pixels, as CARDINALs). Other window managers ignore it. libxcb is loaded
// by Qt's X11 plugin already; its functions are looked up at run time so nothing links it.
class KWinBlurHint final
{
public:
    static void set(QWidget *window, const QRegion *region)
    {
        auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->connection() || !window->windowHandle())
            return;
        const Calls &xcb = calls();
        if (!xcb.complete())
            return;
        xcb_connection_t *connection = x11->connection();
        static const QByteArray name = QByteArrayLiteral("_KDE_NET_WM_BLUR_BEHIND_REGION");
        // Only when the window manager has created the atom: interning it ourselves would
        // announce a property nobody reads.
        xcb_intern_atom_reply_t *atom = xcb.internAtomReply(
            connection, xcb.internAtom(connection, 1, quint16(name.size()), name.constData()),
            nullptr);
        if (!atom)
            return;
        const xcb_atom_t property = atom->atom;
        std::free(atom);
        if (property == XCB_ATOM_NONE)
            return;
        const auto id = xcb_window_t(window->winId());
        if (!region) {
            xcb.deleteProperty(connection, id, property);
        } else {
            const qreal dpr = window->devicePixelRatioF();
            QList<quint32> values;
            for (const QRect &rect : *region) {
                values << quint32(qRound(rect.x() * dpr)) << quint32(qRound(rect.y() * dpr))
                       << quint32(qRound(rect.width() * dpr)) << quint32(qRound(rect.height() * dpr));
            }
            xcb.changeProperty(connection, XCB_PROP_MODE_REPLACE, id, property, XCB_ATOM_CARDINAL,
                               32, quint32(values.size()), values.constData());
        }
        xcb.flush(connection);
    }

private:
    struct Calls
    {
        decltype(&xcb_intern_atom) internAtom = nullptr;
        decltype(&xcb_intern_atom_reply) internAtomReply = nullptr;
        decltype(&xcb_change_property) changeProperty = nullptr;
        decltype(&xcb_delete_property) deleteProperty = nullptr;
        decltype(&xcb_flush) flush = nullptr;

        bool complete() const
        {
            return internAtom && internAtomReply && changeProperty && deleteProperty && flush;
        }
    };

    static const Calls &calls()
    {
        static const Calls resolved = [] {
            QLibrary xcb(QStringLiteral("xcb"), 1);
            Calls c;
            c.internAtom = reinterpret_cast<decltype(&xcb_intern_atom)>(xcb.resolve("xcb_intern_atom"));
            c.internAtomReply = reinterpret_cast<decltype(&xcb_intern_atom_reply)>(
                xcb.resolve("xcb_intern_atom_reply"));
            c.changeProperty = reinterpret_cast<decltype(&xcb_change_property)>(
                xcb.resolve("xcb_change_property"));
            c.deleteProperty = reinterpret_cast<decltype(&xcb_delete_property)>(
                xcb.resolve("xcb_delete_property"));
            c.flush = reinterpret_cast<decltype(&xcb_flush)>(xcb.resolve("xcb_flush"));
            return c;
        }();
        return resolved;
    }
};

QRegion regionOf(const QPainterPath &path)
{
    return QRegion(path.toFillPolygon().toPolygon());
}

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

void GlassSurface::paint(QPainter &painter, const QRectF &bounds, const QPalette &palette,
                         qreal radius, bool opaque, bool highlighted)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = outline(bounds, radius);
    const QColor window = palette.color(QPalette::Window);
    const bool dark = window.lightnessF() < 0.5;
    if (opaque) {
        QColor solid = window;
        solid.setAlpha(255);
        painter.fillPath(shape, solid);
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
    painter.setPen(QPen(BrimfoldDesign::primary(palette, opaque ? 0.1 : 0.12), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline(rim, std::max(0.0, radius - 0.5)));
    painter.restore();
}

bool GlassSurface::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_view)
        return false;
    switch (event->type()) {
    case QEvent::Paint: {
        // Runs inside the view's paint event, before its own painting.
        QPainter painter(m_view);
        paint(painter, QRectF(m_view->rect()), m_view->palette(), m_radius, isOpaque(),
              m_interactive && m_hovered);
        break;
    }
    case QEvent::Resize:
        updateMask();
        updateBlurHint();
        break;
    case QEvent::Show:
        updateBlurHint();
        break;
    case QEvent::Enter:
    case QEvent::Leave:
        if (m_interactive) {
            m_hovered = event->type() == QEvent::Enter;
            m_view->update();
        }
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
    if (!m_view || !m_view->isWindow())
        return;
    if (isOpaque())
        m_view->setMask(regionOf(outline(QRectF(m_view->rect()), m_radius)));
    else
        m_view->clearMask();
}

void GlassSurface::updateBlurHint()
{
    if (!m_view || !m_view->isWindow() || !m_view->testAttribute(Qt::WA_WState_Created))
        return;
    if (isOpaque()) {
        KWinBlurHint::set(m_view, nullptr);
    } else {
        const QRegion region = regionOf(outline(QRectF(m_view->rect()), m_radius));
        KWinBlurHint::set(m_view, &region);
    }
}

GlassSurface *brimfoldGlass(QWidget *view, const Accessibility *accessibility, qreal radius,
                            bool interactive)
{
    return new GlassSurface(view, accessibility, radius, interactive);
}
