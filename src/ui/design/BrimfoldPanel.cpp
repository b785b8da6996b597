#include "ui/design/BrimfoldPanel.h"

#include "platform/Accessibility.h"
#include "ui/design/GlassSurface.h"

#include <QEvent>
#include <QLoggingCategory>
#include <QPainterPath>
#include <QRegion>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <time.h>
#include <utility>

// "<title> painted <ns>" once a panel's first frame after each show is on screen, "<title> hidden
// <ns>" when it is hidden, on the monotonic clock: the hot-key benchmark times key to frame.
Q_LOGGING_CATEGORY(lcFrames, "brimfold.frames", QtWarningMsg)

namespace {

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

BrimfoldPanel::BrimfoldPanel(QWidget *content, bool allowsKeyboard,
                             const Accessibility &accessibility, qreal radius, int inset)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                           | Qt::NoDropShadowWindowHint
                           | (allowsKeyboard ? Qt::WindowFlags() : Qt::WindowDoesNotAcceptFocus))
    , m_content(content)
    , m_allowsKeyboard(allowsKeyboard)
    , m_accessibility(&accessibility)
    , m_radius(radius)
    , m_inset(inset)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(false);
    if (!allowsKeyboard)
        setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    connect(&accessibility, &Accessibility::changed, this, &BrimfoldPanel::updateMask);
}

void BrimfoldPanel::present()
{
    if (!isVisible())
        show();
    raise();
}

void BrimfoldPanel::place(const QRect &frame)
{
    m_placed = frame;
    setGeometry(frame);
}

void BrimfoldPanel::setVisible(bool visible)
{
    if (visible && !isVisible())
        matchTranslucency();
    QWidget::setVisible(visible);
}

void BrimfoldPanel::matchTranslucency()
{
    // Without a compositor the glass is opaque, and a window with an alpha channel only costs:
    // the window manager gives its frame the same visual, and every show waits for that.
    const bool translucent = !m_accessibility || !m_accessibility->reduceTransparency();
    if (translucent == testAttribute(Qt::WA_TranslucentBackground))
        return;
    // The visual is chosen when the native window is made; a hidden panel can make it again.
    if (testAttribute(Qt::WA_WState_Created))
        destroy();
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    // An opaque window gets the window colour beneath its content, not what was there before.
    setAttribute(Qt::WA_NoSystemBackground, translucent);
    m_maskStale = true;
}

void BrimfoldPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    qCInfo(lcFrames).noquote() << windowTitle() << "hidden" << monotonicNs();
}

void BrimfoldPanel::showEvent(QShowEvent *event)
{
    if (std::exchange(m_maskStale, false))
        updateMask();
    QWidget::showEvent(event);
    m_mappedSinceShow = false;
    if (QWindow *window = windowHandle()) {
        window->removeEventFilter(this);
        window->installEventFilter(this);
    }
}

bool BrimfoldPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose && !m_mappedSinceShow
        && windowHandle()->isExposed()) {
        m_mappedSinceShow = true;
        // WORKAROUND(x11): a tool window may be reported at (0,0), or placed by the window
        // manager, right after it is first mapped; put it where it belongs again.
        if (m_placed.isValid() && geometry() != m_placed)
            setGeometry(m_placed);
        emit exposed();
        if (lcFrames().isInfoEnabled()) {
            // Queued: the frame is painted and flushed by the expose being handled now.
            QTimer::singleShot(0, this, [this] {
                qCInfo(lcFrames).noquote() << windowTitle() << "painted" << monotonicNs();
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BrimfoldPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // A hidden panel is sized and placed more than once before it shows; its clip is worked
    // out when it shows, before its window is mapped.
    if (isVisible())
        updateMask();
    else
        m_maskStale = true;
}

void BrimfoldPanel::setSurfaceShape(std::function<QPainterPath()> shape)
{
    m_shape = std::move(shape);
    updateMask();
}

void BrimfoldPanel::updateMask()
{
    m_maskStale = false;
    // A window without an alpha channel keeps the rounded clip even while the glass could be
    // translucent: it becomes translucent only when it is next shown.
    if ((m_accessibility && m_accessibility->reduceTransparency()) || !testAttribute(Qt::WA_TranslucentBackground)) {
        const QRectF surface = QRectF(rect()).adjusted(m_inset, m_inset, -m_inset, -m_inset);
        const QPainterPath shape = m_shape ? m_shape() : GlassSurface::outline(surface, m_radius);
        setMask(GlassSurface::windowShape(shape));
    } else {
        clearMask();
    }
}
