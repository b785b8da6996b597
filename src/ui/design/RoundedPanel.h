#pragma once

#include <QColor>
#include <QWidget>

#include <functional>

// A plain rounded rectangle behind child widgets: the welcome screen's folder card and the
// numbered circles of its steps.
class RoundedPanel final : public QWidget
{
    Q_OBJECT

public:
    // The fill, worked out from the panel's palette each time it paints.
    using Fill = std::function<QColor(const QPalette &)>;

    // `radius` < 0 means a capsule/circle (half the height).
    RoundedPanel(const QColor &fill, qreal radius, QWidget *parent = nullptr);
    RoundedPanel(Fill fill, qreal radius, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Fill m_fill;
    qreal m_radius;
};
