#pragma once

#include "core/Screenshot.h"

#include <QIcon>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <optional>

class Accessibility;
class FloatingMoveButton;
class LibraryModel;
class Preferences;
class QMenu;
class QVariantAnimation;
class ThumbnailCache;

// The small always-on-top button the gallery opens from: the newest screenshot as a tilted
// card on glass (the product glyph while there is none), a coral dot while new screenshots
// wait, a slight grow under the pointer and one short pulse per scan that brought arrivals.
// A transparent FloatingMoveButton over the glass turns the pointer into a click, a drag of
// the hosting window or the context menu; the button only reports them as signals.
//
// The widget is the button's side plus a 12 px transparent margin on every side. While the
// glass is opaque (no compositor, or reduce transparency) a window showing the button must be
// shaped to `surfaceShape()`, since its transparent margin would otherwise show garbage; the
// button does that itself when it is a window, and tells a hosting panel when the shape moves.
class FloatingButton final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int margin = 12;
    static constexpr int arrivalPulseMs = 220;
    static constexpr qreal arrivalScale = 1.07;
    static constexpr qreal hoverScale = 1.035;
    static constexpr qreal restingTilt = 4.0; // degrees; 0 while hovered

    // Every reference must outlive the button.
    FloatingButton(LibraryModel &model, Preferences &preferences,
                   const Accessibility &accessibility, ThumbnailCache &thumbnails,
                   QWidget *parent = nullptr);
    ~FloatingButton() override;

    int side() const;
    // The pointer is over the button (over its move handle, which covers it).
    bool hovered() const;
    // True for the 0.22 s of an arrival pulse.
    bool arrival() const { return m_arrival; }
    // The current, possibly mid-animation, scale and front-card tilt.
    qreal currentScale() const { return m_scale; }
    qreal currentTilt() const { return m_tilt; }
    // The glyph stands in for the card while the library has no screenshot.
    bool showsGlyph() const { return !m_latest.has_value(); }
    bool showsDot() const;

    // "Open Brimfold, N screenshots[, new screenshots available]"; the control's accessible name.
    QString label() const;
    // Two lines: how to open (with the global shortcut) and what dragging and right-click do;
    // the control's tool tip and accessible description.
    QString help() const;

    FloatingMoveButton *moveButton() const { return m_moveButton; }

    // The context menu as it would show now, parented to this button (delete it when done).
    // "Copy latest screenshot" copies the screenshot that was newest when the menu was made.
    QMenu *createContextMenu();

    // The glass (and the dot beside it) at the current scale, in this widget's coordinates;
    // GlassSurface::windowShape() of it is the window shape while the glass is opaque.
    QPainterPath surfaceShape() const;

    // The scale the button settles at in these states.
    static qreal targetScale(bool arrival, bool hovered);

    QSize sizeHint() const override;

signals:
    void openRequested();
    void settingsRequested();
    void moveStarted();
    void moveEnded();
    void resetPositionRequested();
    // Each pulse sets it true, then false 0.22 s later (or when a newer arrival cuts it short).
    void arrivalChanged(bool arrival);
    // surfaceShape() changed: size, scale, the dot or the glass's opacity.
    void surfaceShapeChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void itemsChanged();
    void refreshInteraction();
    void applySize();
    void setArrival(bool arrival);
    void pulse();
    void retarget();
    void animate(QVariantAnimation *animation, qreal &value, qreal target);
    void thumbnailLoaded(const QString &key);
    void showContextMenu(const QPoint &pos);
    bool glassIsOpaque() const;
    void updateWindowShape();

    void paintCards(QPainter &painter, const QRectF &square);
    void paintGlyph(QPainter &painter, const QRectF &square);
    void paintDot(QPainter &painter, const QRectF &square);

    LibraryModel &m_model;
    Preferences &m_preferences;
    QPointer<const Accessibility> m_accessibility;
    ThumbnailCache &m_thumbnails;
    FloatingMoveButton *m_moveButton;
    QIcon m_placeholder;
    std::optional<Screenshot> m_latest;

    bool m_arrival = false;
    bool m_shownOnce = false;
    qreal m_scale = 1.0;
    qreal m_tilt = restingTilt;
    QVariantAnimation *m_scaleAnimation;
    QVariantAnimation *m_tiltAnimation;
    QTimer m_arrivalTimer;
};
