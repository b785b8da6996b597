#pragma once

#include "settings/GlobalShortcut.h"
#include "settings/Shortcut.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class HotKeySource;
class PortalHotKeySource;
class Preferences;

// The global shortcut as the user meets it: the stored one registered at start, the desktop's
// portal asked for it in a Wayland session, a newly recorded one taken or refused, and what
// went wrong said in words (shortcutError). Main thread only.
class ShortcutCoordinator final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(std::optional<QString> shortcutError READ shortcutError NOTIFY shortcutErrorChanged)

public:
    ShortcutCoordinator(Preferences &preferences, std::unique_ptr<HotKeySource> hotKeys,
                        std::unique_ptr<PortalHotKeySource> portal, QObject *parent = nullptr);
    ~ShortcutCoordinator() override;

    // Grabs the stored shortcut; says so when another program holds it.
    void start();
    // In a Wayland session, asks the desktop for the stored shortcut. The grab made at start
    // serves until the desktop answers.
    void bindWithDesktop();
    // Registers and stores `shortcut`; on refusal the old one stays active and stored. In a
    // Wayland session the desktop's answer comes later, and so do the store and the error.
    void setShortcut(const Shortcut &shortcut);

    const std::optional<QString> &shortcutError() const { return m_error; }
    // How the desktop says the shortcut is typed, while it has it bound (Wayland only).
    std::optional<QString> desktopTrigger() const;

signals:
    void pressed();
    // GlobalShortcut::heldChanged: the grab holds the keyboard while the key is down.
    void heldChanged(bool held);
    void shortcutErrorChanged();
    void desktopTriggerChanged();

private:
    // The grab alone: stores `shortcut` when taken, else takes the old one back and says so.
    bool grab(const Shortcut &shortcut);
    void desktopAnswered(GlobalShortcut::DesktopAnswer answer);
    void setError(const std::optional<QString> &error);

    Preferences &m_preferences;
    std::unique_ptr<GlobalShortcut> m_shortcut;
    std::optional<QString> m_error;
    // The shortcut the desktop's portal was asked for, at start or as recorded by the user.
    struct DesktopRequest
    {
        Shortcut shortcut;
        bool recorded = false;
    };
    std::optional<DesktopRequest> m_desktopRequest;
};
