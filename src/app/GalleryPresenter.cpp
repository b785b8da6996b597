#include "app/GalleryPresenter.h"

#include "app/AppServices.h"
#include "app/FloatingButtonPresenter.h"
#include "core/FloatingPlacement.h"
#include "core/PanelPlacement.h"
#include "library/LibraryModel.h"
#include "platform/Accessibility.h"
#include "platform/ActiveWindow.h"
#include "platform/Displays.h"
#include "text/ScreenshotTextIndex.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/GalleryView.h"
#include "ui/preview/PreviewWindow.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QVariantAnimation>
#include <QWindow>

#include <utility>

Q_LOGGING_CATEGORY(lcPanels, "brimfold.app.panels", QtWarningMsg)
// "gallery shown" once the gallery first reached the screen; the start-up benchmark waits for it.
Q_LOGGING_CATEGORY(lcStartup, "brimfold.startup", QtWarningMsg)

namespace {

constexpr double kFromButtonSlide = 8;
constexpr double kRiseOffset = 6;

QRectF lerp(const QRectF &a, const QRectF &b, qreal t)
{
    return QRectF(a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t,
                  a.width() + (b.width() - a.width()) * t, a.height() + (b.height() - a.height()) * t);
}

bool isOurWindow(quint64 window)
{
    for (QWindow *ours : QGuiApplication::topLevelWindows()) {
        if (ours->handle() && ours->winId() == window)
            return true;
    }
    return false;
}

} // namespace

GalleryPresenter::GalleryPresenter(const AppServices &services, LibraryModel &model,
                                   const FloatingButtonPresenter &floating,
                                   std::function<GalleryView *(FocusRequests &, GalleryActions &)> makeView,
                                   QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_model(model)
    , m_floating(floating)
    , m_makeView(std::move(makeView))
    , m_focus(std::make_unique<FocusRequests>())
    , m_actions(std::make_unique<GalleryActions>(model, *services.share))
{
    connect(m_actions.get(), &GalleryActions::previewRequested, this, &GalleryPresenter::showPreview);
    connect(&m_model, &LibraryModel::arrivalCountChanged, this, &GalleryPresenter::arrived);
    connect(m_services.displays.get(), &Displays::changed, this, [this] {
        // Placed again on the displays as they are now.
        if (isShown())
            show(false);
    }, Qt::QueuedConnection);

    m_focusGrace.setSingleShot(true);
    m_focusGrace.setInterval(m_timing.focusGraceMs);
    connect(&m_focusGrace, &QTimer::timeout, this, &GalleryPresenter::focusGraceEnded);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *window) {
        if (window)
            m_focusGrace.stop();
        else if (isShown())
            m_focusGrace.start();
    });
}

// The windows go before the actions and focus requests they use.
GalleryPresenter::~GalleryPresenter()
{
    if (m_animation)
        m_animation->stop();
    m_preview.reset();
    m_panel.reset();
}

void GalleryPresenter::setTiming(const Timing &timing)
{
    m_timing = timing;
    m_focusGrace.setInterval(timing.focusGraceMs);
}

void GalleryPresenter::setKeyboardHeld(bool held)
{
    m_keyboardHeld = held;
}

GalleryView *GalleryPresenter::view() const
{
    return m_panel ? static_cast<GalleryView *>(m_panel->content()) : nullptr;
}

void GalleryPresenter::createPanel()
{
    GalleryView *view = m_makeView(*m_focus, *m_actions);
    connect(view, &GalleryView::closeRequested, this, [this] { hide(true); });
    connect(view, &GalleryView::settingsRequested, this, &GalleryPresenter::settingsRequested);
    m_panel = std::make_unique<BrimfoldPanel>(view, true, *m_services.accessibility, BrimfoldDesign::galleryRadius);
    m_panel->setWindowTitle(tr("Brimfold"));
    m_panel->resize(width, height);
    // The frame the expose paints shows what a render still queued would show: the scan that
    // ended just before a start's first frame, the search that showing the gallery cleared.
    connect(m_panel.get(), &BrimfoldPanel::exposed, view, &GalleryView::renderPending);
    connect(m_panel.get(), &BrimfoldPanel::exposed, this, [this] {
        // Queued: the first picture is painted by the expose being handled now.
        QTimer::singleShot(0, this, [] { qCInfo(lcStartup, "gallery shown"); });
    }, Qt::SingleShotConnection);
    // Activation needs the window mapped; until then the request would be ignored. It follows
    // the first frame, after whatever was timed for the moment that frame is out: it waits on
    // the X server, which is then busy with the window manager's own work for the activation.
    // Where the keyboard goes inside was settled when it was shown, or since.
    connect(m_panel.get(), &BrimfoldPanel::exposed, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (std::exchange(m_rescanWhenExposed, false))
                m_model.refresh(false);
            if (isShown())
                m_panel->activateWindow();
        });
    }, Qt::QueuedConnection);
}

