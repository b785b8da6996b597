#include "app/AppController.h"

#include "app/FloatingButtonPresenter.h"
#include "app/GalleryPresenter.h"
#include "app/KeyRouter.h"
#include "app/ShortcutCoordinator.h"
#include "app/TrayMenu.h"
#include "library/LibraryModel.h"
#include "platform/ColorScheme.h"
#include "platform/HotKeySource.h"
#include "platform/ScreenshotLocation.h"
#include "platform/SleepWatcher.h"
#include "platform/portal/PortalHotKeySource.h"
#include "settings/Preferences.h"
#include "settings/ReleaseInfo.h"
#include "settings/UpdateService.h"
#include "text/ScreenshotTextIndex.h"
#include "ui/design/AppearancePalette.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/feedback/FeedbackView.h"
#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryView.h"
#include "ui/gallery/grid/ThumbnailCache.h"
#include "ui/settings/SettingsView.h"
#include "ui/settings/ShortcutRecorder.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

AppController::AppController(SettingsStore &defaults, const ScreenshotLocation &screenshotLocation,
                             const LaunchOptions &options, AppServices services, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_services(std::move(services))
    , m_preferences(std::make_unique<Preferences>(defaults, screenshotLocation))
    , m_updater(std::make_unique<UpdateService>())
    , m_thumbnails(std::make_unique<ThumbnailCache>(*m_services.images))
    , m_shortcuts(std::make_unique<ShortcutCoordinator>(*m_preferences, std::move(m_services.hotKeys),
                                                        std::move(m_services.hotKeyPortal)))
    , m_defaultPalette(QApplication::palette())
    , m_afterFirstFrame(std::in_place)
{
    // How the user's screenshot tools name files, read once now for every scan.
    m_services.makeLibraryServices = [make = std::move(m_services.makeLibraryServices),
                                      patterns = ScreenshotNamePatterns(screenshotLocation.fileNamePatterns())](
                                         const ImageServices &images) {
        LibraryModel::Services library = make(images);
        library.namePatterns = patterns;
        return library;
    };
}

AppController::~AppController() = default;

LibraryModel &AppController::model()
{
    if (!m_model)
        m_model = std::make_unique<LibraryModel>(*m_preferences, m_services.makeLibraryServices(*m_services.images));
    return *m_model;
}

void AppController::start()
{
    if (m_gallery)
        return;

    connect(m_shortcuts.get(), &ShortcutCoordinator::pressed, this, &AppController::hotKeyPressed);

    // Queued: the setting's writer finishes before the windows change.
    connect(m_preferences.get(), &Preferences::appearanceChanged, this, &AppController::updateAppearance,
            Qt::QueuedConnection);
    // The current appearance too, on the next turn of the event loop.
    QTimer::singleShot(0, this, &AppController::updateAppearance);
    if (m_services.colorScheme)
        connect(m_services.colorScheme.get(), &ColorScheme::changed, this, &AppController::updateAppearance);
    // The computer woke up: the folder may have changed meanwhile.
    if (m_services.sleep)
        connect(m_services.sleep.get(), &SleepWatcher::woke, this, [this] { model().start(); });

    LibraryModel &library = model();
    m_floating = std::make_unique<FloatingButtonPresenter>(m_services, *m_preferences, library, *m_thumbnails);
    m_gallery = std::make_unique<GalleryPresenter>(
        m_services, library, *m_floating, [this](FocusRequests &focus, GalleryActions &actions) {
            return new GalleryView(model(), *m_preferences, m_options.demo, *m_services.accessibility,
                                   *m_thumbnails, *m_services.share, focus, actions);
        });
    GalleryPresenter &gallery = *m_gallery;
    connect(m_shortcuts.get(), &ShortcutCoordinator::heldChanged, &gallery, &GalleryPresenter::setKeyboardHeld);
    connect(&gallery, &GalleryPresenter::settingsRequested, this, &AppController::showSettings);
    connect(m_floating.get(), &FloatingButtonPresenter::openRequested, &gallery, [&gallery] { gallery.toggle(true); });
    connect(m_floating.get(), &FloatingButtonPresenter::settingsRequested, this, &AppController::showSettings);
    connect(m_floating.get(), &FloatingButtonPresenter::moveStarted, &gallery, [&gallery] { gallery.hide(false); });
    m_keyRouter = std::make_unique<KeyRouter>(gallery, *m_preferences, library);
    connect(m_keyRouter.get(), &KeyRouter::settingsRequested, this, &AppController::showSettings);
    qApp->installEventFilter(m_keyRouter.get());
    // The cached text is read, and the recogniser started, once the first frame is out.
    library.textIndex().setHeld(true);
    // Connecting the folder from the welcome view turns the gallery into the grid, which then
    // takes the keyboard as it does at every showing. Queued: the connection finishes first.
    connect(m_preferences.get(), &Preferences::hasConnectedFolderChanged, &gallery, [this] {
        if (m_preferences->hasConnectedFolder() && m_gallery->isShown())
            m_gallery->focusRequests().postFocusGallery();
    }, Qt::QueuedConnection);
    library.start();

    // First run (no folder yet) and demo mode open the gallery right away; the floating button
    // then follows the gallery's first frame instead of delaying it.
    if (!m_preferences->hasConnectedFolder() || m_options.demo) {
        gallery.show(false);
        whenFirstPainted(m_floating.get(), [this] { m_floating->start(); });
    } else {
        m_floating->start();
    }

    // The first frame is whichever of the two panels shows first.
    bool anyShown = false;
    for (QWidget *panel : {static_cast<QWidget *>(m_floating->panel()), static_cast<QWidget *>(gallery.panel())}) {
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
    model().textIndex().setHeld(false);
    m_updater->start(m_options.demo);
    m_tray = std::make_unique<TrayMenu>(*m_preferences, *m_updater);
    connect(m_tray.get(), &TrayMenu::openRequested, m_gallery.get(), [this] { m_gallery->show(false); });
    connect(m_tray.get(), &TrayMenu::toggleRequested, m_gallery.get(), [this] { m_gallery->toggle(false); });
    connect(m_tray.get(), &TrayMenu::settingsRequested, this, &AppController::showSettings);
    connect(m_tray.get(), &TrayMenu::feedbackRequested, this, &AppController::showFeedback);
    // The key is grabbed, and the desktop asked, once the first window is out: nobody can press
    // it sooner, and the grab is a round trip to the X server.
    m_shortcuts->start();
    m_shortcuts->bindWithDesktop();
    if (m_services.sleep)
        m_services.sleep->start();
    m_gallery->createPreview();
}

void AppController::whenFirstPainted(QObject *context, std::function<void()> work)
{
    if (!m_afterFirstFrame) {
        QTimer::singleShot(0, context, std::move(work));
        return;
    }
    m_afterFirstFrame->append({QPointer<QObject>(context), std::move(work)});
}

bool AppController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && m_afterFirstFrame) {
        // Queued: the frame reaches the screen when this paint has been handled.
        QTimer::singleShot(0, this, &AppController::firstFramePainted);
        watched->removeEventFilter(this);
    }
    return QObject::eventFilter(watched, event);
}

