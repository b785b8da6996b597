// The tray icon and its menu, the settings and feedback windows, the appearance and waking up.
#include "app/AppController.h"

#include "library/LibraryModel.h"
#include "platform/ColorScheme.h"
#include "platform/LaunchAtLogin.h"
#include "platform/UrlOpener.h"
#include "settings/Preferences.h"
#include "settings/ReleaseInfo.h"
#include "settings/UpdateService.h"
#include "ui/design/AppearancePalette.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/feedback/FeedbackView.h"
#include "ui/settings/SettingsView.h"

#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// How often to look for a tray host that was not there at start (a panel restarting, a
// session whose tray comes up after its autostart programs).
constexpr int kTrayRetryMs = 3000;

QAction *taggedAction(QMenu &menu, int tag)
{
    const QList<QAction *> actions = menu.actions();
    for (QAction *action : actions) {
        if (action->data().toInt() == tag)
            return action;
    }
    return nullptr;
}

} // namespace

void AppController::createTray()
{
    m_trayMenu = std::make_unique<QMenu>();
    QMenu &menu = *m_trayMenu;
    connect(menu.addAction(tr("Open screenshots")), &QAction::triggered, this, [this] { showGallery(false); });
    menu.addSeparator();
    QAction *floating = menu.addAction(tr("Show floating button"));
    floating->setCheckable(true);
    floating->setData(floatingItemTag);
    connect(floating, &QAction::triggered, this, &AppController::toggleFloating);
    QAction *settings = menu.addAction(tr("Settings…"));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, &AppController::showSettings);
    connect(menu.addAction(tr("Share beta feedback…")), &QAction::triggered, this, &AppController::showFeedback);
    QAction *updates = menu.addAction(tr("Check for Updates…"));
    updates->setData(updateItemTag);
    connect(updates, &QAction::triggered, m_updater.get(), &UpdateService::check);
    menu.addSeparator();
    QAction *quit = menu.addAction(tr("Quit Brimfold"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    for (QAction *action : menu.actions())
        action->setShortcutVisibleInContextMenu(true);
    connect(&menu, &QMenu::aboutToShow, this, &AppController::menuWillOpen);
    connect(m_updater.get(), &UpdateService::canCheckChanged, this, &AppController::menuWillOpen);
    menuWillOpen();

    m_tray = new QSystemTrayIcon(BrimfoldDesign::menuBarIcon(), this);
    m_tray->setToolTip(tr("Brimfold — screenshots within reach"));
    m_tray->setContextMenu(&menu);
    // A click on the icon itself opens the gallery, as Linux tray icons do; the menu is on the
    // other button.
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            toggleGallery(false);
    });
    m_tray->show();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // WORKAROUND(x11): Qt does not show an icon made before a tray host existed once one
        // appears; showing it again does.
        auto *retry = new QTimer(m_tray);
        retry->setInterval(kTrayRetryMs);
        connect(retry, &QTimer::timeout, m_tray, [this, retry] {
            if (!QSystemTrayIcon::isSystemTrayAvailable())
                return;
            retry->stop();
            m_tray->hide();
            m_tray->show();
        });
        retry->start();
    }
}

void AppController::menuWillOpen()
{
    if (!m_trayMenu)
        return;
    if (QAction *floating = taggedAction(*m_trayMenu, floatingItemTag))
        floating->setChecked(m_preferences->showFloatingButton());
    if (QAction *updates = taggedAction(*m_trayMenu, updateItemTag)) {
        updates->setVisible(m_updater->isConfigured());
        updates->setEnabled(m_updater->canCheck());
    }
}

void AppController::toggleFloating()
{
    m_preferences->setShowFloatingButton(!m_preferences->showFloatingButton());
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
    hideGallery(false);
    if (!m_settingsWindow) {
        m_settingsWindow = std::make_unique<SettingsView>(*m_preferences, model(), *m_updater,
                                                          *m_services.launchAtLogin, *m_services.urls);
        SettingsView &view = *m_settingsWindow;
        view.setWindowTitle(tr("Brimfold Settings"));
        view.setWindowIcon(BrimfoldDesign::windowIcon());
        view.resize(570, 660);
        view.setShortcutError(m_shortcutError);
        connect(this, &AppController::shortcutErrorChanged, &view,
                [this] { m_settingsWindow->setShortcutError(m_shortcutError); });
        view.setDesktopTrigger(desktopTrigger());
        connect(this, &AppController::desktopTriggerChanged, &view,
                [this] { m_settingsWindow->setDesktopTrigger(desktopTrigger()); });
        connect(&view, &SettingsView::shortcutRecorded, this, &AppController::setShortcut);
        connect(&view, &SettingsView::resetPositionRequested, this, &AppController::resetFloatingPosition);
        connect(&view, &SettingsView::openGalleryRequested, this, [this] { showGallery(false); });
        connect(&view, &SettingsView::feedbackRequested, this, &AppController::showFeedback);
    }
    showWindow(*m_settingsWindow);
}

void AppController::showFeedback()
{
    hideGallery(false);
    if (!m_feedbackWindow) {
        m_feedbackWindow = std::make_unique<FeedbackView>(*m_services.clipboard, *m_services.urls,
                                                          ReleaseInfo::configuration());
        m_feedbackWindow->setWindowTitle(tr("Brimfold Beta Feedback"));
        m_feedbackWindow->setWindowIcon(BrimfoldDesign::windowIcon());
        m_feedbackWindow->resize(560, 520);
    }
    showWindow(*m_feedbackWindow);
}

void AppController::woke()
{
    if (m_model)
        m_model->start();
}