void GalleryPresenter::takeKeyboard()
{
    if (!isShown())
        return;
    m_panel->activateWindow();
    m_focus->postFocusGallery();
}

bool GalleryPresenter::isShown() const
{
    return m_panel && m_panel->isVisible() && !m_hiding;
}

void GalleryPresenter::toggle(bool fromButton)
{
    if (isShown())
        hide(true);
    else
        show(fromButton);
}

void GalleryPresenter::show(bool fromButton)
{
    if (!m_panel)
        createPanel();
    Displays &displays = *m_services.displays;

    const BrimfoldPanel *button = m_floating.panel();
    const bool anchored = fromButton && button && button->isVisible();
    QRectF buttonFrame;
    std::optional<Displays::Display> display;
    if (anchored) {
        buttonFrame = displays.fromScreenRect(QRectF(button->geometry()));
        display = displays.displayContaining(buttonFrame.center());
    }
    if (!display)
        display = displays.activeDisplay();
    if (!display)
        return;

    qCDebug(lcPanels) << "show" << fromButton << "hiding" << m_hiding << "revision" << m_revision;
    const bool wasHiding = m_hiding;
    const qreal startOpacity = m_panel->windowOpacity();
    ++m_revision;
    m_hiding = false;
    if (m_animation)
        m_animation->stop();

    const QRectF visible = display->visibleFrame;
    const QSizeF size(std::min(visible.width() - 24, double(width)), std::min(visible.height() - 24, double(height)));
    QPointF origin(visible.center().x() - size.width() / 2, visible.center().y() - size.height() / 2);
    if (anchored)
        origin = FloatingPlacement::galleryFrame(size, buttonFrame, visible).topLeft();
    origin = PanelPlacement::clampedOrigin(origin.x(), origin.y(), size.width(), size.height(), visible.left(),
                                           visible.top(), visible.right(), visible.bottom());
    const QRectF target(origin, size);

    const bool wasVisible = m_panel->isVisible();
    const bool animated = !m_services.accessibility->reduceMotion() && (!wasVisible || wasHiding);
    QRectF start = target;
    if (animated && !wasHiding) {
        if (anchored) {
            const double referenceX = buttonFrame.center().x();
            start.translate(target.center().x() < referenceX ? kFromButtonSlide : -kFromButtonSlide, 0);
        } else {
            start.translate(0, -kRiseOffset); // y-up: it rises into place
        }
    }
    const QRect targetRect = PanelPlacement::roundedRect(displays.toScreenRect(target));
    m_panel->place(PanelPlacement::roundedRect(displays.toScreenRect(start)));
    const qreal opacity = !animated ? 1.0 : (wasHiding ? startOpacity : 0.0);
    m_panel->setWindowOpacity(opacity);

    m_model.setHasNewScreenshots(false);
    m_model.setQuery(QString());
    if (!m_model.visibleItems().isEmpty())
        m_model.select(m_model.visibleItems().first());
    // The folder is looked at again after the first frame when the window is being mapped: the
    // scan would share the processor, and Qt's drawing threads, with that frame.
    if (wasVisible)
        m_model.refresh(false);
    else
        m_rescanWhenExposed = true;

    // The window to give the keyboard back to; none when one of ours is active already. Asked
    // before the map and taken after it: the server answers while the panel is shown, and the
    // answer is the window that was active before it. Showing activates nothing before this.
    const auto activeBefore = m_services.activeWindow->ask();
    m_panel->present();
    if (const std::optional<quint64> active = activeBefore()) {
        if (!isOurWindow(*active))
            m_previousWindow = active;
    } else if (!QGuiApplication::focusWindow()) {
        m_previousWindow.reset();
    }
    qCDebug(lcPanels) << "panel" << m_panel->geometry() << "view" << view()->geometry() << "target" << targetRect;
    // A window being mapped is activated once it is exposed (takeKeyboard). Asked for now, Qt
    // would activate it when the map is reported, with a round trip that holds back the first
    // frame.
    if (wasVisible)
        m_panel->activateWindow();
    m_focus->postFocusGallery();

    if (animated) {
        animate(PanelPlacement::roundedRect(displays.toScreenRect(start)), targetRect, opacity, 1.0,
                m_timing.showMs, QEasingCurve::OutCubic, {});
    } else {
        m_panel->place(targetRect);
    }
}

