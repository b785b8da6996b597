#include "platform/x11/X11.h"

#include <QGuiApplication>
#include <QHash>
#include <QMutex>

namespace X11 {

xcb_connection_t *connection()
{
    // Off X11 the interface may still exist, without a connection behind it.
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

bool displayReachable()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t *probe = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(probe) == 0;
    xcb_disconnect(probe);
    return reachable;
}

xcb_window_t rootWindow(xcb_connection_t *connection)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

namespace {

using AtomKey = std::pair<xcb_connection_t *, QByteArray>;

// An atom, once it exists, lives as long as the server: each is asked for once per connection,
// not at every use (opening the gallery asked for several). One that does not exist yet is
// asked for again, as a window manager may create it later.
struct Atoms
{
    QMutex mutex;
    QHash<AtomKey, xcb_atom_t> known;
    // Asked for and not taken yet, and whether only if it exists.
    QHash<AtomKey, std::pair<xcb_intern_atom_cookie_t, bool>> asked;
};

Atoms &atoms()
{
    static Atoms instance;
    return instance;
}

xcb_atom_t answer(xcb_connection_t *connection, xcb_intern_atom_cookie_t cookie)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

xcb_atom_t atom(xcb_connection_t *connection, const char *name, bool onlyIfExists)
{
    Atoms &all = atoms();
    const AtomKey key(connection, QByteArray(name));
    std::optional<std::pair<xcb_intern_atom_cookie_t, bool>> asked;
    {
        const QMutexLocker lock(&all.mutex);
        if (const auto found = all.known.constFind(key); found != all.known.cend())
            return *found;
        if (const auto question = all.asked.constFind(key); question != all.asked.cend()) {
            asked = *question;
            all.asked.erase(question);
        }
    }
    xcb_atom_t result = asked ? answer(connection, asked->first) : xcb_atom_t(XCB_ATOM_NONE);
    // Not asked for yet, or asked for only if it existed and now to be made.
    if (!asked || (result == XCB_ATOM_NONE && asked->second && !onlyIfExists))
        result = answer(connection, xcb_intern_atom(connection, onlyIfExists, quint16(qstrlen(name)), name));
    if (result != XCB_ATOM_NONE) {
        const QMutexLocker lock(&all.mutex);
        all.known.insert(key, result);
    }
    return result;
}

void prefetchAtom(xcb_connection_t *connection, const char *name, bool onlyIfExists)
{
    Atoms &all = atoms();
    const AtomKey key(connection, QByteArray(name));
    const QMutexLocker lock(&all.mutex);
    if (all.known.contains(key) || all.asked.contains(key))
        return;
    all.asked.insert(key, {xcb_intern_atom(connection, onlyIfExists, quint16(qstrlen(name)), name), onlyIfExists});
    xcb_flush(connection);
}

std::optional<QRect> workArea()
{
    xcb_connection_t *c = connection();
    if (!c)
        return std::nullopt;
    const xcb_atom_t property = atom(c, "_NET_WORKAREA", true);
    if (property == XCB_ATOM_NONE)
        return std::nullopt;
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, rootWindow(c), property, XCB_ATOM_CARDINAL, 0, 4), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 16)
        return std::nullopt;
    // One rectangle per virtual desktop; the first is the one every desktop shares in practice.
    const auto *area = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
    return QRect(int(area[0]), int(area[1]), int(area[2]), int(area[3]));
}

std::optional<bool> primaryButtonPressed()
{
    xcb_connection_t *c = connection();
    if (!c)
        return std::nullopt;
    const Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, rootWindow(c)), nullptr));
    if (!reply)
        return std::nullopt;
    return bool(reply->mask & XCB_BUTTON_MASK_1);
}

std::optional<bool> compositorRunning()
{
    return compositorAnswer(askCompositorRunning());
}

CompositorQuestion askCompositorRunning()
{
    xcb_connection_t *c = connection();
    if (!c)
        return {};
    // Qt connects to the screen DISPLAY names, which is the one our windows are on.
    int screen = 0;
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.indexOf('.', display.lastIndexOf(':') + 1);
    if (dot > 0)
        screen = display.mid(dot + 1).toInt();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    // Sent now; flushed so the server can answer while we go on.
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, quint16(name.size()), name.constData());
    xcb_flush(c);
    return {c, cookie};
}

std::optional<bool> compositorAnswer(const CompositorQuestion &question)
{
    xcb_connection_t *c = question.connection;
    if (!c)
        return std::nullopt;
    const Reply<xcb_intern_atom_reply_t> interned(xcb_intern_atom_reply(c, question.selection, nullptr));
    const xcb_atom_t selection = interned ? interned->atom : xcb_atom_t(XCB_ATOM_NONE);
    if (selection == XCB_ATOM_NONE)
        return std::nullopt;
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    if (!owner)
        return std::nullopt;
    return owner->owner != XCB_NONE;
}

void setBlurBehind(quint64 window, const QList<QRect> &rects)
{
    xcb_connection_t *c = connection();
    if (!c || window == 0)
        return;
    // Only when the window manager created the atom: interning it ourselves would announce a
    // property nobody reads.
    const xcb_atom_t property = atom(c, "_KDE_NET_WM_BLUR_BEHIND_REGION", true);
    if (property == XCB_ATOM_NONE)
        return;
    if (rects.isEmpty()) {
        xcb_delete_property(c, xcb_window_t(window), property);
    } else {
        QList<quint32> values;
        for (const QRect &rect : rects)
            values << quint32(rect.x()) << quint32(rect.y()) << quint32(rect.width()) << quint32(rect.height());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window), property,
                            XCB_ATOM_CARDINAL, 32, quint32(values.size()), values.constData());
    }
    xcb_flush(c);
}

} // namespace X11
