#include "platform/x11/X11ActiveWindow.h"

#include "platform/x11/X11.h"

#include <memory>
#include <utility>

using X11::Reply;

namespace {

// A request for the root window's _NET_ACTIVE_WINDOW, answered once.
class ActiveWindowQuestion final
{
public:
    ActiveWindowQuestion(xcb_connection_t *connection, xcb_get_property_cookie_t cookie)
        : m_connection(connection)
        , m_cookie(cookie)
    {
    }
    ActiveWindowQuestion(const ActiveWindowQuestion &) = delete;
    ActiveWindowQuestion &operator=(const ActiveWindowQuestion &) = delete;
    ~ActiveWindowQuestion()
    {
        // Otherwise the reply would stay queued on the connection; a connection that is gone
        // took its replies with it.
        if (!m_answered && m_connection == X11::connection())
            xcb_discard_reply(m_connection, m_cookie.sequence);
    }

    std::optional<quint64> answer()
    {
        if (std::exchange(m_answered, true))
            return m_answer;
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, m_cookie, nullptr));
        if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32
            || xcb_get_property_value_length(reply.get()) < int(sizeof(xcb_window_t))) {
            return m_answer;
        }
        const xcb_window_t window = *static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
        if (window != XCB_WINDOW_NONE)
            m_answer = quint64(window);
        return m_answer;
    }

private:
    xcb_connection_t *m_connection;
    xcb_get_property_cookie_t m_cookie;
    bool m_answered = false;
    std::optional<quint64> m_answer;
};

} // namespace

std::optional<quint64> X11ActiveWindow::current() const
{
    return ask()();
}

std::function<std::optional<quint64>()> X11ActiveWindow::ask() const
{
    xcb_connection_t *c = X11::connection();
    if (!c)
        return [] { return std::optional<quint64>(); };
    const xcb_atom_t active = X11::atom(c, "_NET_ACTIVE_WINDOW");
    if (active == XCB_ATOM_NONE)
        return [] { return std::optional<quint64>(); };
    auto question = std::make_shared<ActiveWindowQuestion>(
        c, xcb_get_property(c, 0, X11::rootWindow(c), active, XCB_ATOM_WINDOW, 0, 1));
    // Sent now, so the server answers while the caller goes on.
    xcb_flush(c);
    return [question] { return question->answer(); };
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
