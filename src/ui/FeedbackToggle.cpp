#include "ui/FeedbackToggle.h"

#include "ui/BrimfoldDesign.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kTrackWidth = 34;
constexpr int kTrackHeight = 20;
constexpr int kKnobInset = 2;
constexpr int kGap = 10;
constexpr int kFocusRim = 3;     // room around the track for the focus ring
constexpr int kHeight = 26;

QFont titleFont()
{
    return BrimfoldDesign::font(13);
}

} // namespace

FeedbackToggle::FeedbackToggle(const QString &title, QWidget *parent)
    : QAbstractButton(parent)
{
    setText(title);
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(title);
}

int FeedbackToggle::titleOffset()
{
    return kFocusRim + kTrackWidth + kGap;
}

QSize FeedbackToggle::sizeHint() const
{
    return {titleOffset() + QFontMetrics(titleFont()).horizontalAdvance(text()) + kFocusRim,
            kHeight};
}

void FeedbackToggle::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FeedbackToggle::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void FeedbackToggle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    if (!isEnabled())
        painter.setOpacity(0.5);

    const QRectF track(kFocusRim, (height() - kTrackHeight) / 2.0, kTrackWidth, kTrackHeight);
    QPainterPath trackShape;
    trackShape.addRoundedRect(track, kTrackHeight / 2.0, kTrackHeight / 2.0);
    if (hasFocus()) {
        const QRectF ring = track.adjusted(-2.5, -2.5, 2.5, 2.5);
        painter.setPen(QPen(BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.5), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(ring, ring.height() / 2, ring.height() / 2);
    }
    QColor fill = isChecked() ? BrimfoldDesign::accent()
                              : BrimfoldDesign::primary(colours, m_hovered ? 0.2 : 0.15);
    if (isChecked() && (m_hovered || isDown()))
        fill = fill.lighter(isDown() ? 95 : 108);
    painter.fillPath(trackShape, fill);

    const qreal knobSide = kTrackHeight - 2 * kKnobInset;
    const qreal knobX = isChecked() ? track.right() - kKnobInset - knobSide : track.left() + kKnobInset;
    const QRectF knob(knobX, track.top() + kKnobInset, knobSide, knobSide);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 38));
    painter.drawEllipse(knob.translated(0, 0.75));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);

    painter.setFont(titleFont());
    painter.setPen(BrimfoldDesign::primary(colours));
    const QRectF title(titleOffset(), 0, width() - titleOffset(), height());
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter, text());
}
