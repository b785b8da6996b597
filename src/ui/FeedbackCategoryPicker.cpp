#include "ui/FeedbackCategoryPicker.h"

#include "ui/BrimfoldDesign.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kHeight = 32;
constexpr int kInset = 3;          // between the track and the thumb
constexpr qreal kTrackRadius = 10;
constexpr qreal kThumbRadius = kTrackRadius - kInset;
constexpr qreal kTrackOpacity = 0.065;
constexpr int kSegmentPadding = 18;

bool isKeyboardFocusReason(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
        || reason == Qt::ShortcutFocusReason;
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

// One title. It draws the thumb under itself while chosen, so the thumb always sits exactly
// behind the title it belongs to.
class Segment final : public QAbstractButton
{
public:
    Segment(const QString &title, QWidget *parent)
        : QAbstractButton(parent)
    {
        setText(title);
        setCheckable(true);
        setAutoExclusive(true);
        // The picker holds focus for the pair; a click must not move it into one segment.
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(title);
    }

    QSize sizeHint() const override
    {
        return {QFontMetrics(font(true)).horizontalAdvance(text()) + 2 * kSegmentPadding,
                kHeight - 2 * kInset};
    }

    static QFont font(bool chosen)
    {
        return BrimfoldDesign::font(12.5, chosen ? QFont::DemiBold : QFont::Medium);
    }

protected:
    void enterEvent(QEnterEvent *event) override
    {
        m_hovered = true;
        update();
        QAbstractButton::enterEvent(event);
    }

    void leaveEvent(QEvent *event) override
    {
        m_hovered = false;
        update();
        QAbstractButton::leaveEvent(event);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette &colours = palette();
        const bool chosen = isChecked();
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (chosen) {
            QPainterPath thumb;
            thumb.addRoundedRect(box, kThumbRadius, kThumbRadius);
            if (isDark(colours)) {
                painter.fillPath(thumb, BrimfoldDesign::primary(colours, 0.17));
            } else {
                // A soft drop shadow lifts the white thumb off the track.
                QPainterPath shadow;
                shadow.addRoundedRect(box.translated(0, 1), kThumbRadius, kThumbRadius);
                painter.fillPath(shadow, BrimfoldDesign::primary(colours, 0.08));
                painter.fillPath(thumb, colours.color(QPalette::Base));
            }
            painter.setPen(QPen(BrimfoldDesign::primary(colours, 0.06), 1));
            painter.drawPath(thumb);
        } else if (m_hovered || isDown()) {
            QPainterPath hover;
            hover.addRoundedRect(box, kThumbRadius, kThumbRadius);
            painter.fillPath(hover, BrimfoldDesign::primary(colours, isDown() ? 0.07 : 0.04));
        }
        painter.setFont(font(chosen));
        painter.setPen(chosen ? BrimfoldDesign::primary(colours)
                              : BrimfoldDesign::primary(colours, 0.62));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    bool m_hovered = false;
};

} // namespace

FeedbackCategoryPicker::FeedbackCategoryPicker(const QStringList &titles, QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setFixedHeight(kHeight);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(kInset, kInset, kInset, kInset);
    row->setSpacing(kInset);
    for (int i = 0; i < titles.size(); ++i) {
        auto *segment = new Segment(titles.at(i), this);
        segment->setChecked(i == 0);
        // Equal stretch: the segments share the width evenly, as a segmented control does.
        row->addWidget(segment, 1);
        m_segments.append(segment);
        connect(segment, &QAbstractButton::toggled, this, [this, i](bool on) {
            if (!on || i == m_current)
                return;
            m_current = i;
            Q_EMIT currentIndexChanged(i);
        });
    }
}

QString FeedbackCategoryPicker::currentTitle() const
{
    return m_segments.isEmpty() ? QString() : m_segments.at(m_current)->text();
}

QAbstractButton *FeedbackCategoryPicker::segment(int index) const
{
    return index >= 0 && index < m_segments.size() ? m_segments.at(index) : nullptr;
}

void FeedbackCategoryPicker::setCurrentIndex(int index)
{
    if (QAbstractButton *chosen = segment(index))
        chosen->setChecked(true);
}

QSize FeedbackCategoryPicker::sizeHint() const
{
    int width = kInset;
    for (const QAbstractButton *segment : m_segments)
        width += segment->sizeHint().width() + kInset;
    return {width, kHeight};
}

void FeedbackCategoryPicker::keyPressEvent(QKeyEvent *event)
{
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    switch (event->key()) {
    case Qt::Key_Left:
        setCurrentIndex(m_current + (rightToLeft ? 1 : -1));
        return;
    case Qt::Key_Right:
        setCurrentIndex(m_current + (rightToLeft ? -1 : 1));
        return;
    case Qt::Key_Home:
        setCurrentIndex(0);
        return;
    case Qt::Key_End:
        setCurrentIndex(count() - 1);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void FeedbackCategoryPicker::focusInEvent(QFocusEvent *event)
{
    // Coming back to the window keeps whatever the ring was when the window was left.
    if (event->reason() != Qt::ActiveWindowFocusReason)
        m_focusVisible = isKeyboardFocusReason(event->reason());
    update();
    QWidget::focusInEvent(event);
}

void FeedbackCategoryPicker::focusOutEvent(QFocusEvent *event)
{
    if (event->reason() != Qt::ActiveWindowFocusReason)
        m_focusVisible = false;
    update();
    QWidget::focusOutEvent(event);
}

void FeedbackCategoryPicker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath track;
    track.addRoundedRect(box, kTrackRadius, kTrackRadius);
    painter.fillPath(track, BrimfoldDesign::primary(palette(), kTrackOpacity));
    if (hasFocus() && m_focusVisible) {
        painter.setPen(QPen(BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.7), 1.5));
        painter.drawPath(track);
    }
}
