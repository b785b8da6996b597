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

// Qt's bus interface object lives on the thread that reads the bus; a call to an object there
// is handled without passing between threads. None when that is this thread or not running.
QThread *busThread()
{
    const QDBusConnectionInterface *busObject = QDBusConnection::sessionBus().interface();
    QThread *thread = busObject ? busObject->thread() : nullptr;
    return thread && thread != QThread::currentThread() && thread->isRunning() ? thread : nullptr;
}

// Deletes an unregistered object of the bus's thread there, between calls; that thread never
// waits for this one.
void deleteOnItsThread(QObject *object)
{
    if (object->thread() == QThread::currentThread() || !object->thread()->isRunning()) {
        delete object;
        return;
    }
    QMetaObject::invokeMethod(QDBusConnection::sessionBus().interface(), [object] {
        // Qt's bus keeps a blocking connection to `destroyed` after the object is unregistered;
        // on its own thread that would wait for itself.
        QObject::disconnect(object, &QObject::destroyed, nullptr, nullptr);
        delete object;
    }, Qt::BlockingQueuedConnection);
}

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
    , m_runner(new KRunnerProvider(*m_host))
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
}

DesktopSearchService::~DesktopSearchService()
{
    if (m_published) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        for (const QString &path : {objectPath(), ShellSearchProvider::objectPath(), KRunnerProvider::objectPath()})
            bus.unregisterObject(path);
    }
    // Gone before the host they post to.
    deleteOnItsThread(m_shell);
    deleteOnItsThread(m_runner);
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
    if (QThread *thread = busThread()) {
        m_shell->moveToThread(thread);
        m_runner->moveToThread(thread);
    }
    const auto options = QDBusConnection::ExportAllSlots;
    bool published = bus.registerObject(objectPath(), this, options);
    published = bus.registerObject(ShellSearchProvider::objectPath(), m_shell, options) && published;
    published = bus.registerObject(KRunnerProvider::objectPath(), m_runner, options) && published;
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
