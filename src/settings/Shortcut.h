#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The global keyboard shortcut: a virtual key code and a modifier mask in the stored
// (Carbon) encoding, plus the text shown for the key. The default is Control-Shift-G.
struct Shortcut final
{
    // Modifier bits of `modifiers`.
    static constexpr quint32 commandModifier = 0x100;
    static constexpr quint32 shiftModifier = 0x200;
    static constexpr quint32 optionModifier = 0x800;
    static constexpr quint32 controlModifier = 0x1000;

    quint32 keyCode = 5;
    quint32 modifiers = controlModifier | shiftModifier;
    QString character = QStringLiteral("G");

    // {"keyCode": number, "modifiers": number, "character": string}
    QByteArray toJson() const;
    // None unless all three members are present with their types, key code and modifiers
    // being whole numbers that fit 32 bits.
    static std::optional<Shortcut> fromJson(const QByteArray &json);

    friend bool operator==(const Shortcut &, const Shortcut &) = default;
};
