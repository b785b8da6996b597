#include "core/VirtualKey.h"

namespace VirtualKey {
namespace {

struct Entry
{
    Code code;
    int qtKey;
    quint32 keysym;
    const char *name = nullptr; // shown instead of the typed character
};

// A key that types one ASCII character: its keysym is that character and its Qt key the
// upper-case form (Qt::Key_A is 'A', Qt::Key_BracketLeft is '[').
constexpr Entry typing(Code code, char character)
{
    const int upper = character >= 'a' && character <= 'z' ? character - 'a' + 'A' : character;
    return {code, upper, quint32(character)};
}

// The X keysyms (X11/keysymdef.h) of the keys that type no character, named here so this
// library needs no X headers.
namespace Keysym {
constexpr quint32 backSpace = 0xff08;
constexpr quint32 tab = 0xff09;
constexpr quint32 returnKey = 0xff0d;
constexpr quint32 escape = 0xff1b;
constexpr quint32 home = 0xff50;
constexpr quint32 left = 0xff51;
constexpr quint32 up = 0xff52;
constexpr quint32 right = 0xff53;
constexpr quint32 down = 0xff54;
constexpr quint32 pageUp = 0xff55;
constexpr quint32 pageDown = 0xff56;
constexpr quint32 end = 0xff57;
constexpr quint32 deleteKey = 0xffff;
constexpr quint32 f1 = 0xffbe; // F1 to F12 are consecutive
constexpr quint32 function(int number) { return f1 + quint32(number - 1); }
} // namespace Keysym

constexpr Entry kKeys[] = {
    typing(A, 'a'), typing(S, 's'), typing(D, 'd'), typing(F, 'f'), typing(H, 'h'),
    typing(G, 'g'), typing(Z, 'z'), typing(X, 'x'), typing(C, 'c'), typing(V, 'v'),
    typing(B, 'b'), typing(Q, 'q'), typing(W, 'w'), typing(E, 'e'), typing(R, 'r'),
    typing(Y, 'y'), typing(T, 't'), typing(Digit1, '1'), typing(Digit2, '2'),
    typing(Digit3, '3'), typing(Digit4, '4'), typing(Digit6, '6'), typing(Digit5, '5'),
    typing(Equal, '='), typing(Digit9, '9'), typing(Digit7, '7'), typing(Minus, '-'),
    typing(Digit8, '8'), typing(Digit0, '0'), typing(RightBracket, ']'), typing(O, 'o'),
    typing(U, 'u'), typing(LeftBracket, '['), typing(I, 'i'), typing(P, 'p'),
    {Return, Qt::Key_Return, Keysym::returnKey, "Return"},
    typing(L, 'l'), typing(J, 'j'), typing(Quote, '\''), typing(K, 'k'),
    typing(Semicolon, ';'), typing(Backslash, '\\'), typing(Comma, ','), typing(Slash, '/'),
    typing(N, 'n'), typing(M, 'm'), typing(Period, '.'),
    {Tab, Qt::Key_Tab, Keysym::tab, "Tab"},
    {Space, Qt::Key_Space, quint32(' '), "Space"},
    typing(Grave, '`'),
    {Backspace, Qt::Key_Backspace, Keysym::backSpace, "Backspace"},
    {Escape, Qt::Key_Escape, Keysym::escape},
    {F5, Qt::Key_F5, Keysym::function(5)}, {F6, Qt::Key_F6, Keysym::function(6)},
    {F7, Qt::Key_F7, Keysym::function(7)}, {F3, Qt::Key_F3, Keysym::function(3)},
    {F8, Qt::Key_F8, Keysym::function(8)}, {F9, Qt::Key_F9, Keysym::function(9)},
    {F11, Qt::Key_F11, Keysym::function(11)}, {F10, Qt::Key_F10, Keysym::function(10)},
    {F12, Qt::Key_F12, Keysym::function(12)},
    {Home, Qt::Key_Home, Keysym::home}, {PageUp, Qt::Key_PageUp, Keysym::pageUp},
    {ForwardDelete, Qt::Key_Delete, Keysym::deleteKey}, {F4, Qt::Key_F4, Keysym::function(4)},
    {End, Qt::Key_End, Keysym::end}, {F2, Qt::Key_F2, Keysym::function(2)},
    {PageDown, Qt::Key_PageDown, Keysym::pageDown}, {F1, Qt::Key_F1, Keysym::f1},
    {Left, Qt::Key_Left, Keysym::left, "Left"}, {Right, Qt::Key_Right, Keysym::right, "Right"},
    {Down, Qt::Key_Down, Keysym::down, "Down"}, {Up, Qt::Key_Up, Keysym::up, "Up"},
};

const Entry *byCode(quint32 code)
{
    for (const Entry &entry : kKeys) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

} // namespace

quint32 modifierMask(Qt::KeyboardModifiers modifiers)
{
    quint32 mask = 0;
    if (modifiers & Qt::ControlModifier)
        mask |= controlModifier;
    if (modifiers & Qt::AltModifier)
        mask |= altModifier;
    if (modifiers & Qt::ShiftModifier)
        mask |= shiftModifier;
    if (modifiers & Qt::MetaModifier)
        mask |= superModifier;
    return mask;
}

std::optional<quint32> fromQtKey(int qtKey)
{
    // Shift+Tab arrives as Backtab.
    if (qtKey == Qt::Key_Backtab)
        qtKey = Qt::Key_Tab;
    for (const Entry &entry : kKeys) {
        if (entry.qtKey == qtKey)
            return entry.code;
    }
    return std::nullopt;
}

std::optional<quint32> fromKeysym(quint32 keysym)
{
    if (keysym >= 'A' && keysym <= 'Z')
        keysym += 'a' - 'A';
    for (const Entry &entry : kKeys) {
        if (entry.keysym == keysym)
            return entry.code;
    }
    return std::nullopt;
}

std::optional<Qt::Key> qtKey(quint32 code)
{
    const Entry *entry = byCode(code);
    return entry ? std::optional(Qt::Key(entry->qtKey)) : std::nullopt;
}

std::optional<quint32> keysym(quint32 code)
{
    const Entry *entry = byCode(code);
    return entry ? std::optional(entry->keysym) : std::nullopt;
}

QString name(quint32 code)
{
    const Entry *entry = byCode(code);
    return entry && entry->name ? QString::fromLatin1(entry->name) : QString();
}

QString text(quint32 code)
{
    // A printable ASCII keysym is its own character; the named keys above type nothing.
    const Entry *entry = byCode(code);
    if (!entry || entry->keysym < quint32(' ') || entry->keysym > quint32('~'))
        return {};
    return QString(QChar(char16_t(entry->keysym)));
}

} // namespace VirtualKey
