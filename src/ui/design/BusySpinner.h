#pragma once

#include <QTimer>
#include <QWidget>

// An indeterminate progress spinner: twelve spokes whose brightness runs round. It only ticks
// while shown.
class BusySpinner final : public QWidget
{
    Q_OBJECT

public:
    // `side`: the drawn diameter; `scale` shrinks the drawing inside that frame (0.75 in the
    // footer).
    explicit BusySpinner(int side, qreal scale = 1.0, QWidget *parent = nullptr);

    int phase() const { return m_phase; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    qreal m_scale;
    int m_phase = 0;
    QTimer m_timer;
};
