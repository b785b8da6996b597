#pragma once

#include <QString>

struct Shortcut;

// The text a Linux desktop shows for a stored shortcut: "Ctrl+", "Alt+", "Shift+", "Super+" in
// that order, whatever order the keys were pressed in, then the key ("Ctrl+Shift+G").
class ShortcutLabel final
{
public:
    static QString label(const Shortcut &shortcut);
    // The Linux name of a key that has one (Space, Return, Tab, Backspace and the arrows), by
    // its stored key code; empty for every other key, which shows its stored character.
    static QString keyName(quint32 keyCode);
};
