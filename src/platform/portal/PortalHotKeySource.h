#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

class QDBusMessage;

// One entry of the portal's shortcut lists: an id and its properties ("description",
// "preferred_trigger" going in; "description", "trigger_description" coming back).
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(PortalShortcut)
QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut);
const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut);

// The desktop portal's global shortcuts (org.freedesktop.portal.GlobalShortcuts). In a Wayland
// session an X11 grab sees only keys typed into X11 windows; the desktop itself sees them all,
// and this asks it for the one combination. The desktop may show the user a dialog and may let
// the user pick another trigger, so every answer comes later, as a signal on the main thread;
// nothing here waits for a reply.
class PortalHotKeySource final : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *shortcutId = "toggle-gallery";

    // The connection the portal is reached on: the session bus, or a test's private one.
    explicit PortalHotKeySource(const QDBusConnection &bus, QObject *parent = nullptr);
    ~PortalHotKeySource() override;

    // A Wayland session: XDG_SESSION_TYPE is "wayland" or WAYLAND_DISPLAY is set.
    static bool isWaylandSession();

    // The combination in the freedesktop shortcuts format, modifiers first in the order CTRL,
    // ALT, SHIFT, LOGO, then the key's keysym name ("CTRL+SHIFT+g", "ALT+space", "LOGO+F5").
    // Empty for a key code without a keysym.
    static QString trigger(quint32 keyCode, quint32 modifiers);

    // Asks the desktop for the combination. A portal session binds only once, so the current
    // session is closed and a new one made. Ends in one of bound, refused or unavailable,
    // unless another bind or a release comes first.
    void bind(quint32 keyCode, quint32 modifiers);
    // Closes the session; the desktop forgets nothing, but presses stop coming.
    void release();

    bool isBound() const { return m_step == Step::bound; }
    // How the desktop says the shortcut is typed, in its own words; empty when unbound.
    const QString &triggerDescription() const { return m_triggerDescription; }

signals:
    void bound(const QString &triggerDescription);
    // The desktop (or the user, in its dialog) declined.
    void refused();
    // No portal, or one without global shortcuts.
    void unavailable();
    // The user changed the trigger in the desktop's settings.
    void triggerChanged(const QString &triggerDescription);
    void pressed();

private slots:
    void onResponse(const QDBusMessage &message);
    void onActivated(const QDBusMessage &message);
    void onShortcutsChanged(const QDBusMessage &message);

private:
    enum class Step { idle, probing, creating, binding, bound };

    void createSession();
    void bindShortcut();
    // The request's Response is watched before the call goes out, so it cannot be missed.
    void expectResponse(const QString &requestPath);
    void stopExpecting();
    QString nextToken();
    QString requestPath(const QString &token) const;
    void fail(bool refusedByDesktop);
    bool isOurs(const QVariant &sessionHandle) const;
    // Sends a call; `done` runs with the reply unless the request has been superseded.
    void callPortal(QDBusMessage call, std::function<void(const QDBusMessage &reply)> done);

    QDBusConnection m_bus;
    Step m_step = Step::idle;
    // Bumped by every bind and release, so late replies to an older request are dropped.
    quint64 m_generation = 0;
    quint64 m_tokens = 0;
    QString m_preferredTrigger;
    QString m_request;
    QString m_session;
    QString m_triggerDescription;
};
