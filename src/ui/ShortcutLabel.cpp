#include "ui/ShortcutLabel.h"

#include "settings/Shortcut.h"

#include <QStringList>

namespace {

struct NamedKey
{
    quint32 keyCode;
    const char *name;
};

// Stored key codes of the keys that have a name rather than a character.
constexpr NamedKey kNamedKeys[] = {
    {49, "Space"}, {36, "Return"}, {48, "Tab"},  {51, "Backspace"},
    {123, "Left"}, {124, "Right"}, {125, "Down"}, {126, "Up"},
};

} // namespace

QString ShortcutLabel::keyName(quint32 keyCode)
{
    for (const NamedKey &key : kNamedKeys) {
        if (key.keyCode == keyCode)
            return QString::fromLatin1(key.name);
    }
    return {};
}

QString ShortcutLabel::label(const Shortcut &shortcut)
{
    QString text;
    if (shortcut.modifiers & Shortcut::controlModifier)
        text += QStringLiteral("Ctrl+");
    if (shortcut.modifiers & Shortcut::optionModifier)
        text += QStringLiteral("Alt+");
    if (shortcut.modifiers & Shortcut::shiftModifier)
        text += QStringLiteral("Shift+");
    if (shortcut.modifiers & Shortcut::commandModifier)
        text += QStringLiteral("Super+");
    const QString name = keyName(shortcut.keyCode);
    return text + (name.isEmpty() ? shortcut.character : name);
}
