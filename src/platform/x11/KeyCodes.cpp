#include "platform/x11/KeyCodes.h"

#include "core/VirtualKey.h"
#include "platform/x11/X11.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <memory>

namespace KeyCodes {

std::optional<quint32> unshiftedKeysym(quint32 keycode)
{
    if (keycode == 0)
        return std::nullopt;
    xcb_connection_t *connection = X11::connection();
    if (!connection || keycode > 255)
        return std::nullopt;
    // The mapping is read afresh for each key so that a layout switch counts at once; one
    // small round trip at typing speed.
    const std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(connection), &xcb_key_symbols_free);
    if (!symbols)
        return std::nullopt;
    const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(symbols.get(), xcb_keycode_t(keycode), 0);
    return keysym == XCB_NO_SYMBOL ? std::nullopt : std::optional<quint32>(keysym);
}

std::optional<quint32> virtualKey(const QKeyEvent &event)
{
    // An event with native codes is judged by them alone: the Qt key of keypad 1 is Key_1,
    // but it is another key.
    if (event.nativeScanCode() == 0 && event.nativeVirtualKey() == 0)
        return VirtualKey::fromQtKey(event.key());
    if (const auto keysym = unshiftedKeysym(event.nativeScanCode())) {
        if (const auto code = VirtualKey::fromKeysym(*keysym))
            return code;
    }
    // Layouts that type a symbol unshifted and the digit shifted (AZERTY's "&" / "1").
    return VirtualKey::fromKeysym(event.nativeVirtualKey());
}

} // namespace KeyCodes
