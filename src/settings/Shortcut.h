#pragma once

#include "core/VirtualKey.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QKeyEvent;

// The global keyboard shortcut: a layout-independent key code and a modifier mask in the
// program's stored encoding (core/VirtualKey.h), plus the text shown for the key. The default
// is Ctrl+Shift+G.
struct Shortcut final
{
    quint32 keyCode = VirtualKey::G;
    quint32 modifiers = VirtualKey::controlModifier | VirtualKey::shiftModifier;
    QString character = QStringLiteral("G");

    // The display text: "Ctrl+", "Alt+", "Shift+", "Super+" for the modifiers held, always in
    // that order, then the key's text ("Ctrl+Shift+G").
    QString label() const;

    // True for a key press of this key with exactly these modifiers (Ctrl, Alt, Shift, Super);
    // Caps Lock, Num Lock and the keypad flag play no part, nor does `character`.
    bool matches(const QKeyEvent &event) const;

    // {"keyCode": number, "modifiers": number, "character": string}
    QByteArray toJson() const;
    // None unless all three members are present with their types, key code and modifiers
    // being whole numbers that fit 32 bits.
    static std::optional<Shortcut> fromJson(const QByteArray &json);

    friend bool operator==(const Shortcut &, const Shortcut &) = default;
};
