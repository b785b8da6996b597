#pragma once

// A desktop portal with global shortcuts, for tests: it serves on a private session bus that
// the test starts, records what it is asked, answers as told, and sends presses.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QVariantMap>

#include <memory>

struct FakePortalShortcut
{
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(FakePortalShortcut)
QDBusArgument &operator<<(QDBusArgument &argument, const FakePortalShortcut &shortcut);
const QDBusArgument &operator>>(const QDBusArgument &argument, FakePortalShortcut &shortcut);

// A dbus-daemon of the test's own; it ends with the object.
class PrivateBus final
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Empty when the daemon did not start.
    const QString &address() const { return m_address; }
    // A connection of the test's own to it, under `name`.
    QDBusConnection connect(const QString &name) const;

private:
    QProcess m_daemon;
    QString m_address;
};

class FakeShortcutPortal final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    struct Call
    {
        QString method; // CreateSession, BindShortcuts, ListShortcuts or Close
        QString sender;
        QString session; // the session it concerns (made, bound or closed)
        QVariantMap options;
        QList<FakePortalShortcut> shortcuts;
    };

    // Serves as org.freedesktop.portal.Desktop on the bus at `address`.
    explicit FakeShortcutPortal(const QString &address, QObject *parent = nullptr);
    ~FakeShortcutPortal() override;

    bool isServing() const { return m_serving; }
    uint version() const
    {
        ++versionReads;
        return 1;
    }

    // How the next BindShortcuts is answered: the response code, and whether the shortcuts
    // asked for come back as bound (a desktop may bind none of them and still answer 0).
    uint bindResponse = 0;
    bool bindsAsked = true;
    QString triggerDescription = QStringLiteral("Press Ctrl+Shift+G");

    QList<Call> calls;
    // Reads of the version property, which a client makes to learn whether shortcuts exist.
    mutable int versionReads = 0;
    QList<Call> callsOf(const QString &method) const;
    // The session most recently made, empty before the first.
    QString lastSession() const;

    // Sends the press of `id` in `session`.
    void activate(const QString &session, const QString &id = QStringLiteral("toggle-gallery"));
    // Says the user gave `id` another trigger in the desktop's settings.
    void changeTrigger(const QString &session, const QString &description,
                       const QString &id = QStringLiteral("toggle-gallery"));

    // Returns once the conversation with `client` rests, so a test can tell that something did
    // not happen without waiting for a while: round trips from the client until one brings no new
    // call. Each echo is answered after the calls the client sent before it, and the answer
    // reaches the client after everything the portal sent before it (a bus keeps each sender's
    // messages in order). False when the client cannot reach the portal.
    bool settle(const QDBusConnection &client);

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options, const QDBusMessage &message);
    QDBusObjectPath BindShortcuts(const QDBusObjectPath &session, const QList<FakePortalShortcut> &shortcuts,
                                  const QString &parentWindow, const QVariantMap &options,
                                  const QDBusMessage &message);

private:
    friend class FakePortalSession;
    QString handlePath(const QString &kind, const QDBusMessage &message, const QString &token) const;
    void respond(const QString &request, uint response, const QVariantMap &results);

    QDBusConnection m_bus;
    bool m_serving = false;
};

// Starts a private bus and the fake portal on it, for a test's init(); false when no
// dbus-daemon could be started.
bool startPortal(std::unique_ptr<PrivateBus> &bus, std::unique_ptr<FakeShortcutPortal> &portal);
