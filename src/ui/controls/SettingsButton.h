#pragma once

#include <QAbstractButton>

// The settings window's text buttons, focusable and drawn in the house style:
// - soft: primary text on a faint rounded tint ("Change…", "Reset position");
// - prominent: white text on the accent gradient ("Open gallery");
// - link: accent text on nothing, underlined under the pointer ("Support Brimfold ↗").
class SettingsButton final : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Kind { soft, prominent, link };

    SettingsButton(Kind kind, const QString &title, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Kind m_kind;
};
