#include "ui/controls/SettingsButton.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/controls/GalleryButton.h"
#include "ui/controls/SettingsStyle.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal kSettingsButtonRadius = 8;
} // namespace

SettingsButton::SettingsButton(Kind kind, const QString &title, QWidget *parent)
    : QAbstractButton(parent)
    , m_kind(kind)
{
    setText(title);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(BrimfoldDesign::font(kind == Kind::prominent ? 13 : 12, QFont::Medium));
}

QSize SettingsButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(text());
    switch (m_kind) {
    case Kind::soft:
        return {width + 28, 30};
    case Kind::prominent:
        return {width + 36, 32};
    case Kind::link:
        return {width + 6, metrics.height() + 6};
    }
    return {width, metrics.height()};
}

void SettingsButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    if (!isEnabled())
        painter.setOpacity(0.45);
    const bool hovered = underMouse() && isEnabled();
    const QRectF bounds = QRectF(rect()).adjusted(1, 1, -1, -1);
    QPainterPath shape;
    shape.addRoundedRect(bounds, kSettingsButtonRadius, kSettingsButtonRadius);

    QColor ink;
    QFont type = font();
    switch (m_kind) {
    case Kind::soft: {
        const qreal tint = 0.07 + (isDown() ? 0.05 : hovered ? 0.03 : 0.0);
        painter.fillPath(shape, BrimfoldDesign::primary(colours, tint));
        ink = BrimfoldDesign::primary(colours, 0.88);
        break;
    }
    case Kind::prominent: {
        GalleryButton::paintProminentFill(painter, shape, isDown(), hovered);
        ink = Qt::white;
        break;
    }
    case Kind::link:
        ink = SettingsStyle::ink(colours, SettingsStyle::Tone::accent);
        if (isDown())
            ink = ink.darker(120);
        type.setUnderline(hovered);
        break;
    }

    if (hasFocus()) {
        // On the accent fill an accent ring would vanish: a light one inside it instead.
        const bool onAccent = m_kind == Kind::prominent;
        const qreal inset = onAccent ? 3 : 1;
        painter.setPen(QPen(onAccent ? QColor(255, 255, 255, 210) : SettingsStyle::focusRing(),
                            onAccent ? 1.5 : 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset),
                                kSettingsButtonRadius - inset + 1, kSettingsButtonRadius - inset + 1);
    }
    painter.setFont(type);
    painter.setPen(ink);
    painter.drawText(rect(), Qt::AlignCenter, text());
}
