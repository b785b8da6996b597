#include "ui/controls/KeyHint.h"

#include "ui/design/BrimfoldDesign.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kCapPadding = 7;
constexpr int kCapHeight = 22;
constexpr int kCapGap = 4; // between the cap and its label
constexpr qreal kCapRadius = 6;
} // namespace

KeyHint::KeyHint(const QString &keys, const QString &label, QWidget *parent)
    : QWidget(parent)
    , m_keys(keys)
    , m_label(label)
    , m_capFont(BrimfoldDesign::font(11, QFont::Medium))
    , m_labelFont(BrimfoldDesign::font(12))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(label + QStringLiteral(": ") + keys);
}

int KeyHint::capWidth() const
{
    return QFontMetrics(m_capFont).horizontalAdvance(m_keys) + 2 * kCapPadding;
}

QSize KeyHint::sizeHint() const
{
    return {capWidth() + kCapGap + QFontMetrics(m_labelFont).horizontalAdvance(m_label) + 1,
            kCapHeight + 2};
}

void KeyHint::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    const QRectF cap(0.5, (height() - kCapHeight) / 2.0 + 0.5, capWidth() - 1, kCapHeight - 1);
    QPainterPath shape;
    shape.addRoundedRect(cap, kCapRadius, kCapRadius);
    painter.fillPath(shape, BrimfoldDesign::primary(colours, 0.055));
    painter.setPen(QPen(BrimfoldDesign::primary(colours, 0.16), 1));
    painter.drawPath(shape);
    // A slightly heavier lower edge, as a key cap has.
    painter.setPen(QPen(BrimfoldDesign::primary(colours, 0.1), 1));
    painter.drawLine(QPointF(cap.left() + kCapRadius, cap.bottom() + 0.5),
                     QPointF(cap.right() - kCapRadius, cap.bottom() + 0.5));

    painter.setFont(m_capFont);
    painter.setPen(BrimfoldDesign::primary(colours, 0.8));
    painter.drawText(cap, Qt::AlignCenter, m_keys);
    painter.setFont(m_labelFont);
    painter.setPen(BrimfoldDesign::secondary(colours));
    painter.drawText(QRectF(capWidth() + kCapGap, 0, width() - capWidth() - kCapGap, height()),
                     Qt::AlignLeft | Qt::AlignVCenter, m_label);
}
