#include "app/AppController.h"

#include "app/KeyRouter.h"
#include "library/LibraryModel.h"
#include "platform/Accessibility.h"
#include "platform/Displays.h"
#include "platform/HotKeySource.h"
#include "platform/ImageServices.h"
#include "platform/portal/PortalHotKeySource.h"
#include "platform/ScreenshotLocation.h"
#include "settings/GlobalShortcut.h"
#include "settings/Preferences.h"
#include "settings/UpdateService.h"
#include "platform/ColorScheme.h"
#include "platform/SleepWatcher.h"
#include "ui/feedback/FeedbackView.h"
#include "ui/settings/SettingsView.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/floating/FloatingButton.h"
#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/GalleryView.h"
#include "ui/preview/PreviewWindow.h"
#include "ui/settings/ShortcutRecorder.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QVariantAnimation>

#include <utility>

AppController::AppController(SettingsStore &defaults, const ScreenshotLocation &screenshotLocation,
                             const LaunchOptions &options, AppServices services, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_services(std::move(services))
    , m_namePatterns(screenshotLocation.fileNamePatterns())
    , m_preferences(std::make_unique<Preferences>(defaults, screenshotLocation))
    , m_updater(std::make_unique<UpdateService>())
    , m_shortcut(std::make_unique<GlobalShortcut>(std::move(m_services.hotKeys),
                                                  std::move(m_services.hotKeyPortal)))
    , m_thumbnails(std::make_unique<ThumbnailCache>(*m_services.images))
    , m_focusRequests(std::make_unique<FocusRequests>())
    , m_defaultPalette(QApplication::palette())
{
}

// Windows go before the model and services they show.
AppController::~AppController()
{
    if (m_galleryAnimation)
        m_galleryAnimation->stop();
    m_keyRouter.reset();
    m_settingsWindow.reset();
    m_feedbackWindow.reset();
    m_preview.reset();
    m_galleryPanel.reset();
    m_floatingPanel.reset();
    m_actions.reset();
}

LibraryModel &AppController::model()
{
    if (!m_model) {
        LibraryModel::Services services = m_services.makeLibraryServices(*m_services.images);
        services.namePatterns = m_namePatterns;
        m_model = std::make_unique<LibraryModel>(*m_preferences, std::move(services));
        m_actions = std::make_unique<GalleryActions>(*m_model, *m_services.share);
        connect(m_actions.get(), &GalleryActions::previewRequested, this,
                &AppController::showPreview);
    }
    return *m_model;
}

void AppController::start()
{
    if (m_started)
        return;
    m_started = true;

    connect(m_shortcut.get(), &GlobalShortcut::pressed, this, &AppController::hotKeyPressed);
    connect(m_shortcut.get(), &GlobalShortcut::desktopAnswered, this, &AppController::desktopAnswered);
    connect(m_shortcut.get(), &GlobalShortcut::desktopTriggerChanged, this, &AppController::desktopTriggerChanged);
    if (!m_shortcut->registerShortcut(m_preferences->shortcut()))
        setShortcutError(tr("This shortcut is in use. Record another one."));

    // Queued: the setting's writer finishes before the panels change.
    connect(m_preferences.get(), &Preferences::showFloatingButtonChanged, this,
            &AppController::updateFloatingButton, Qt::QueuedConnection);
    connect(m_preferences.get(), &Preferences::buttonSizeChanged, this,
            [this] { positionFloatingButton(false); }, Qt::QueuedConnection);
    connect(m_preferences.get(), &Preferences::appearanceChanged, this, &AppController::updateAppearance,
            Qt::QueuedConnection);
    // The current appearance too, on the next turn of the event loop.
    QTimer::singleShot(0, this, &AppController::updateAppearance);
    if (m_services.colorScheme)
        connect(m_services.colorScheme.get(), &ColorScheme::changed, this, &AppController::updateAppearance);
    connect(m_services.displays.get(), &Displays::changed, this, &AppController::screenChanged,
            Qt::QueuedConnection);
    if (m_services.sleep)
        connect(m_services.sleep.get(), &SleepWatcher::woke, this, &AppController::woke);

    LibraryModel &library = model();
    m_keyRouter = std::make_unique<KeyRouter>(*this, library, *m_actions);
    qApp->installEventFilter(m_keyRouter.get());
    connect(&library, &LibraryModel::arrivalCountChanged, this, &AppController::handleArrival);
    // Connecting the folder from the welcome view turns the gallery into the grid, which then
    // takes the keyboard as it does at every showing. Queued: the connection finishes first.
    connect(m_preferences.get(), &Preferences::hasConnectedFolderChanged, this, [this] {
        if (m_preferences->hasConnectedFolder() && isGalleryShown())
            m_focusRequests->postFocusGallery();
    }, Qt::QueuedConnection);
    library.start();

    watchActivation();
    updateFloatingButton();
    // First run (no folder yet) and demo mode open the gallery right away.
    if (!m_preferences->hasConnectedFolder() || m_options.demo)
        showGallery(false);

    // The first frame is whichever of the two panels shows first.
    bool anyShown = false;
    for (QWidget *panel : {static_cast<QWidget *>(m_floatingPanel.get()), static_cast<QWidget *>(m_galleryPanel.get())}) {
        if (panel && panel->isVisible()) {
            panel->installEventFilter(this);
            anyShown = true;
        }
    }
    if (!anyShown)
        QTimer::singleShot(0, this, &AppController::firstFramePainted);
    whenFirstPainted(this, [this] { finishStarting(); });
}

void AppController::finishStarting()
{
    m_updater->start(m_options.demo);
    createTray();
    // The grab made at start serves until the desktop answers.
    if (m_shortcut->hasPortal()) {
        m_desktopRequest = DesktopRequest{m_preferences->shortcut(), false};
        m_shortcut->bindWithDesktop(m_desktopRequest->shortcut);
    }
    m_preview = std::make_unique<PreviewWindow>(*m_services.images);
    connect(m_preview.get(), &PreviewWindow::closed, this, [this] {
        // Back to the gallery, so its keys work again without a click.
        if (m_galleryPanel && isGalleryShown()) {
            m_galleryPanel->activateWindow();
            m_focusRequests->postFocusGallery();
        }
    });
}

void AppController::whenFirstPainted(QObject *context, std::function<void()> work)
{
    if (m_firstFramePainted) {
        QTimer::singleShot(0, context, std::move(work));
        return;
    }
    m_afterFirstFrame.append({QPointer<QObject>(context), std::move(work)});
}

bool AppController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && !m_firstFramePainted) {
        // Queued: the frame reaches the screen when this paint has been handled.
        QTimer::singleShot(0, this, &AppController::firstFramePainted);
        watched->removeEventFilter(this);
    }
    return QObject::eventFilter(watched, event);
}

