#include "ui/design/RoundedPanel.h"

#include <QPainter>
#include <QPainterPath>

RoundedPanel::RoundedPanel(const QColor &fill, qreal radius, QWidget *parent)
    : RoundedPanel(Fill([fill](const QPalette &) { return fill; }), radius, parent)
{
}

RoundedPanel::RoundedPanel(Fill fill, qreal radius, QWidget *parent)
    : QWidget(parent)
    , m_fill(std::move(fill))
    , m_radius(radius)
{
}

void RoundedPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(rect());
    const qreal radius = m_radius < 0 ? box.height() / 2 : m_radius;
    QPainterPath shape;
    shape.addRoundedRect(box, radius, radius);
    painter.fillPath(shape, m_fill(palette()));
}
