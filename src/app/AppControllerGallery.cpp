// The gallery panel: showing and hiding it with its animations, the window the user came from,
// hiding when another window takes over, and the preview.
#include "app/AppController.h"

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
#include "ui/gallery/GalleryView.h"
#include "ui/preview/PreviewWindow.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <QVariantAnimation>
#include <QWindow>

Q_LOGGING_CATEGORY(lcPanels, "brimfold.app.panels", QtWarningMsg)
// "gallery shown" once the gallery first reached the screen; the start-up benchmark waits for it.
Q_LOGGING_CATEGORY(lcStartup, "brimfold.startup", QtWarningMsg)

namespace {

constexpr double kFromButtonSlide = 8;
constexpr double kRiseOffset = 6;
// How long keyboard focus may be away from every window of ours before the gallery counts as
// left behind: long enough for the preview to hand focus back.
constexpr int kFocusGraceMs = 200;

QRect toRect(const QRectF &rect)
{
    return QRect(qRound(rect.x()), qRound(rect.y()), qRound(rect.width()), qRound(rect.height()));
}

QRectF lerp(const QRectF &a, const QRectF &b, qreal t)
{
    return QRectF(a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t,
                  a.width() + (b.width() - a.width()) * t, a.height() + (b.height() - a.height()) * t);
}

} // namespace

void AppController::createGalleryPanel()
{
    m_galleryView = new GalleryView(model(), *m_preferences, m_options.demo,
                                    *m_services.accessibility, *m_thumbnails, *m_services.share,
                                    *m_focusRequests, *m_actions);
    connect(m_galleryView, &GalleryView::closeRequested, this, [this] { hideGallery(true); });
    connect(m_galleryView, &GalleryView::settingsRequested, this, [this] { showSettings(); });
    m_galleryPanel = std::make_unique<BrimfoldPanel>(m_galleryView, true, *m_services.accessibility,
                                                     BrimfoldDesign::galleryRadius);
    m_galleryPanel->setWindowTitle(tr("Brimfold"));
    m_galleryPanel->resize(galleryWidth, galleryHeight);
    // Activation needs the window mapped; until then the request would be ignored.
    connect(m_galleryPanel.get(), &BrimfoldPanel::exposed, this, [this] {
        if (!m_reportedFirstShow) {
            m_reportedFirstShow = true;
            // Queued: the first picture is painted by the expose being handled now.
            QTimer::singleShot(0, this, [] { qCInfo(lcStartup, "gallery shown"); });
        }
        if (isGalleryShown()) {
            m_galleryPanel->activateWindow();
            m_focusRequests->postFocusGallery();
        }
    });
}

bool AppController::isOurWindow(quint64 window) const
{
    for (QWindow *ours : QGuiApplication::topLevelWindows()) {
        if (ours->handle() && ours->winId() == window)
            return true;
    }
    return false;
}

void AppController::showGallery(bool fromButton)
{
    if (!m_galleryPanel)
        createGalleryPanel();
    Displays &displays = *m_services.displays;

    const bool anchored = fromButton && m_floatingPanel && m_floatingPanel->isVisible();
    QRectF buttonFrame;
    std::optional<Displays::Display> display;
    if (anchored) {
        buttonFrame = displays.fromScreenRect(QRectF(m_floatingPanel->geometry()));
        display = displays.displayContaining(buttonFrame.center());
    }
    if (!display)
        display = activeScreen();
    if (!display)
        return;

    // The window to give the keyboard back to; none when one of ours is active already.
    if (const std::optional<quint64> active = m_services.activeWindow->current()) {
        if (!isOurWindow(*active))
            m_previousWindow = active;
    } else if (!QGuiApplication::focusWindow()) {
        m_previousWindow.reset();
    }

    qCDebug(lcPanels) << "show" << fromButton << "hiding" << m_hiding << "revision" << m_presentationRevision;
    const bool wasHiding = m_hiding;
    const qreal startOpacity = m_galleryPanel->windowOpacity();
    ++m_presentationRevision;
    m_hiding = false;
    if (m_galleryAnimation)
        m_galleryAnimation->stop();

    const QRectF visible = display->visibleFrame;
    const QSizeF size(std::min(visible.width() - 24, double(galleryWidth)),
                      std::min(visible.height() - 24, double(galleryHeight)));
    QPointF origin(visible.center().x() - size.width() / 2, visible.center().y() - size.height() / 2);
    if (anchored)
        origin = FloatingPlacement::galleryFrame(size, buttonFrame, visible).topLeft();
    origin = PanelPlacement::clampedOrigin(origin.x(), origin.y(), size.width(), size.height(),
                                           visible.left(), visible.top(), visible.right(),
                                           visible.bottom());
    const QRectF target(origin, size);

    const bool wasVisible = m_galleryPanel->isVisible();
    const bool animate = !m_services.accessibility->reduceMotion() && (!wasVisible || wasHiding);
    QRectF start = target;
    if (animate && !wasHiding) {
        if (anchored) {
            const double referenceX = buttonFrame.center().x();
            start.translate(target.center().x() < referenceX ? kFromButtonSlide : -kFromButtonSlide, 0);
        } else {
            start.translate(0, -kRiseOffset); // y-up: it rises into place
        }
    }
    const QRect targetRect = toRect(displays.toScreenRect(target));
    m_galleryPanel->place(toRect(displays.toScreenRect(start)));
    const qreal opacity = !animate ? 1.0 : (wasHiding ? startOpacity : 0.0);
    m_galleryPanel->setWindowOpacity(opacity);

    LibraryModel &library = model();
    library.setHasNewScreenshots(false);
    library.setQuery(QString());
    if (!library.visibleItems().isEmpty())
        library.select(library.visibleItems().first());
    library.refresh(false);

    m_galleryPanel->present();
    qCDebug(lcPanels) << "panel" << m_galleryPanel->geometry() << "view" << m_galleryView->geometry() << "target" << targetRect;
    m_galleryPanel->activateWindow();
    m_focusRequests->postFocusGallery();

    if (animate) {
        animateGallery(toRect(displays.toScreenRect(start)), targetRect, opacity, 1.0,
                       showDurationMs, QEasingCurve::OutCubic, {});
    } else {
        m_galleryPanel->place(targetRect);
    }
}

