#pragma once

#include <QList>
#include <QRect>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>

// The few X11 calls the stand-ins share. Every function is safe off X11 (another platform
// plugin, or none): there is simply no connection then.
namespace X11 {

// Qt's own connection to the X server; null when the program does not run on X11.
xcb_connection_t *connection();
// Whether the X server that DISPLAY names accepts a connection; asked before Qt makes its own.
bool displayReachable();
// The root window of the connection's first screen.
xcb_window_t rootWindow(xcb_connection_t *connection);
// The atom of that name; none when it does not exist yet and `onlyIfExists` is set.
xcb_atom_t atom(xcb_connection_t *connection, const char *name, bool onlyIfExists = false);
// Asks for the atom of that name without waiting: the next atom() for it takes the answer, by
// then usually in. Made unless `onlyIfExists` is set.
void prefetchAtom(xcb_connection_t *connection, const char *name, bool onlyIfExists = false);

// The window manager's work area (_NET_WORKAREA, in root coordinates):
// the root window less the struts of panels and docks. None off X11 or when nobody publishes it.
std::optional<QRect> workArea();

// Whether the primary pointer button is held, as the X server sees it; none off X11.
std::optional<bool> primaryButtonPressed();

// True when a compositing manager owns the EWMH selection "_NET_WM_CM_S<screen>"; none off X11.
std::optional<bool> compositorRunning();
// The same question asked now and answered later, so its round trip to the X server overlaps
// other work: right after Qt starts, the server is still busy with Qt's own requests. The
// answer may be waited for on another thread.
struct CompositorQuestion
{
    xcb_connection_t *connection = nullptr;
    xcb_intern_atom_cookie_t selection{};
};
CompositorQuestion askCompositorRunning();
std::optional<bool> compositorAnswer(const CompositorQuestion &question);
// Asks KWin to blur what lies behind the window within `rects` (device pixels); an empty list
// removes the request. Other window managers ignore it.
void setBlurBehind(quint64 window, const QList<QRect> &rects);

struct FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};
// A reply of libxcb, which the caller frees.
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

} // namespace X11
