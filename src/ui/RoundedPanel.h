#pragma once

#include <QColor>
#include <QWidget>

// A plain rounded rectangle behind child widgets: the welcome screen's folder card and the
// numbered circles of its steps.
class RoundedPanel final : public QWidget
{
    Q_OBJECT

public:
    // `fill` as a fixed colour; `radius` < 0 means a capsule/circle (half the height).
    RoundedPanel(const QColor &fill, qreal radius, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    qreal m_radius;
};
