#pragma once

#include <QObject>

#include <memory>

class Preferences;
class QAction;
class QMenu;
class QSystemTrayIcon;
class UpdateService;

// The tray icon and its menu: the gallery, the floating button's switch, the settings, beta
// feedback, update checks and quitting. A click on the icon itself toggles the gallery, as
// Linux tray icons do; the menu is on the other button.
class TrayMenu final : public QObject
{
    Q_OBJECT

public:
    TrayMenu(Preferences &preferences, UpdateService &updater, QObject *parent = nullptr);
    ~TrayMenu() override;

    QMenu &menu() const { return *m_menu; }
    // Refreshes the check mark and the update entry, as each opening of the menu does.
    void refresh();

signals:
    void openRequested();
    void toggleRequested();
    void settingsRequested();
    void feedbackRequested();

private:
    void showIcon();

    Preferences &m_preferences;
    UpdateService &m_updater;
    std::unique_ptr<QMenu> m_menu;
    // After the menu, so it goes first: it shows that menu.
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QAction *m_floatingEntry = nullptr;
    QAction *m_updatesEntry = nullptr;
};
