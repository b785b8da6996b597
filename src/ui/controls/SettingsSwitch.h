#pragma once

#include <QAbstractButton>

// An on/off switch: an accent track with the knob at its end while on, a faint track while
// off. It has no text of its own; the row's title beside it names it, and so does its
// accessible name, which the caller sets to that title.
class SettingsSwitch final : public QAbstractButton
{
    Q_OBJECT

public:
    // Room around the track for the focus ring.
    static constexpr int focusRim = 3;

    explicit SettingsSwitch(const QString &accessibleName, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};
