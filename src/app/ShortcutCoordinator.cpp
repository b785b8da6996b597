#include "app/ShortcutCoordinator.h"

#include "platform/HotKeySource.h"
#include "platform/portal/PortalHotKeySource.h"
#include "settings/Preferences.h"

#include <utility>

ShortcutCoordinator::ShortcutCoordinator(Preferences &preferences, std::unique_ptr<HotKeySource> hotKeys,
                                         std::unique_ptr<PortalHotKeySource> portal, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_shortcut(std::make_unique<GlobalShortcut>(std::move(hotKeys), std::move(portal)))
{
    connect(m_shortcut.get(), &GlobalShortcut::pressed, this, &ShortcutCoordinator::pressed);
    connect(m_shortcut.get(), &GlobalShortcut::heldChanged, this, &ShortcutCoordinator::heldChanged);
    connect(m_shortcut.get(), &GlobalShortcut::desktopAnswered, this, &ShortcutCoordinator::desktopAnswered);
    connect(m_shortcut.get(), &GlobalShortcut::desktopTriggerChanged, this,
            &ShortcutCoordinator::desktopTriggerChanged);
}

ShortcutCoordinator::~ShortcutCoordinator() = default;

void ShortcutCoordinator::start()
{
    if (!m_shortcut->registerShortcut(m_preferences.shortcut()))
        setError(tr("This shortcut is in use. Record another one."));
}

void ShortcutCoordinator::bindWithDesktop()
{
    if (!m_shortcut->hasPortal())
        return;
    m_desktopRequest = DesktopRequest{m_preferences.shortcut(), false};
    m_shortcut->bindWithDesktop(m_desktopRequest->shortcut);
}

std::optional<QString> ShortcutCoordinator::desktopTrigger() const
{
    return m_shortcut->desktopTrigger();
}

void ShortcutCoordinator::setShortcut(const Shortcut &shortcut)
{
    if (m_shortcut->hasPortal()) {
        // The desktop decides; the old shortcut stays stored and working until it agrees.
        m_desktopRequest = DesktopRequest{shortcut, true};
        m_shortcut->bindWithDesktop(shortcut);
        return;
    }
    grab(shortcut);
}

bool ShortcutCoordinator::grab(const Shortcut &shortcut)
{
    const Shortcut old = m_preferences.shortcut();
    if (m_shortcut->registerShortcut(shortcut)) {
        m_preferences.setShortcut(shortcut);
        setError(std::nullopt);
        return true;
    }
    m_shortcut->registerShortcut(old);
    setError(tr("That shortcut is unavailable. Try a different combination."));
    return false;
}

void ShortcutCoordinator::desktopAnswered(GlobalShortcut::DesktopAnswer answer)
{
    const std::optional<DesktopRequest> request = std::exchange(m_desktopRequest, std::nullopt);
    if (!request)
        return;
    switch (answer) {
    case GlobalShortcut::DesktopAnswer::bound:
        m_preferences.setShortcut(request->shortcut);
        setError(std::nullopt);
        return;
    case GlobalShortcut::DesktopAnswer::refused:
        if (!m_shortcut->registered()) {
            // The grab failed as well: nothing works, as when a grab alone is refused.
            setError(request->recorded ? tr("That shortcut is unavailable. Try a different combination.")
                                       : tr("This shortcut is in use. Record another one."));
            return;
        }
        setError(request->recorded
                     ? tr("The desktop did not accept that shortcut. The previous one works only "
                          "while an X11 window is active.")
                     : tr("The desktop did not accept this shortcut. It works only while an X11 "
                          "window is active."));
        return;
    case GlobalShortcut::DesktopAnswer::unavailable:
        // Without the desktop's help the grab is all there is, as under X11.
        if (request->recorded ? !grab(request->shortcut) : !m_shortcut->registered())
            return;
        setError(tr("This desktop offers no global shortcuts to apps. The shortcut works only "
                    "while an X11 window is active."));
        return;
    }
}

void ShortcutCoordinator::setError(const std::optional<QString> &error)
{
    if (m_error == error)
        return;
    m_error = error;
    emit shortcutErrorChanged();
}
