#pragma once

#include <QAbstractButton>

// A switch with its title beside it: an accent-coloured track while on, a faint one while off,
// and a white knob that sits at the end matching the state. The title is part of the button,
// so clicking it toggles too; screen readers hear a checkable button with the title.
class FeedbackToggle final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit FeedbackToggle(const QString &title, QWidget *parent = nullptr);

    // Where the title starts, so text placed beneath it can line up.
    static int titleOffset();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool m_hovered = false;
};
