#pragma once

// Keys on a real X display: what the server sends this program, and another program holding
// hot keys of its own.
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

// The first key code that types `keysym` on the connection's keyboard; 0 when none does.
inline xcb_keycode_t keycodeOf(xcb_connection_t *connection, xcb_keysym_t keysym)
{
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    xcb_keycode_t *keycodes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t keycode = keycodes ? keycodes[0] : 0;
    std::free(keycodes);
    xcb_key_symbols_free(symbols);
    return keycode;
}

// Another program on the same display, on a connection of its own; its grabs end with it.
struct OtherX11Client final
{
    OtherX11Client() = default;
    // Holding that combination from the start, if the server grants it.
    OtherX11Client(xcb_keysym_t keysym, quint16 modifiers) : held(grab(keysym, modifiers)) {}
    ~OtherX11Client() { xcb_disconnect(connection); }
    OtherX11Client(const OtherX11Client &) = delete;
    OtherX11Client &operator=(const OtherX11Client &) = delete;

    // False when another client holds the combination already: a grab is exclusive.
    bool grab(xcb_keysym_t keysym, quint16 modifiers)
    {
        const xcb_keycode_t keycode = keycodeOf(connection, keysym); // 0 would grab every key
        xcb_generic_error_t *error = keycode ? xcb_request_check(connection, xcb_grab_key_checked(
                                                   connection, false, root, modifiers, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC))
                                             : nullptr;
        std::free(error);
        return keycode && !error;
    }
    void ungrab(xcb_keysym_t keysym, quint16 modifiers)
    {
        xcb_ungrab_key(connection, keycodeOf(connection, keysym), root, modifiers);
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); // processed
    }

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    bool held = false;
};

// What the X server sends this program, seen on Qt's own connection ahead of the program's
// filters (the filter installed last sees events first): the presses of one key, and a marker
// that tells when everything the server sent before it has been handled.
class X11KeyEvents final : public QAbstractNativeEventFilter
{
public:
    explicit X11KeyEvents(xcb_keysym_t keysym)
        : m_connection(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection())
        , m_keycode(keycodeOf(m_connection, keysym))
    {
        // An unmapped window of our own whose property changes come back as the marker.
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~X11KeyEvents() override
    {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        xcb_destroy_window(m_connection, m_window);
        xcb_flush(m_connection);
    }
    X11KeyEvents(const X11KeyEvents &) = delete;
    X11KeyEvents &operator=(const X11KeyEvents &) = delete;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        switch (event->response_type & 0x7f) {
        case XCB_KEY_PRESS:
            presses += static_cast<const xcb_key_press_event_t *>(message)->detail == m_keycode;
            break;
        case XCB_PROPERTY_NOTIFY:
            m_marksSeen += static_cast<const xcb_property_notify_event_t *>(message)->window == m_window;
            break;
        default:
            break;
        }
        return false;
    }

    // Waits until the program has handled every event the server sent it before this call
    // (keys another client such as xdotool typed and finished typing included).
    bool sync()
    {
        const int mark = ++m_marksSent;
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_NAME,
                            XCB_ATOM_STRING, 8, 1, "m");
        xcb_flush(m_connection);
        return QTest::qWaitFor([&] { return m_marksSeen >= mark; }, 10000);
    }

    int presses = 0; // the key's presses, auto-repeated ones included

private:
    xcb_connection_t *m_connection;
    xcb_keycode_t m_keycode = 0;
    xcb_window_t m_window = 0;
    int m_marksSent = 0;
    int m_marksSeen = 0;
};