void AppController::firstFramePainted()
{
    if (!m_afterFirstFrame)
        return;
    const auto pending = *std::exchange(m_afterFirstFrame, std::nullopt);
    for (QWidget *panel : {static_cast<QWidget *>(m_floating->panel()), static_cast<QWidget *>(m_gallery->panel())}) {
        if (panel)
            panel->removeEventFilter(this);
    }
    for (const auto &[context, work] : pending) {
        if (context)
            work();
    }
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
    m_gallery->toggle(false);
}

void AppController::updateAppearance()
{
    const QString appearance = m_preferences->appearance();
    bool dark = appearance == QLatin1String("dark");
    bool light = appearance == QLatin1String("light");
    if (!dark && !light && m_services.colorScheme) {
        const ColorScheme::Preference desktop = m_services.colorScheme->preference();
        dark = desktop == ColorScheme::Preference::dark;
        light = desktop == ColorScheme::Preference::light;
    }
    const QPalette palette = dark ? AppearancePalette::dark() : light ? AppearancePalette::light() : m_defaultPalette;
    // The application's palette reaches every window we have and every one made later (the
    // tray menu, the folder dialog); each view repaints on the palette change.
    if (QApplication::palette() != palette)
        QApplication::setPalette(palette);
}

void AppController::showWindow(QWidget &window)
{
    updateAppearance();
    if (!window.isVisible()) {
        // Centred on the display the user works on.
        if (QScreen *screen = QGuiApplication::screenAt(QCursor::pos()); screen || QGuiApplication::primaryScreen()) {
            const QRect area = (screen ? screen : QGuiApplication::primaryScreen())->availableGeometry();
            QRect frame(QPoint(), window.size());
            frame.moveCenter(area.center());
            window.move(frame.topLeft());
        }
    }
    window.showNormal();
    window.raise();
    window.activateWindow();
}

void AppController::showSettings()
{
    m_gallery->hide(false);
    if (!m_settingsWindow) {
        m_settingsWindow = std::make_unique<SettingsView>(*m_preferences, model(), *m_updater,
                                                          *m_services.launchAtLogin, *m_services.urls);
        SettingsView &view = *m_settingsWindow;
        view.setWindowIcon(BrimfoldDesign::windowIcon());
        ShortcutCoordinator &shortcuts = *m_shortcuts;
        view.setShortcutError(shortcuts.shortcutError());
        connect(&shortcuts, &ShortcutCoordinator::shortcutErrorChanged, &view,
                [&view, &shortcuts] { view.setShortcutError(shortcuts.shortcutError()); });
        view.setDesktopTrigger(shortcuts.desktopTrigger());
        connect(&shortcuts, &ShortcutCoordinator::desktopTriggerChanged, &view,
                [&view, &shortcuts] { view.setDesktopTrigger(shortcuts.desktopTrigger()); });
        connect(&view, &SettingsView::shortcutRecorded, &shortcuts, &ShortcutCoordinator::setShortcut);
        connect(&view, &SettingsView::resetPositionRequested, m_floating.get(),
                &FloatingButtonPresenter::resetPosition);
        connect(&view, &SettingsView::openGalleryRequested, m_gallery.get(), [this] { m_gallery->show(false); });
        connect(&view, &SettingsView::feedbackRequested, this, &AppController::showFeedback);
    }
    showWindow(*m_settingsWindow);
}

void AppController::showFeedback()
{
    m_gallery->hide(false);
    if (!m_feedbackWindow) {
        m_feedbackWindow = std::make_unique<FeedbackView>(*m_services.clipboard, *m_services.urls,
                                                          ReleaseInfo::configuration());
        m_feedbackWindow->setWindowTitle(tr("Brimfold Beta Feedback"));
        m_feedbackWindow->setWindowIcon(BrimfoldDesign::windowIcon());
        m_feedbackWindow->resize(560, 520);
    }
    showWindow(*m_feedbackWindow);
}
