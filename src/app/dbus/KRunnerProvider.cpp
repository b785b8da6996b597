#include "app/dbus/KRunnerProvider.h"

#include "app/dbus/DesktopSearchHost.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QUrl>

QDBusArgument &operator<<(QDBusArgument &argument, const RunnerAction &action)
{
    argument.beginStructure();
    argument << action.id << action.text << action.iconName;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, RunnerAction &action)
{
    argument.beginStructure();
    argument >> action.id >> action.text >> action.iconName;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const RunnerMatch &match)
{
    argument.beginStructure();
    argument << match.id << match.text << match.iconName << match.category << match.relevance
             << match.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, RunnerMatch &match)
{
    argument.beginStructure();
    argument >> match.id >> match.text >> match.iconName >> match.category >> match.relevance
        >> match.properties;
    argument.endStructure();
    return argument;
}

KRunnerProvider::KRunnerProvider(DesktopSearchHost &host, QObject *parent)
    : QObject(parent)
    , m_host(&host)
    , m_library(host.published())
{
    qDBusRegisterMetaType<RunnerAction>();
    qDBusRegisterMetaType<RunnerActions>();
    qDBusRegisterMetaType<RunnerMatch>();
    qDBusRegisterMetaType<RunnerMatches>();
}

QString KRunnerProvider::objectPath()
{
    return QStringLiteral("/app/vellum/screenshots/KRunner");
}

RunnerActions KRunnerProvider::Actions()
{
    return {
        {copyActionId(), tr("Copy"), QStringLiteral("edit-copy")},
        {copyTextActionId(), tr("Copy text"), QStringLiteral("edit-select-text")},
    };
}

RunnerMatches KRunnerProvider::Match(const QString &query)
{
    m_lastQuery = query;
    const SearchableLibrary library = m_library->current();
    if (library.ready || !calledFromDBus())
        return matches(library.find(query, matchLimit), query);
    setDelayedReply(true);
    m_host->answerWhenReady(message(), connection(), [host = m_host, query] {
        return QVariant::fromValue(matches(host->find(query, matchLimit), query));
    });
    return {};
}

RunnerMatches KRunnerProvider::matches(const QList<SearchHit> &hits, const QString &query)
{
    RunnerMatches result;
    for (const SearchHit &hit : hits) {
        if (result.size() == matchLimit)
            break;
        RunnerMatch match;
        match.id = hit.path;
        match.text = hit.name;
        match.iconName = QStringLiteral("image-x-generic");
        match.category = possibleMatch;
        // The gallery's order, kept: newest first.
        match.relevance = 0.9 - 0.01 * double(result.size());
        match.properties = {
            {QStringLiteral("subtext"), hit.description(query)},
            {QStringLiteral("urls"), QStringList{QUrl::fromLocalFile(hit.path).toString()}},
        };
        result.append(match);
    }
    return result;
}

void KRunnerProvider::Run(const QString &matchId, const QString &actionId)
{
    if (actionId == copyActionId())
        m_host->post([host = m_host, matchId] { host->copy(matchId); });
    else if (actionId == copyTextActionId())
        m_host->post([host = m_host, matchId] { host->copyText(matchId); });
    else if (actionId.isEmpty())
        m_host->postWhenReady([host = m_host, query = m_lastQuery, matchId] { host->activate(query, matchId); });
}

void KRunnerProvider::Teardown()
{
    m_lastQuery.clear();
}
