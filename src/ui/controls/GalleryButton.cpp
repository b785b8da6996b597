#include "ui/controls/GalleryButton.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/design/KeptPicture.h"
#include "ui/design/SymbolIcons.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kGap = 6;          // between symbol, title and hint
constexpr qreal kHintOpacity = 0.55;
constexpr qreal kSoftOpacity = 0.065;
constexpr qreal kButtonRadius = 11;

} // namespace

GalleryButton::GalleryButton(Kind kind, const QString &title, QWidget *parent)
    : QAbstractButton(parent)
    , m_kind(kind)
    , m_font(BrimfoldDesign::font(kind == Kind::capsule ? 13 : 11, QFont::Medium))
{
    setCursor(Qt::PointingHandCursor);
    // Keys go through the gallery's shortcuts; clicking a button keeps focus where it was.
    setFocusPolicy(Qt::NoFocus);
    // Hover events repaint; painting asks underMouse().
    setAttribute(Qt::WA_Hover);
    setTitle(title);
}

void GalleryButton::setSymbol(const QString &symbol)
{
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    m_icon = symbol.isEmpty() ? QIcon() : SymbolIcons::icon(symbol);
    updateGeometry();
    update();
}

void GalleryButton::setTitle(const QString &title)
{
    if (title == text() && !title.isEmpty())
        return;
    setText(title);
    updateGeometry();
    update();
}

void GalleryButton::setHint(const QString &hint)
{
    m_hint = hint;
    updateGeometry();
    update();
}

void GalleryButton::setTypeSize(qreal size, QFont::Weight weight)
{
    m_font = BrimfoldDesign::font(size, weight);
    updateGeometry();
    update();
}

void GalleryButton::setInk(std::optional<QColor> ink)
{
    m_ink = ink;
    update();
}

void GalleryButton::setFixedContentHeight(int height)
{
    m_height = height;
    updateGeometry();
}

int GalleryButton::horizontalPadding() const
{
    switch (m_kind) {
    case Kind::plain:
        return 2;
    case Kind::soft:
        return 12;
    case Kind::prominent:
        return 14;
    case Kind::capsule:
        return 22;
    }
    return 0;
}

int GalleryButton::symbolSide() const
{
    return int(m_font.pixelSize() * 1.1 + 0.5);
}

QSize GalleryButton::sizeHint() const
{
    const QFontMetrics metrics(m_font);
    int width = metrics.horizontalAdvance(text());
    if (!m_icon.isNull())
        width += symbolSide() + (text().isEmpty() ? 0 : kGap);
    if (!m_hint.isEmpty())
        width += kGap + metrics.horizontalAdvance(m_hint);
    width += 2 * horizontalPadding();
    int height = m_height;
    if (height <= 0)
        height = metrics.height() + (m_kind == Kind::plain ? 2 : 16);
    return {width, height};
}

void GalleryButton::paintProminentFill(QPainter &painter, const QPainterPath &shape, bool down,
                                       bool hovered)
{
    const QRectF bounds = shape.boundingRect();
    QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
    QColor top = BrimfoldDesign::accent().lighter(118);
    QColor bottom = BrimfoldDesign::accent().darker(108);
    if (down) {
        top = top.darker(110);
        bottom = bottom.darker(110);
    } else if (hovered) {
        top = top.lighter(106);
        bottom = bottom.lighter(106);
    }
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillPath(shape, gradient);
    // A soft inner top light keeps the fill from looking flat.
    painter.save();
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    painter.restore();
}

void GalleryButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor accent = BrimfoldDesign::accent();
    if (!isEnabled())
        painter.setOpacity(0.55);

    QColor ink;
    switch (m_kind) {
    case Kind::plain:
        ink = m_ink.value_or(accent);
        if (underMouse() || isDown())
            ink = ink.darker(125);
        break;
    case Kind::soft: {
        const qreal tint = kSoftOpacity + (isDown() ? 0.05 : underMouse() ? 0.025 : 0.0);
        const QColor fill = BrimfoldDesign::primary(palette(), tint);
        KeptPicture::paint(painter, bounds, QStringLiteral("soft:%1").arg(fill.rgba()),
                           [&](QPainter &target, const QRectF &box) {
                               QPainterPath shape;
                               shape.addRoundedRect(box, kButtonRadius, kButtonRadius);
                               target.fillPath(shape, fill);
                           });
        ink = BrimfoldDesign::primary(palette(), 0.85);
        break;
    }
    case Kind::prominent:
    case Kind::capsule: {
        const bool capsule = m_kind == Kind::capsule;
        const bool down = isDown(), hovered = underMouse();
        KeptPicture::paint(painter, bounds,
                           QStringLiteral("prominent:%1:%2:%3:%4").arg(capsule).arg(down).arg(hovered).arg(BrimfoldDesign::accent().rgba()),
                           [&](QPainter &target, const QRectF &box) {
                               const qreal radius = capsule ? box.height() / 2 : kButtonRadius;
                               QPainterPath shape;
                               shape.addRoundedRect(box, radius, radius);
                               paintProminentFill(target, shape, down, hovered);
                           });
        ink = Qt::white;
        break;
    }
    }

    const QFontMetrics metrics(m_font);
    int contentWidth = metrics.horizontalAdvance(text());
    if (!m_icon.isNull())
        contentWidth += symbolSide() + (text().isEmpty() ? 0 : kGap);
    if (!m_hint.isEmpty())
        contentWidth += kGap + metrics.horizontalAdvance(m_hint);
    qreal x = m_kind == Kind::plain ? horizontalPadding() : (width() - contentWidth) / 2.0;
    const qreal midY = height() / 2.0;

    if (!m_icon.isNull()) {
        const int side = symbolSide();
        SymbolIcons::paint(painter, QRectF(x, midY - side / 2.0, side, side), m_icon, side, ink);
        x += side + kGap;
    }
    painter.setFont(m_font);
    painter.setPen(ink);
    const qreal baseline = midY + (metrics.ascent() - metrics.descent()) / 2.0;
    painter.drawText(QPointF(x, baseline), text());
    x += metrics.horizontalAdvance(text());
    if (!m_hint.isEmpty()) {
        QColor hintInk = ink;
        hintInk.setAlphaF(float(ink.alphaF() * kHintOpacity));
        painter.setPen(hintInk);
        painter.drawText(QPointF(x + kGap, baseline), m_hint);
    }
}