void AppController::firstFramePainted()
{
    if (m_firstFramePainted)
        return;
    m_firstFramePainted = true;
    for (QWidget *panel : {static_cast<QWidget *>(m_floatingPanel.get()), static_cast<QWidget *>(m_galleryPanel.get())}) {
        if (panel)
            panel->removeEventFilter(this);
    }
    const auto pending = std::exchange(m_afterFirstFrame, {});
    for (const auto &[context, work] : pending) {
        if (context)
            work();
    }
}

bool AppController::isGalleryShown() const
{
    return m_galleryPanel && m_galleryPanel->isVisible() && !m_hiding;
}

void AppController::hotKeyPressed()
{
    // The hot key pressed while recording a new one ends the recording and nothing else.
    if (auto *recorder = qobject_cast<RecorderButton *>(QApplication::focusWidget());
        recorder && recorder->recording()) {
        recorder->cancelRecording();
        return;
    }
    if (m_settingsWindow && m_settingsWindow->recorder()->recording()) {
        m_settingsWindow->recorder()->cancelRecording();
        return;
    }
    if (isGalleryShown())
        hideGallery(true);
    else
        showGallery(false);
}

void AppController::handleArrival()
{
    // The dot on the floating button says "new since you last looked".
    if (!m_galleryPanel || !m_galleryPanel->isVisible())
        m_model->setHasNewScreenshots(true);
    else
        m_model->setHasNewScreenshots(m_hiding);
}

void AppController::screenChanged()
{
    positionFloatingButton(false);
    if (m_galleryPanel && m_galleryPanel->isVisible() && !m_hiding)
        showGallery(false);
}

std::optional<QString> AppController::desktopTrigger() const
{
    return m_shortcut->desktopTrigger();
}

void AppController::setShortcut(const Shortcut &shortcut)
{
    if (m_shortcut->hasPortal()) {
        // The desktop decides; the old shortcut stays stored and working until it agrees.
        m_desktopRequest = DesktopRequest{shortcut, true};
        m_shortcut->bindWithDesktop(shortcut);
        return;
    }
    grabShortcut(shortcut);
}

bool AppController::grabShortcut(const Shortcut &shortcut)
{
    const Shortcut old = m_preferences->shortcut();
    if (m_shortcut->registerShortcut(shortcut)) {
        m_preferences->setShortcut(shortcut);
        setShortcutError(std::nullopt);
        return true;
    }
    m_shortcut->registerShortcut(old);
    setShortcutError(tr("That shortcut is unavailable. Try a different combination."));
    return false;
}

void AppController::desktopAnswered(GlobalShortcut::DesktopAnswer answer)
{
    const std::optional<DesktopRequest> request = std::exchange(m_desktopRequest, std::nullopt);
    if (!request)
        return;
    switch (answer) {
    case GlobalShortcut::DesktopAnswer::bound:
        m_preferences->setShortcut(request->shortcut);
        setShortcutError(std::nullopt);
        return;
    case GlobalShortcut::DesktopAnswer::refused:
        if (!m_shortcut->registered()) {
            // The grab failed as well: nothing works, as when a grab alone is refused.
            setShortcutError(request->recorded ? tr("That shortcut is unavailable. Try a different combination.")
                                               : tr("This shortcut is in use. Record another one."));
            return;
        }
        setShortcutError(request->recorded
                             ? tr("The desktop did not accept that shortcut. The previous one works only "
                                  "while an X11 window is active.")
                             : tr("The desktop did not accept this shortcut. It works only while an X11 "
                                  "window is active."));
        return;
    case GlobalShortcut::DesktopAnswer::unavailable:
        // Without the desktop's help the grab is all there is, as under X11.
        if (request->recorded ? !grabShortcut(request->shortcut) : !m_shortcut->registered())
            return;
        setShortcutError(tr("This desktop offers no global shortcuts to apps. The shortcut works only "
                            "while an X11 window is active."));
        return;
    }
}

void AppController::setShortcutError(const std::optional<QString> &error)
{
    if (m_shortcutError == error)
        return;
    m_shortcutError = error;
    emit shortcutErrorChanged();
}
