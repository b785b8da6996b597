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

// Keysyms from X11/keysymdef.h, written out so this library needs no X headers.
constexpr Entry kKeys[] = {
    typing(A, 'a'), typing(S, 's'), typing(D, 'd'), typing(F, 'f'), typing(H, 'h'),
    typing(G, 'g'), typing(Z, 'z'), typing(X, 'x'), typing(C, 'c'), typing(V, 'v'),
    typing(B, 'b'), typing(Q, 'q'), typing(W, 'w'), typing(E, 'e'), typing(R, 'r'),
    typing(Y, 'y'), typing(T, 't'), typing(Digit1, '1'), typing(Digit2, '2'),
    typing(Digit3, '3'), typing(Digit4, '4'), typing(Digit6, '6'), typing(Digit5, '5'),
    typing(Equal, '='), typing(Digit9, '9'), typing(Digit7, '7'), typing(Minus, '-'),
    typing(Digit8, '8'), typing(Digit0, '0'), typing(RightBracket, ']'), typing(O, 'o'),
    typing(U, 'u'), typing(LeftBracket, '['), typing(I, 'i'), typing(P, 'p'),
    {Return, Qt::Key_Return, 0xff0d, "Return"},
    typing(L, 'l'), typing(J, 'j'), typing(Quote, '\''), typing(K, 'k'),
    typing(Semicolon, ';'), typing(Backslash, '\\'), typing(Comma, ','), typing(Slash, '/'),
    typing(N, 'n'), typing(M, 'm'), typing(Period, '.'),
    {Tab, Qt::Key_Tab, 0xff09, "Tab"},
    {Space, Qt::Key_Space, 0x20, "Space"},
    typing(Grave, '`'),
    {Backspace, Qt::Key_Backspace, 0xff08, "Backspace"},
    {Escape, Qt::Key_Escape, 0xff1b},
    {F5, Qt::Key_F5, 0xffc2}, {F6, Qt::Key_F6, 0xffc3}, {F7, Qt::Key_F7, 0xffc4},
    {F3, Qt::Key_F3, 0xffc0}, {F8, Qt::Key_F8, 0xffc5}, {F9, Qt::Key_F9, 0xffc6},
    {F11, Qt::Key_F11, 0xffc8}, {F10, Qt::Key_F10, 0xffc7}, {F12, Qt::Key_F12, 0xffc9},
    {Home, Qt::Key_Home, 0xff50}, {PageUp, Qt::Key_PageUp, 0xff55},
    {ForwardDelete, Qt::Key_Delete, 0xffff}, {F4, Qt::Key_F4, 0xffc1},
    {End, Qt::Key_End, 0xff57}, {F2, Qt::Key_F2, 0xffbf}, {PageDown, Qt::Key_PageDown, 0xff56},
    {F1, Qt::Key_F1, 0xffbe},
    {Left, Qt::Key_Left, 0xff51, "Left"}, {Right, Qt::Key_Right, 0xff53, "Right"},
    {Down, Qt::Key_Down, 0xff54, "Down"}, {Up, Qt::Key_Up, 0xff52, "Up"},
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
    // Latin-1 keysyms are their own character; the others (0xff..) type nothing printable.
    const Entry *entry = byCode(code);
    if (!entry || entry->keysym < 0x20 || entry->keysym > 0x7e)
        return {};
    return QString(QChar(char16_t(entry->keysym)));
}

} // namespace VirtualKey
