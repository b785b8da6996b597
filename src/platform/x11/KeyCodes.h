#pragma once

#include <QtGlobal>

#include <optional>

class QKeyEvent;

// The stored virtual key code (core/VirtualKey.h) of a key event, found the same way wherever
// a key is compared with a shortcut.
namespace KeyCodes {

// The key's code whatever Shift or Caps Lock did to it: on X11 from the keysym the hardware
// key types without modifiers (so Shift+1 is still the "1" key), else from the keysym the
// event carries; events with no native codes (synthetic ones) by their Qt key. None for keys
// without a stored code, modifier keys among them.
std::optional<quint32> virtualKey(const QKeyEvent &event);

// The keysym an X keycode types with no modifiers (the first column of the keyboard mapping,
// letters in lower case); none off X11 or for an unmapped keycode.
std::optional<quint32> unshiftedKeysym(quint32 keycode);

} // namespace KeyCodes
