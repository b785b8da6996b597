#include "platform/x11/X11ActiveWindow.h"

#include "platform/x11/X11.h"

using X11::Reply;

std::optional<quint64> X11ActiveWindow::current() const
{
    xcb_connection_t *c = X11::connection();
    if (!c)
        return std::nullopt;
    const xcb_atom_t active = X11::atom(c, "_NET_ACTIVE_WINDOW");
    if (active == XCB_ATOM_NONE)
        return std::nullopt;
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, X11::rootWindow(c), active, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32
        || xcb_get_property_value_length(reply.get()) < int(sizeof(xcb_window_t))) {
        return std::nullopt;
    }
    const xcb_window_t window = *static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    return quint64(window);
}

void X11ActiveWindow::activate(quint64 window)
{
    xcb_connection_t *c = X11::connection();
    if (!c || window == 0)
        return;
    const xcb_window_t root = X11::rootWindow(c);
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window);
    event.type = X11::atom(c, "_NET_ACTIVE_WINDOW");
    // Source 2: a pager acting for the user, so the window manager's focus-stealing
    // prevention lets the request through.
    event.data.data32[0] = 2;
    event.data.data32[1] = XCB_CURRENT_TIME;
    event.data.data32[2] = XCB_WINDOW_NONE;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);
}

bool X11ActiveWindow::exists(quint64 window) const
{
    xcb_connection_t *c = X11::connection();
    if (!c || window == 0)
        return false;
    const Reply<xcb_get_window_attributes_reply_t> reply(xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, xcb_window_t(window)), nullptr));
    return bool(reply);
}
