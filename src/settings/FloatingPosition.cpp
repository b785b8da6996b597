#include "settings/FloatingPosition.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

std::optional<QByteArray> FloatingPosition::toJson() const
{
    if (!std::isfinite(horizontal) || !std::isfinite(vertical))
        return std::nullopt;
    const QJsonObject object{
        {QStringLiteral("displayID"), displayID},
        {QStringLiteral("horizontal"), horizontal},
        {QStringLiteral("vertical"), vertical},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<FloatingPosition> FloatingPosition::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue displayID = object.value(QStringLiteral("displayID"));
    const QJsonValue horizontal = object.value(QStringLiteral("horizontal"));
    const QJsonValue vertical = object.value(QStringLiteral("vertical"));
    if (!displayID.isString() || !horizontal.isDouble() || !vertical.isDouble())
        return std::nullopt;
    return FloatingPosition{displayID.toString(), horizontal.toDouble(), vertical.toDouble()};
}
