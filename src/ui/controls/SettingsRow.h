#pragma once

#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QHBoxLayout;

// One row of a settings card: its content side by side with the card's padding. A row may
// have an activator, a control that a click anywhere on the row operates, as a switch row
// toggles when its title is clicked.
class SettingsRow final : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsRow(QWidget *parent = nullptr);

    QHBoxLayout *content() const { return m_content; }
    void setActivator(QAbstractButton *activator);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QHBoxLayout *m_content;
    QPointer<QAbstractButton> m_activator;
};
