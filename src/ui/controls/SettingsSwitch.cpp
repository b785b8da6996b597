#include "ui/controls/SettingsSwitch.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/controls/SettingsStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal kTrackWidth = 40;
constexpr qreal kTrackHeight = 24;
constexpr qreal kKnobInset = 2.5;
constexpr qreal kRim = SettingsSwitch::focusRim;
} // namespace

SettingsSwitch::SettingsSwitch(const QString &accessibleName, QWidget *parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(accessibleName);
}

QSize SettingsSwitch::sizeHint() const
{
    return QSize(int(kTrackWidth + 2 * kRim), int(kTrackHeight + 2 * kRim));
}

bool SettingsSwitch::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void SettingsSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    if (!isEnabled())
        painter.setOpacity(0.45);

    const QRectF track(kRim, (height() - kTrackHeight) / 2.0, kTrackWidth, kTrackHeight);
    QPainterPath shape;
    shape.addRoundedRect(track, kTrackHeight / 2, kTrackHeight / 2);
    const bool hovered = underMouse();
    QColor fill = isChecked() ? BrimfoldDesign::accent()
                              : BrimfoldDesign::primary(colours, hovered ? 0.22 : 0.17);
    if (isChecked() && (hovered || isDown()))
        fill = fill.lighter(isDown() ? 95 : 108);
    painter.fillPath(shape, fill);

    if (hasFocus()) {
        const QRectF ring = track.adjusted(-2, -2, 2, 2);
        painter.setPen(QPen(SettingsStyle::focusRing(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(ring, ring.height() / 2, ring.height() / 2);
    }

    const qreal side = kTrackHeight - 2 * kKnobInset;
    const qreal x = isChecked() ? track.right() - kKnobInset - side : track.left() + kKnobInset;
    const QRectF knob(x, track.top() + kKnobInset, side, side);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 45));
    painter.drawEllipse(knob.translated(0, 0.8));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
}
