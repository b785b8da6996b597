#pragma once

#include <QString>
#include <QtCore/qnamespace.h>

#include <optional>

// The key codes shortcuts are stored with (the fixed numbering the settings file keeps, one
// number per key of a US layout) and their modifier mask, with the one table that maps each
// code to a Qt key and an X keysym. A key is identified by what it types without modifiers, so the
// codes follow the keyboard layout, as Linux shortcuts do.
namespace VirtualKey {

enum Code : quint32 {
    A = 0, S = 1, D = 2, F = 3, H = 4, G = 5, Z = 6, X = 7, C = 8, V = 9, B = 11, Q = 12, W = 13,
    E = 14, R = 15, Y = 16, T = 17, Digit1 = 18, Digit2 = 19, Digit3 = 20, Digit4 = 21,
    Digit6 = 22, Digit5 = 23, Equal = 24, Digit9 = 25, Digit7 = 26, Minus = 27, Digit8 = 28,
    Digit0 = 29, RightBracket = 30, O = 31, U = 32, LeftBracket = 33, I = 34, P = 35,
    Return = 36, L = 37, J = 38, Quote = 39, K = 40, Semicolon = 41, Backslash = 42, Comma = 43,
    Slash = 44, N = 45, M = 46, Period = 47, Tab = 48, Space = 49, Grave = 50,
    Backspace = 51, // stored under the name "Delete"
    Escape = 53,
    F5 = 96, F6 = 97, F7 = 98, F3 = 99, F8 = 100, F9 = 101, F11 = 103, F10 = 109, F12 = 111,
    Home = 115, PageUp = 116, ForwardDelete = 117, F4 = 118, End = 119, F2 = 120,
    PageDown = 121, F1 = 122, Left = 123, Right = 124, Down = 125, Up = 126,
};

// Modifier bits of a stored mask.
inline constexpr quint32 superModifier = 0x100;
inline constexpr quint32 shiftModifier = 0x200;
inline constexpr quint32 altModifier = 0x800;
inline constexpr quint32 controlModifier = 0x1000;

// The mask of Qt's modifier flags (Ctrl, Alt, Shift, Meta = Super); every other flag, such as
// the keypad one, is left out.
quint32 modifierMask(Qt::KeyboardModifiers modifiers);

// The code of a Qt key; letters are one key whatever the case (Qt::Key_G), and Backtab is Tab.
std::optional<quint32> fromQtKey(int qtKey);
// The code of an X keysym; upper-case Latin letters count as their key.
std::optional<quint32> fromKeysym(quint32 keysym);

std::optional<Qt::Key> qtKey(quint32 code);
std::optional<quint32> keysym(quint32 code);

// "Space", "Return", "Tab", "Backspace", "Left", "Right", "Down", "Up"; empty for other keys.
QString name(quint32 code);
// What the key types with no modifiers ("g", "1", "["); empty for keys that type nothing
// (function keys, navigation keys) and for unknown codes.
QString text(quint32 code);

} // namespace VirtualKey
