// The desktop's settings as the program reads them at start: the portal's values (served on a
// private session bus by a fake portal) and whether a compositing manager runs (a selection
// this test takes on the X server). Neither may be waited for while the first window is made,
// so both are followed until they arrive.
#include "FakeShortcutPortal.h"

#include "platform/portal/PortalColorScheme.h"
#include "platform/portal/SystemAccessibility.h"
#include "platform/x11/X11.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QHash>
#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <optional>

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

} // namespace

// Serves Read and sends SettingChanged for the values a test puts in.
class FakeSettingsPortal final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    explicit FakeSettingsPortal(const QDBusConnection &bus)
        : m_bus(bus)
    {
    }

    bool serve()
    {
        return m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)
            && m_bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }

    void change(const QString &group, const QString &key, const QVariant &value)
    {
        values.insert(group + u'/' + key, value);
        emit SettingChanged(group, key, QDBusVariant(value));
    }

    QHash<QString, QVariant> values;
    int reads = 0;

public slots:
    QDBusVariant Read(const QString &group, const QString &key, const QDBusMessage &message)
    {
        ++reads;
        const auto found = values.constFind(group + u'/' + key);
        if (found == values.constEnd()) {
            message.setDelayedReply(true);
            m_bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                                                QStringLiteral("no such setting")));
            return {};
        }
        // Portals wrap the value in a second variant.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(*found)));
    }

signals:
    void SettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    QDBusConnection m_bus;
};

class TestDesktopSettings final : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeSettingsPortal> m_portal;

    // Owns "_NET_WM_CM_S<screen>" on a connection of its own, as a compositing manager does.
    struct FakeCompositor
    {
        FakeCompositor()
        {
            QByteArray display = qgetenv("DISPLAY");
            const qsizetype dot = display.indexOf('.', display.lastIndexOf(':') + 1);
            const QByteArray name = "_NET_WM_CM_S" + (dot > 0 ? display.mid(dot + 1) : QByteArray("0"));
            connection = xcb_connect(nullptr, nullptr);
            if (xcb_connection_has_error(connection))
                return;
            const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
            window = xcb_generate_id(connection);
            xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                              XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
            const X11::Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
                connection, xcb_intern_atom(connection, 0, quint16(name.size()), name.constData()), nullptr));
            if (!atom)
                return;
            xcb_set_selection_owner(connection, window, atom->atom, XCB_CURRENT_TIME);
            std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
            running = true;
        }
        ~FakeCompositor() { xcb_disconnect(connection); }
        FakeCompositor(const FakeCompositor &) = delete;
        FakeCompositor &operator=(const FakeCompositor &) = delete;

        xcb_connection_t *connection = nullptr;
        xcb_window_t window = 0;
        bool running = false;
    };

private slots:
    void initTestCase()
    {
        // Before anything of ours connects to the session bus: that is then the private one.
        m_bus = std::make_unique<PrivateBus>();
        QVERIFY(!m_bus->address().isEmpty());
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().toUtf8());
        m_portal = std::make_unique<FakeSettingsPortal>(m_bus->connect(QStringLiteral("portal")));
        QVERIFY(m_portal->serve());
        QVERIFY(X11::connection());
    }

    void init()
    {
        m_portal->values.clear();
        m_portal->reads = 0;
    }

    // The colour scheme arrives after construction, and follows the desktop's changes.
    void colorSchemeArrivesAndFollows()
    {
        m_portal->values.insert(QStringLiteral("org.freedesktop.appearance/color-scheme"), 1u);
        PortalColorScheme scheme;
        QCOMPARE(scheme.preference(), ColorScheme::Preference::none);
        QSignalSpy changed(&scheme, &ColorScheme::changed);
        QTRY_COMPARE(scheme.preference(), ColorScheme::Preference::dark);
        m_portal->change(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), 2u);
        QTRY_COMPARE(scheme.preference(), ColorScheme::Preference::light);
        QCOMPARE(changed.size(), 2);
    }

    // Animations and contrast from the portal; the compositor from the X server, whose answer
    // is taken when first needed. Without a compositor, translucent windows would show garbage.
    void accessibilityCombinesPortalAndCompositor_data()
    {
        QTest::addColumn<bool>("compositor");
        QTest::newRow("no compositor") << false;
        QTest::newRow("a compositor runs") << true;
    }
    void accessibilityCombinesPortalAndCompositor()
    {
        QFETCH(bool, compositor);
        std::optional<FakeCompositor> manager;
        if (compositor) {
            manager.emplace();
            QVERIFY(manager->running);
        }
        m_portal->values.insert(QStringLiteral("org.gnome.desktop.interface/enable-animations"), false);
        SystemAccessibility accessibility;
        QCOMPARE(accessibility.reduceTransparency(), !compositor);
        QSignalSpy changed(&accessibility, &Accessibility::changed);
        QTRY_VERIFY(accessibility.reduceMotion());
        QCOMPARE(changed.size(), 1);
        // Every key is asked for, each once.
        QTRY_COMPARE(m_portal->reads, 4);

        m_portal->change(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("contrast"), 1u);
        QTRY_VERIFY(accessibility.reduceTransparency());
        m_portal->change(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("contrast"), 0u);
        QTRY_COMPARE(accessibility.reduceTransparency(), !compositor);
        QCOMPARE(changed.size(), compositor ? 3 : 1);
    }

    // A compositor that starts or stops later is seen at the next look.
    void compositorChangesAreSeenOnRefresh()
    {
        SystemAccessibility accessibility;
        QVERIFY(accessibility.reduceTransparency());
        QSignalSpy changed(&accessibility, &Accessibility::changed);
        {
            FakeCompositor manager;
            QVERIFY(manager.running);
            accessibility.refresh();
            QVERIFY(!accessibility.reduceTransparency());
        }
        // Its connection closed: the selection has no owner any more.
        QTRY_VERIFY_WITH_TIMEOUT((accessibility.refresh(), accessibility.reduceTransparency()), 5000);
        QCOMPARE(changed.size(), 2);
    }
};

QTEST_MAIN(TestDesktopSettings)
#include "tst_x11_desktopsettings.moc"
