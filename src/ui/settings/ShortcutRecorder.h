#pragma once

#include "settings/Shortcut.h"

#include <QPushButton>

// The control with which the user records the global shortcut: a rounded button showing the
// current shortcut. A click starts recording ("Press shortcut…"); the next key pressed with
// Ctrl, Alt or Super becomes the new shortcut, reported through `recorded`. Escape, losing
// focus and `cancelRecording` end a recording without one.
class RecorderButton final : public QPushButton
{
    Q_OBJECT

public:
    explicit RecorderButton(QWidget *parent = nullptr);

    const Shortcut &shortcut() const { return m_shortcut; }
    // The title follows at once unless a recording is under way, whose prompt stays.
    void setShortcut(const Shortcut &shortcut);
    bool recording() const { return m_recording; }

    void startRecording();
    void cancelRecording();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // A combination was recorded. The button goes on showing its current shortcut until it
    // is given the new one, which happens only once the new one could be registered.
    void recorded(const Shortcut &shortcut);

protected:
    bool event(QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void recordKey(const QKeyEvent &event);

    Shortcut m_shortcut;
    bool m_recording = false;
};
