#pragma once

#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include <functional>

class Accessibility;

// A borderless window that floats above other applications' windows and has no taskbar entry:
// the floating button's panel and the gallery's. `allowsKeyboard` decides whether it may ever
// take keyboard focus; the floating button's never does, so clicking it leaves the user's
// window active.
//
// The content draws its own rounded glass. Where the glass is opaque (no compositor, or reduce
// transparency) the panel clips itself to the rounded surface, since without a compositor its
// transparent corners would show whatever the X server left there. The window has an alpha
// channel only while the glass is translucent; a change is applied when the panel next shows.
class BrimfoldPanel final : public QWidget
{
    Q_OBJECT

public:
    // `content` fills the panel and becomes its child; its surface is a rounded rectangle of
    // `radius`, `inset` pixels inside the panel's edges.
    BrimfoldPanel(QWidget *content, bool allowsKeyboard, const Accessibility &accessibility,
                  qreal radius, int inset = 0);

    bool allowsKeyboard() const { return m_allowsKeyboard; }
    QWidget *content() const { return m_content; }

    // Shows the panel without taking focus from the active window; a panel that allows the
    // keyboard is activated separately, once it is mapped.
    void present();

    // Moves and sizes the panel (Qt's top-left coordinates). The last frame placed is applied
    // again once the panel is mapped, because window managers may place a new utility window
    // themselves at first.
    void place(const QRect &frame);
    QRect placed() const { return m_placed; }

    // The content's surface in panel coordinates, when it is not the rounded rectangle given
    // at construction (the floating button grows and carries a dot past its corner).
    void setSurfaceShape(std::function<QPainterPath()> shape);
    // Clips the panel to the surface again; call when the surface changed.
    void updateMask();

    // Matches the window's translucency to the glass before it shows.
    void setVisible(bool visible) override;

signals:
    // The window manager has mapped the panel (it is really on screen).
    void exposed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void matchTranslucency();

    QWidget *m_content;
    bool m_allowsKeyboard;
    QPointer<const Accessibility> m_accessibility;
    qreal m_radius;
    int m_inset;
    std::function<QPainterPath()> m_shape;
    QRect m_placed;
    bool m_mappedSinceShow = false;
    bool m_maskStale = false;
};
