#include "ui/controls/SegmentedControl.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/controls/SettingsStyle.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kInset = 3;
constexpr int kSegmentPadding = 14;
constexpr int kSegmentHeight = 26;
constexpr qreal kTrackRadius = 9;
constexpr qreal kSegmentRadius = 7;

class Segment final : public QAbstractButton
{
public:
    Segment(const QString &title, QWidget *parent)
        : QAbstractButton(parent)
    {
        setText(title);
        setCheckable(true);
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setFont(BrimfoldDesign::font(12, QFont::Medium));
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance(text()) + 2 * kSegmentPadding, kSegmentHeight};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette &colours = palette();
        const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath shape;
        shape.addRoundedRect(bounds, kSegmentRadius, kSegmentRadius);
        QColor ink;
        if (isChecked()) {
            QLinearGradient fill(bounds.topLeft(), bounds.bottomLeft());
            fill.setColorAt(0, BrimfoldDesign::accent().lighter(112));
            fill.setColorAt(1, BrimfoldDesign::accent());
            painter.fillPath(shape, fill);
            ink = Qt::white;
        } else {
            if (isDown() || underMouse())
                painter.fillPath(shape, BrimfoldDesign::primary(colours, isDown() ? 0.1 : 0.06));
            ink = BrimfoldDesign::primary(colours, 0.78);
        }
        if (hasFocus()) {
            painter.setPen(QPen(isChecked() ? QColor(255, 255, 255, 170) : SettingsStyle::focusRing(),
                                1.5));
            painter.drawRoundedRect(bounds.adjusted(1, 1, -1, -1), kSegmentRadius - 1,
                                    kSegmentRadius - 1);
        }
        painter.setPen(ink);
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

} // namespace

SegmentedControl::SegmentedControl(const QStringList &titles, const QString &accessibleName,
                                   QWidget *parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    setAccessibleName(accessibleName);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(kInset, kInset, kInset, kInset);
    row->setSpacing(2);
    m_group->setExclusive(true);
    for (const QString &title : titles) {
        auto *segment = new Segment(title, this);
        m_group->addButton(segment, int(m_segments.size()));
        m_segments.append(segment);
        // Equal stretch: given more width than it asks for, the segments share it evenly.
        row->addWidget(segment, 1);
    }
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedControl::activated);
}

int SegmentedControl::currentIndex() const
{
    return m_group->checkedId();
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (index >= 0 && index < count()) {
        m_segments.at(index)->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; lift that to show no choice.
    m_group->setExclusive(false);
    for (QAbstractButton *segment : std::as_const(m_segments))
        segment->setChecked(false);
    m_group->setExclusive(true);
}

void SegmentedControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);
    QPainterPath track;
    track.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kTrackRadius, kTrackRadius);
    painter.fillPath(track, BrimfoldDesign::primary(palette(), 0.06));
    painter.setPen(QPen(BrimfoldDesign::primary(palette(), 0.06), 1));
    painter.drawPath(track);
}
