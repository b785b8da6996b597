#pragma once

#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>

class DesktopSearchHost;
class PublishedLibrary;
class QDBusArgument;
struct SearchHit;

// One action a runner offers on a match: (sss) id, text, icon name.
struct RunnerAction final
{
    QString id;
    QString text;
    QString iconName;
};
QDBusArgument &operator<<(QDBusArgument &argument, const RunnerAction &action);
const QDBusArgument &operator>>(const QDBusArgument &argument, RunnerAction &action);
Q_DECLARE_METATYPE(RunnerAction)

// One match: (sssida{sv}) id, text, icon name, category, relevance (0 to 1), properties.
struct RunnerMatch final
{
    QString id;
    QString text;
    QString iconName;
    int category = 0;
    double relevance = 0;
    QVariantMap properties;
};
QDBusArgument &operator<<(QDBusArgument &argument, const RunnerMatch &match);
const QDBusArgument &operator>>(const QDBusArgument &argument, RunnerMatch &match);
Q_DECLARE_METATYPE(RunnerMatch)

using RunnerActions = QList<RunnerAction>;
using RunnerMatches = QList<RunnerMatch>;

// The KDE runner (org.kde.krunner1): KRunner lists the screenshots the gallery would find,
// opens the gallery on one, or copies its image or its text without opening anything.
// Like ShellSearchProvider it may live on the bus's thread; the host must outlive it.
class KRunnerProvider final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.krunner1")

public:
    // KRunner's "possible match": below exact matches of other runners.
    static constexpr int possibleMatch = 30;
    // A runner's list stays short; the gallery holds the rest.
    static constexpr int matchLimit = 20;

    explicit KRunnerProvider(DesktopSearchHost &host, QObject *parent = nullptr);

    static QString objectPath();
    static QString copyActionId() { return QStringLiteral("copy"); }
    static QString copyTextActionId() { return QStringLiteral("copy-text"); }

public Q_SLOTS:
    RunnerActions Actions();
    RunnerMatches Match(const QString &query);
    void Run(const QString &matchId, const QString &actionId);
    // KRunner ends a session (its window closed): what the session left here goes.
    void Teardown();

private:
    // The first matchLimit of `hits`, found for `query`.
    static RunnerMatches matches(const QList<SearchHit> &hits, const QString &query);

    DesktopSearchHost *m_host;
    std::shared_ptr<const PublishedLibrary> m_library;
    // Running a match opens the gallery on the query that found it.
    QString m_lastQuery;
};