void AppController::hideGallery(bool restoreFocus)
{
    if (!m_galleryPanel || !m_galleryPanel->isVisible() || m_hiding)
        return;
    m_hiding = true;
    const qint64 revision = ++m_presentationRevision;
    qCDebug(lcPanels) << "hide" << restoreFocus << "revision" << revision;
    if (m_galleryAnimation)
        m_galleryAnimation->stop();
    if (m_preview && m_preview->isVisible())
        m_preview->hide();

    if (m_services.accessibility->reduceMotion()) {
        finishHiding(revision, restoreFocus);
        return;
    }
    const QRect frame = m_galleryPanel->geometry();
    QPointer<AppController> self(this);
    animateGallery(frame, frame, m_galleryPanel->windowOpacity(), 0.0, hideDurationMs,
                   QEasingCurve::InOutQuad, [self, revision, restoreFocus] {
                       if (self)
                           self->finishHiding(revision, restoreFocus);
                   });
}

void AppController::finishHiding(qint64 revision, bool restoreFocus)
{
    // A show that started meanwhile owns the panel now.
    qCDebug(lcPanels) << "hidden" << revision << "current" << m_presentationRevision;
    if (revision != m_presentationRevision || !m_galleryPanel)
        return;
    const bool weAreActive = QGuiApplication::focusWindow() != nullptr;
    m_galleryPanel->hide();
    m_galleryPanel->setWindowOpacity(1.0);
    m_hiding = false;
    if (restoreFocus && weAreActive && m_previousWindow
        && m_services.activeWindow->exists(*m_previousWindow)) {
        m_services.activeWindow->activate(*m_previousWindow);
    }
    emit galleryHidden();
}

void AppController::toggleGallery(bool fromButton)
{
    if (isGalleryShown())
        hideGallery(true);
    else
        showGallery(fromButton);
}

void AppController::animateGallery(const QRect &from, const QRect &to, qreal fromOpacity,
                                   qreal toOpacity, int durationMs, const QEasingCurve &curve,
                                   std::function<void()> done)
{
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(durationMs);
    animation->setEasingCurve(curve);
    BrimfoldPanel *panel = m_galleryPanel.get();
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
    m_galleryAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void AppController::watchActivation()
{
    auto *grace = new QTimer(this);
    grace->setSingleShot(true);
    grace->setInterval(kFocusGraceMs);
    connect(grace, &QTimer::timeout, this, [this] {
        // Another application's window took the keyboard: the user moved on.
        if (!QGuiApplication::focusWindow() && isGalleryShown() && !isPreviewShown()) {
            qCDebug(lcPanels) << "another window has the keyboard";
            hideGallery(false);
        }
    });
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this, grace](QWindow *window) {
        if (window)
            grace->stop();
        else if (isGalleryShown())
            grace->start();
    });
}

void AppController::showPreview(const Screenshot &item)
{
    if (!m_preview)
        return;
    // The words the current search found in this screenshot, if its text has been read.
    const QHash<QString, ScreenshotText> &documents = m_model->textIndex().documents();
    const auto text = documents.constFind(item.cacheKey());
    QList<QRectF> found;
    if (text != documents.cend())
        found = text->matchingWordBoxes(m_model->query());
    m_preview->toggle(item,
                      m_galleryPanel && m_galleryPanel->isVisible() ? m_galleryPanel->screen() : nullptr,
                      std::move(found));
}

bool AppController::isPreviewShown() const
{
    return m_preview && m_preview->isVisible();
}

void AppController::closePreview()
{
    if (m_preview && m_preview->isVisible())
        m_preview->close();
}
