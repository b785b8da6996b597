#pragma once

#include "settings/Shortcut.h"

#include <QObject>

#include <memory>
#include <optional>

class HotKeySource;
class PortalHotKeySource;

// The one system-wide shortcut that opens and closes the gallery. Created once for the life of
// the program; at most one shortcut is registered at any time.
//
// In a Wayland session the desktop's portal is asked as well: an X11 grab there only sees keys
// typed into X11 windows. The grab stays until the desktop has bound the shortcut, and comes
// back whenever the desktop refuses or loses it, so some shortcut always works.
class GlobalShortcut final : public QObject
{
    Q_OBJECT

public:
    enum class DesktopAnswer { bound, refused, unavailable };
    Q_ENUM(DesktopAnswer)

    // Without a source (a desktop without hot keys) every registration fails. Without a
    // portal (an X11 session) the desktop is never asked.
    explicit GlobalShortcut(std::unique_ptr<HotKeySource> source, QObject *parent = nullptr);
    GlobalShortcut(std::unique_ptr<HotKeySource> source, std::unique_ptr<PortalHotKeySource> portal,
                   QObject *parent = nullptr);
    ~GlobalShortcut() override;

    // Gives up the registered shortcut, then registers this one by a grab. False when the
    // desktop refuses it or has no hot keys; then nothing is registered, and a caller that
    // wants the previous shortcut back registers it again.
    bool registerShortcut(const Shortcut &shortcut);

    // The shortcut registered now, if any.
    const std::optional<Shortcut> &registered() const { return m_registered; }

    bool hasPortal() const { return m_portal != nullptr; }
    // Asks the desktop's portal to bind `shortcut` (a new session; the old binding ends). The
    // grab of the registered shortcut is held meanwhile. Answered by `desktopAnswered`; on
    // `bound` the shortcut is the registered one, and the grab is given up so that no press
    // counts twice.
    void bindWithDesktop(const Shortcut &shortcut);
    // What the desktop says triggers the shortcut, while it has it bound.
    std::optional<QString> desktopTrigger() const;

signals:
    // The registered shortcut was pressed; emitted on the main thread.
    void pressed();
    // The grabbed key went down or up (HotKeySource::heldChanged); never for the desktop's
    // binding, which takes no grab.
    void heldChanged(bool held);
    void desktopAnswered(GlobalShortcut::DesktopAnswer answer);
    void desktopTriggerChanged();

private:
    void desktopFailed(DesktopAnswer answer);

    std::unique_ptr<HotKeySource> m_source;
    std::unique_ptr<PortalHotKeySource> m_portal;
    std::optional<Shortcut> m_registered;
    std::optional<Shortcut> m_asked;
    // The grab holds m_registered; false while only the desktop has it.
    bool m_grabbed = false;
};
