#include "app/TrayMenu.h"

#include "settings/Preferences.h"
#include "settings/UpdateService.h"
#include "ui/design/BrimfoldDesign.h"

#include <QCoreApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// How often to look for a tray host that was not there at start (a panel restarting, a
// session whose tray comes up after its autostart programs).
constexpr int kTrayRetryMs = 3000;

} // namespace

TrayMenu::TrayMenu(Preferences &preferences, UpdateService &updater, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_updater(updater)
    , m_menu(std::make_unique<QMenu>())
{
    QMenu &menu = *m_menu;
    connect(menu.addAction(tr("Open screenshots")), &QAction::triggered, this, &TrayMenu::openRequested);
    menu.addSeparator();
    m_floatingEntry = menu.addAction(tr("Show floating button"));
    m_floatingEntry->setCheckable(true);
    connect(m_floatingEntry, &QAction::triggered, this,
            [this] { m_preferences.setShowFloatingButton(!m_preferences.showFloatingButton()); });
    QAction *settings = menu.addAction(tr("Settings…"));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, &TrayMenu::settingsRequested);
    connect(menu.addAction(tr("Share beta feedback…")), &QAction::triggered, this, &TrayMenu::feedbackRequested);
    m_updatesEntry = menu.addAction(tr("Check for Updates…"));
    connect(m_updatesEntry, &QAction::triggered, &m_updater, &UpdateService::check);
    menu.addSeparator();
    QAction *quit = menu.addAction(tr("Quit Brimfold"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    for (QAction *action : menu.actions())
        action->setShortcutVisibleInContextMenu(true);
    connect(&menu, &QMenu::aboutToShow, this, &TrayMenu::refresh);
    connect(&m_updater, &UpdateService::canCheckChanged, this, &TrayMenu::refresh);
    refresh();
    showIcon();
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::showIcon()
{
    m_icon = std::make_unique<QSystemTrayIcon>(BrimfoldDesign::menuBarIcon());
    QSystemTrayIcon *icon = m_icon.get();
    icon->setToolTip(tr("Brimfold — screenshots within reach"));
    icon->setContextMenu(m_menu.get());
    connect(icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit toggleRequested();
    });
    icon->show();
    if (QSystemTrayIcon::isSystemTrayAvailable())
        return;
    // WORKAROUND(x11): Qt does not show an icon made before a tray host existed once one
    // appears; showing it again does.
    auto *retry = new QTimer(icon);
    retry->setInterval(kTrayRetryMs);
    connect(retry, &QTimer::timeout, icon, [icon, retry] {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        retry->stop();
        icon->hide();
        icon->show();
    });
    retry->start();
}

void TrayMenu::refresh()
{
    m_floatingEntry->setChecked(m_preferences.showFloatingButton());
    m_updatesEntry->setVisible(m_updater.isConfigured());
    m_updatesEntry->setEnabled(m_updater.canCheck());
}
