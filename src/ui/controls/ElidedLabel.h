#pragma once

#include "ui/controls/SettingsStyle.h"

#include <QWidget>

// One line of text that shortens itself with an ellipsis when it does not fit; the whole text
// stays available as its tooltip and to screen readers.
class ElidedLabel final : public QWidget
{
    Q_OBJECT

public:
    ElidedLabel(qreal size, QFont::Weight weight, SettingsStyle::Tone tone,
                Qt::TextElideMode mode, QWidget *parent = nullptr);

    const QString &text() const { return m_text; }
    void setText(const QString &text);
    // What is drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    SettingsStyle::Tone m_tone;
    Qt::TextElideMode m_mode;
};
