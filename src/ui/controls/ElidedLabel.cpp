#include "ui/controls/ElidedLabel.h"

#include "ui/design/BrimfoldDesign.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

ElidedLabel::ElidedLabel(qreal size, QFont::Weight weight, SettingsStyle::Tone tone,
                         Qt::TextElideMode mode, QWidget *parent)
    : QWidget(parent)
    , m_tone(tone)
    , m_mode(mode)
{
    setFont(BrimfoldDesign::font(size, weight));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setToolTip(text);
    setAccessibleName(text);
    updateGeometry();
    update();
}

QString ElidedLabel::shownText() const
{
    return QFontMetrics(font()).elidedText(m_text, m_mode, width());
}

QSize ElidedLabel::sizeHint() const
{
    // Fractional advances summed, so the hint is never a pixel short of the whole text.
    const QFontMetricsF metrics(font());
    return {int(std::ceil(metrics.horizontalAdvance(m_text))) + 1, int(std::ceil(metrics.height()))};
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, QFontMetrics(font()).height()};
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(SettingsStyle::ink(palette(), m_tone));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}
