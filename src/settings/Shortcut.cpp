#include "settings/Shortcut.h"

#include "platform/x11/KeyCodes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QKeyEvent>

#include <cmath>
#include <limits>

namespace {

std::optional<quint32> unsigned32(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number < 0.0
        || number > double(std::numeric_limits<quint32>::max()) || std::trunc(number) != number) {
        return std::nullopt;
    }
    return quint32(number);
}

} // namespace

QByteArray Shortcut::toJson() const
{
    const QJsonObject object{
        {QStringLiteral("keyCode"), qint64(keyCode)},
        {QStringLiteral("modifiers"), qint64(modifiers)},
        {QStringLiteral("character"), character},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<Shortcut> Shortcut::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const auto keyCode = unsigned32(object.value(QStringLiteral("keyCode")));
    const auto modifiers = unsigned32(object.value(QStringLiteral("modifiers")));
    const QJsonValue character = object.value(QStringLiteral("character"));
    if (!keyCode || !modifiers || !character.isString())
        return std::nullopt;
    return Shortcut{*keyCode, *modifiers, character.toString()};
}

QString Shortcut::label() const
{
    QString text;
    if (modifiers & VirtualKey::controlModifier)
        text += QStringLiteral("Ctrl+");
    if (modifiers & VirtualKey::altModifier)
        text += QStringLiteral("Alt+");
    if (modifiers & VirtualKey::shiftModifier)
        text += QStringLiteral("Shift+");
    if (modifiers & VirtualKey::superModifier)
        text += QStringLiteral("Super+");
    return text + character;
}

bool Shortcut::matches(const QKeyEvent &event) const
{
    if (event.type() != QEvent::KeyPress)
        return false;
    const auto code = KeyCodes::virtualKey(event);
    return code == keyCode && VirtualKey::modifierMask(event.modifiers()) == modifiers;
}
