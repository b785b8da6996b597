#include "platform/x11/X11.h"
#include "platform/x11/X11ActiveWindow.h"

#include <QGuiApplication>
#include <QScopeGuard>
#include <QTest>

#include <xcb/xcb.h>

// Runs on the test display. The root window's _NET_ACTIVE_WINDOW is set here directly, as a
// window manager would, and put back afterwards.
class TestX11ActiveWindow final : public QObject
{
    Q_OBJECT

private:
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_atom_t m_active = XCB_ATOM_NONE;

    // Sets the property, or deletes it when `type` is none; applied once this returns.
    bool setActive(quint32 window, xcb_atom_t type = XCB_ATOM_WINDOW)
    {
        const xcb_void_cookie_t cookie = type == XCB_ATOM_NONE
            ? xcb_delete_property_checked(m_connection, m_root, m_active)
            : xcb_change_property_checked(m_connection, XCB_PROP_MODE_REPLACE, m_root, m_active, type, 32, 1,
                                          &window);
        return !X11::Reply<xcb_generic_error_t>(xcb_request_check(m_connection, cookie));
    }

private slots:
    void initTestCase()
    {
        m_connection = X11::connection();
        QVERIFY(m_connection);
        m_root = X11::rootWindow(m_connection);
        m_active = X11::atom(m_connection, "_NET_ACTIVE_WINDOW");
        QVERIFY(m_active != XCB_ATOM_NONE);
    }

    // An answer taken later is still the window that was active when it was asked; one that is
    // never taken leaves the connection as it was.
    void answersAsOfTheQuestion()
    {
        const X11::Reply<xcb_get_property_reply_t> saved(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, m_root, m_active, XCB_ATOM_ANY, 0, 16), nullptr));
        QVERIFY(saved);
        const auto restore = qScopeGuard([&] {
            if (saved->type == XCB_ATOM_NONE) {
                setActive(0, XCB_ATOM_NONE);
                return;
            }
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_root, m_active, saved->type, saved->format,
                                quint32(xcb_get_property_value_length(saved.get()) / (saved->format / 8)),
                                xcb_get_property_value(saved.get()));
            xcb_flush(m_connection);
        });

        const X11ActiveWindow active;
        QVERIFY(setActive(0x1234));
        QCOMPARE(active.current(), std::optional<quint64>(0x1234));
        const auto before = active.ask();
        auto dropped = active.ask();
        QVERIFY(setActive(0x5678));
        QCOMPARE(before(), std::optional<quint64>(0x1234));
        QCOMPARE(before(), std::optional<quint64>(0x1234));
        dropped = {};
        QCOMPARE(active.current(), std::optional<quint64>(0x5678));

        // No window, a value of another type, no property: nothing is active.
        QVERIFY(setActive(XCB_WINDOW_NONE));
        QCOMPARE(active.current(), std::nullopt);
        QVERIFY(setActive(0x1234, XCB_ATOM_CARDINAL));
        QCOMPARE(active.ask()(), std::nullopt);
        QVERIFY(setActive(0, XCB_ATOM_NONE));
        QCOMPARE(active.current(), std::nullopt);
    }
};

QTEST_MAIN(TestX11ActiveWindow)
#include "tst_x11_activewindow.moc"
