#include "ui/design/BusySpinner.h"

#include "ui/design/BrimfoldDesign.h"

#include <QPainter>

namespace {
constexpr int kSpokes = 12;
constexpr int kTickMs = 80;
} // namespace

BusySpinner::BusySpinner(int side, qreal scale, QWidget *parent)
    : QWidget(parent)
    , m_scale(scale)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(side, side);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_phase = (m_phase + 1) % kSpokes;
        update();
    });
}

void BusySpinner::showEvent(QShowEvent *)
{
    m_timer.start();
}

void BusySpinner::hideEvent(QHideEvent *)
{
    m_timer.stop();
}

void BusySpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal radius = std::min(width(), height()) / 2.0 * m_scale;
    const QColor ink = BrimfoldDesign::primary(palette());
    QPen pen(ink, std::max(1.2, radius * 0.18), Qt::SolidLine, Qt::RoundCap);
    painter.translate(QRectF(rect()).center());
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the phase is darkest; the ones behind it fade.
        const int age = (m_phase - i + kSpokes) % kSpokes;
        QColor colour = ink;
        colour.setAlphaF(float(ink.alphaF() * (1.0 - 0.75 * age / (kSpokes - 1.0))));
        pen.setColor(colour);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -radius * 0.5), QPointF(0, -radius * 0.92));
        painter.rotate(360.0 / kSpokes);
    }
}
