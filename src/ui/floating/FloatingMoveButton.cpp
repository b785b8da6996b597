#include "ui/floating/FloatingMoveButton.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>

#include <cmath>
#include <cstdlib>

FloatingMoveButton::FloatingMoveButton(QWidget *parent)
    : QAbstractButton(parent)
{
    // Clicking the button must leave keyboard focus where the user had it.
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::OpenHandCursor);
    setAttribute(Qt::WA_NoSystemBackground);
    m_dragCompletionTimer.setInterval(dragPollIntervalMs);
    m_dragCompletionTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_dragCompletionTimer, &QTimer::timeout, this, &FloatingMoveButton::pollButton);
    // Mouse clicks are tracked by hand below and never reach QAbstractButton, so `clicked`
    // comes only from the screen reader's press action.
    connect(this, &QAbstractButton::clicked, this, &FloatingMoveButton::openRequested);
}

FloatingMoveButton::~FloatingMoveButton() = default;

void FloatingMoveButton::setPrimaryButtonProbe(ButtonProbe probe)
{
    m_probe = std::move(probe);
}

bool FloatingMoveButton::primaryButtonPressed()
{
    return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
}

void FloatingMoveButton::paintEvent(QPaintEvent *)
{
    // Transparent: the floating button beneath draws everything.
}

void FloatingMoveButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_downScenePos = event->scenePosition();
    m_downGlobalPos = event->globalPosition();
    m_moved = false;
    event->accept();
}

void FloatingMoveButton::mouseMoveEvent(QMouseEvent *event)
{
    if (m_moved) {
        window()->move(m_windowOrigin + (event->globalPosition() - m_downGlobalPos).toPoint());
        return;
    }
    if (!m_downScenePos)
        return;
    const QPointF delta = event->scenePosition() - *m_downScenePos;
    // Small jitter during a click must not turn it into a drag.
    if (std::hypot(delta.x(), delta.y()) < dragThreshold)
        return;
    startDrag(event->globalPosition());
}

void FloatingMoveButton::startDrag(const QPointF &globalPos)
{
    m_moved = true;
    Q_EMIT moveStarted();
    setCursor(Qt::ClosedHandCursor);
    // The panel follows the pointer from the spot it was pressed at, exactly. A window
    // manager's move would start from wherever the pointer is when it takes over, leaving the
    // button behind by the drag threshold or more.
    QWidget *host = window();
    m_windowOrigin = host->pos();
    host->move(m_windowOrigin + (globalPos - m_downGlobalPos).toPoint());
    // The release normally comes to us (the press grabbed the pointer); the poll covers a
    // release that never arrives, such as one swallowed by a grab of another program.
    m_dragCompletionTimer.start();
}

void FloatingMoveButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (m_moved) {
        finishDrag();
        return;
    }
    const bool pressed = m_downScenePos.has_value();
    m_downScenePos.reset();
    if (pressed && rect().contains(event->position().toPoint()))
        Q_EMIT openRequested();
}

void FloatingMoveButton::pollButton()
{
    const bool down = m_probe ? m_probe() : primaryButtonPressed();
    if (!down)
        finishDrag();
}

void FloatingMoveButton::finishDrag()
{
    m_dragCompletionTimer.stop();
    if (!m_moved)
        return;
    reset();
    Q_EMIT moveEnded();
}

void FloatingMoveButton::hideEvent(QHideEvent *event)
{
    // The panel went away mid-drag: nobody is waiting for the end of this move.
    reset();
    QAbstractButton::hideEvent(event);
}

void FloatingMoveButton::reset()
{
    m_dragCompletionTimer.stop();
    m_downScenePos.reset();
    m_moved = false;
    setCursor(Qt::OpenHandCursor);
}
