#include "app/dbus/DesktopSearchService.h"

#include "app/dbus/DesktopSearchHost.h"
#include "app/dbus/KRunnerProvider.h"
#include "app/dbus/ShellSearchProvider.h"
#include "platform/portal/ReopenChannel.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcDesktopSearch, "brimfold.search", QtWarningMsg)

namespace {

QList<QVariantMap> records(const QList<SearchHit> &hits)
{
    QList<QVariantMap> result;
    result.reserve(hits.size());
    for (const SearchHit &hit : hits)
        result.append(hit.toVariantMap());
    return result;
}

} // namespace

DesktopSearchService::DesktopSearchService(LibraryModel &model, GalleryPresenter &gallery,
                                           const ImageServices &images, QObject *parent)
    : QObject(parent)
    , m_host(new DesktopSearchHost(model, gallery, this))
    , m_shell(new ShellSearchProvider(*m_host, images))
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
    new KRunnerProvider(*m_host, this);
}

DesktopSearchService::~DesktopSearchService()
{
    if (m_published) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        for (const QString &path : {objectPath(), ShellSearchProvider::objectPath(), KRunnerProvider::objectPath()})
            bus.unregisterObject(path);
    }
    // Gone before the host it posts to. On the bus's thread it is deleted there, between calls;
    // that thread never waits for this one.
    QThread *thread = m_shell->thread();
    if (thread == QThread::currentThread() || !thread->isRunning()) {
        delete m_shell;
        return;
    }
    QDBusConnectionInterface *busObject = QDBusConnection::sessionBus().interface();
    QMetaObject::invokeMethod(busObject, [shell = m_shell] {
        // Qt's bus keeps a blocking connection to `destroyed` after the object is unregistered;
        // on its own thread that would wait for itself.
        QObject::disconnect(shell, &QObject::destroyed, nullptr, nullptr);
        delete shell;
    }, Qt::BlockingQueuedConnection);
}

QString DesktopSearchService::objectPath()
{
    return QStringLiteral("/app/vellum/screenshots/Search");
}

QString DesktopSearchService::interfaceName()
{
    return QStringLiteral("app.vellum.screenshots.Search");
}

bool DesktopSearchService::publish()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // Qt's bus interface object lives on the thread that reads the bus; a call to an object
    // there is handled without passing between threads.
    QDBusConnectionInterface *busObject = bus.interface();
    if (busObject && busObject->thread() != thread() && busObject->thread()->isRunning())
        m_shell->moveToThread(busObject->thread());
    const auto options = QDBusConnection::ExportAllSlots;
    bool published = bus.registerObject(objectPath(), this, options);
    published = bus.registerObject(ShellSearchProvider::objectPath(), m_shell, options) && published;
    published = bus.registerObject(KRunnerProvider::objectPath(), findChild<KRunnerProvider *>(),
                                   options) && published;
    m_published = true;
    if (!published)
        qCWarning(lcDesktopSearch) << "a search object path is taken on the session bus";
    return published;
}

QList<QVariantMap> DesktopSearchService::Find(const QString &query)
{
    if (m_host->isReady() || !calledFromDBus())
        return records(m_host->find(query));
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    m_host->whenReady(this, [this, call, bus, query]() mutable {
        bus.send(call.createReply(QVariant::fromValue(records(m_host->find(query)))));
    });
    return {};
}

std::optional<QList<SearchHit>> DesktopSearchService::ask(const QString &query, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    qDBusRegisterMetaType<QList<QVariantMap>>();
    QDBusMessage call = QDBusMessage::createMethodCall(ReopenChannel::serviceName(), objectPath(),
                                                       interfaceName(), QStringLiteral("Find"));
    call << query;
    // Never starts a copy: the command line reads the folder itself when none runs.
    call.setAutoStartService(false);
    const QDBusReply<QList<QVariantMap>> reply = bus.call(call, QDBus::Block, timeoutMs);
    if (!reply.isValid()) {
        qCDebug(lcDesktopSearch) << "the running copy did not answer:" << reply.error().message();
        return std::nullopt;
    }
    QList<SearchHit> hits;
    for (const QVariantMap &record : reply.value()) {
        if (auto hit = SearchHit::fromVariantMap(record))
            hits.append(std::move(*hit));
    }
    return hits;
}
