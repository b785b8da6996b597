#pragma once

#include <QAbstractButton>
#include <QPoint>
#include <QPointF>
#include <QTimer>

#include <functional>
#include <optional>

// The transparent control over the floating button that turns the pointer into a click, a
// drag of the whole window, or (through the widget's context-menu request) a menu.
//
// A press is remembered; a release without reaching the drag threshold opens. Once the pointer
// has moved 4 px (window coordinates) from the press, the window follows the pointer. Should
// the release never reach us (another program grabbing the pointer), a 50 ms timer polls the
// primary button: whichever of the poll and the release sees it up first ends the drag, and
// `moveEnded` is emitted exactly once per drag.
//
// Idle → pressed (press) → dragging (threshold) → idle (finishDrag, with moveEnded); hiding
// the control returns it to idle without moveEnded.
class FloatingMoveButton final : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr qreal dragThreshold = 4.0;
    static constexpr int dragPollIntervalMs = 50;

    explicit FloatingMoveButton(QWidget *parent = nullptr);
    ~FloatingMoveButton() override;

    bool isPressed() const { return m_downScenePos.has_value(); }
    bool isDragging() const { return m_moved; }
    bool isPolling() const { return m_dragCompletionTimer.isActive(); }

    // Whether the primary mouse button is held right now. The default is Qt's idea of it; the
    // application hands in the desktop's (Qt misses a release another program's grab takes),
    // tests their own.
    using ButtonProbe = std::function<bool()>;
    void setPrimaryButtonProbe(ButtonProbe probe);
    static bool primaryButtonPressed();

    // Ends a drag: stops the poll and, when a drag was running, emits moveEnded. Safe to call
    // again; the second call finds nothing to do.
    void finishDrag();

signals:
    // A click (or the screen reader's press action).
    void openRequested();
    void moveStarted();
    void moveEnded();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void startDrag(const QPointF &globalPos);
    void pollButton();
    void reset();

    std::optional<QPointF> m_downScenePos;
    QPointF m_downGlobalPos;
    bool m_moved = false;
    QPoint m_windowOrigin;
    QTimer m_dragCompletionTimer;
    ButtonProbe m_probe;
};
