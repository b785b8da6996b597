#include "library/LibraryState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace {
const QLatin1String kPinnedPathsKey("pinnedPaths");
}

LibraryState::LibraryState(QSet<QString> pinnedPaths)
    : m_pinnedPaths(std::move(pinnedPaths))
{
}

void LibraryState::togglePin(const QString &path)
{
    if (!m_pinnedPaths.remove(path))
        m_pinnedPaths.insert(path);
}

QByteArray LibraryState::toJson() const
{
    QStringList paths(m_pinnedPaths.cbegin(), m_pinnedPaths.cend());
    std::sort(paths.begin(), paths.end());
    const QJsonObject object{{kPinnedPathsKey, QJsonArray::fromStringList(paths)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

LibraryState LibraryState::fromJson(const QByteArray &data)
{
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return {};
    const QJsonValue value = document.object().value(kPinnedPathsKey);
    if (!value.isArray())
        return {};
    LibraryState state;
    for (const QJsonValue &entry : value.toArray()) {
        if (entry.isString())
            state.m_pinnedPaths.insert(entry.toString());
    }
    return state;
}