void GalleryPresenter::hide(bool restoreFocus)
{
    if (!m_panel || !m_panel->isVisible() || m_hiding)
        return;
    m_hiding = true;
    const qint64 revision = ++m_revision;
    qCDebug(lcPanels) << "hide" << restoreFocus << "revision" << revision;
    if (m_animation)
        m_animation->stop();
    if (m_preview && m_preview->isVisible())
        m_preview->hide();

    if (m_services.accessibility->reduceMotion()) {
        finishHiding(revision, restoreFocus);
        return;
    }
    const QRect frame = m_panel->geometry();
    QPointer<GalleryPresenter> self(this);
    animate(frame, frame, m_panel->windowOpacity(), 0.0, m_timing.hideMs, QEasingCurve::InOutQuad,
            [self, revision, restoreFocus] {
                if (self)
                    self->finishHiding(revision, restoreFocus);
            });
}

void GalleryPresenter::finishHiding(qint64 revision, bool restoreFocus)
{
    // A show that started meanwhile owns the panel now.
    qCDebug(lcPanels) << "hidden" << revision << "current" << m_revision;
    if (revision != m_revision || !m_panel)
        return;
    const bool weAreActive = QGuiApplication::focusWindow() != nullptr;
    m_panel->hide();
    m_panel->setWindowOpacity(1.0);
    m_hiding = false;
    if (restoreFocus && weAreActive && m_previousWindow && m_services.activeWindow->exists(*m_previousWindow))
        m_services.activeWindow->activate(*m_previousWindow);
    emit hidden();
}

void GalleryPresenter::animate(const QRect &from, const QRect &to, qreal fromOpacity, qreal toOpacity,
                               int durationMs, const QEasingCurve &curve, std::function<void()> done)
{
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(durationMs);
    animation->setEasingCurve(curve);
    BrimfoldPanel *panel = m_panel.get();
    connect(animation, &QVariantAnimation::valueChanged, panel,
            [panel, from, to, fromOpacity, toOpacity](const QVariant &value) {
                const qreal t = value.toReal();
                if (from != to)
                    panel->place(lerp(QRectF(from), QRectF(to), t).toRect());
                panel->setWindowOpacity(fromOpacity + (toOpacity - fromOpacity) * t);
            });
    connect(animation, &QVariantAnimation::finished, this, [panel, to, done] {
        panel->place(to);
        if (done)
            done();
    });
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void GalleryPresenter::focusGraceEnded()
{
    if (QGuiApplication::focusWindow() || !isShown() || isPreviewShown())
        return;
    // Our own hot key's grab has the keyboard while the key is down; look again after.
    if (m_keyboardHeld) {
        m_focusGrace.start();
        return;
    }
    // Another application's window took the keyboard: the user moved on.
    qCDebug(lcPanels) << "another window has the keyboard";
    hide(false);
}

void GalleryPresenter::arrived()
{
    // The dot on the floating button says "new since you last looked".
    m_model.setHasNewScreenshots(!m_panel || !m_panel->isVisible() || m_hiding);
}

void GalleryPresenter::createPreview()
{
    if (m_preview)
        return;
    m_preview = std::make_unique<PreviewWindow>(*m_services.images);
    // Back to the gallery, so its keys work again without a click.
    connect(m_preview.get(), &PreviewWindow::closed, this, &GalleryPresenter::takeKeyboard);
}

void GalleryPresenter::showPreview(const Screenshot &item)
{
    // Made after the first frame; asked for before it, it is made now.
    createPreview();
    // The words the current search found in this screenshot, if its text has been read.
    const QHash<QString, ScreenshotText> &documents = m_model.textIndex().documents();
    const auto text = documents.constFind(item.cacheKey());
    QList<QRectF> found;
    if (text != documents.cend())
        found = text->matchingWordBoxes(m_model.query());
    m_preview->toggle(item, m_panel && m_panel->isVisible() ? m_panel->screen() : nullptr, std::move(found));
}

bool GalleryPresenter::isPreviewShown() const
{
    return m_preview && m_preview->isVisible();
}

void GalleryPresenter::closePreview()
{
    if (m_preview && m_preview->isVisible())
        m_preview->close();
}
