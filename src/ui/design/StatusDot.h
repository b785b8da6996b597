#pragma once

#include <QColor>
#include <QWidget>

// The footer's small round status light.
class StatusDot final : public QWidget
{
    Q_OBJECT

public:
    explicit StatusDot(int diameter, QWidget *parent = nullptr);

    const QColor &colour() const { return m_colour; }
    void setColour(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_colour;
};
