#include "platform/portal/SystemShareServices.h"

#include "platform/portal/PortalSettings.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QVariantMap>

Q_LOGGING_CATEGORY(lcShare, "brimfold.share", QtWarningMsg)

namespace {

const QString portalOpenURI = QStringLiteral("org.freedesktop.portal.OpenURI");
const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString fileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");

bool isLocalFile(const QUrl &file)
{
    return file.isLocalFile() && QFileInfo(file.toLocalFile()).isFile();
}

} // namespace

SystemShareServices::SystemShareServices(QObject *parent)
    : QObject(parent)
    , m_xdgEmail(QStandardPaths::findExecutable(QStringLiteral("xdg-email")))
    , m_xdgOpen(QStandardPaths::findExecutable(QStringLiteral("xdg-open")))
{
}

bool SystemShareServices::isAvailable(Service service) const
{
    switch (service) {
    case Service::email:
        return !m_xdgEmail.isEmpty();
    case Service::openWith: {
        if (!m_xdgOpen.isEmpty())
            return true;
        const QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.isConnected() && bus.interface()
            && bus.interface()->isServiceRegistered(DesktopPortal::service()).value();
    }
    case Service::copyFile:
        return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
    }
    return false;
}

bool SystemShareServices::email(const QUrl &file)
{
    if (m_xdgEmail.isEmpty() || !isLocalFile(file))
        return false;
    // Arguments go to the program directly, never through a shell.
    return QProcess::startDetached(m_xdgEmail,
                                   {QStringLiteral("--attach"), file.toLocalFile()});
}

bool SystemShareServices::openWith(const QUrl &file)
{
    if (!isLocalFile(file))
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return openWithFallback(file);

    QFile handle(file.toLocalFile());
    if (!handle.open(QIODevice::ReadOnly))
        return false;
    // The descriptor is duplicated into the message, so the file may close right away.
    QDBusMessage call = QDBusMessage::createMethodCall(DesktopPortal::service(), DesktopPortal::path(), portalOpenURI,
                                                       QStringLiteral("OpenFile"));
    QVariantMap options;
    options.insert(QStringLiteral("ask"), true);
    call << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(handle.handle()))
         << options;
    handle.close();

    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, file] {
                watcher->deleteLater();
                if (watcher->isError()) {
                    qCWarning(lcShare) << "portal OpenFile failed:" << watcher->error().name();
                    openWithFallback(file);
                }
            });
    return true;
}

bool SystemShareServices::openWithFallback(const QUrl &file)
{
    if (m_xdgOpen.isEmpty())
        return false;
    return QProcess::startDetached(m_xdgOpen, {file.toLocalFile()});
}

QByteArray SystemShareServices::gnomeCopiedFiles(const QUrl &file)
{
    return QByteArrayLiteral("copy\n") + file.toEncoded();
}

bool SystemShareServices::copyFile(const QUrl &file)
{
    if (!isAvailable(Service::copyFile) || !isLocalFile(file))
        return false;
    auto *data = new QMimeData;
    data->setUrls({file});
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnomeCopiedFiles(file));
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data); // the clipboard owns the data from here on
    // Clipboards that cannot tell ownership (no X server) at least hand our data back.
    return clipboard->ownsClipboard() || clipboard->mimeData() == data;
}

bool SystemShareServices::showInFiles(const QUrl &file)
{
    if (!file.isLocalFile())
        return false;
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QDesktopServices::openUrl(folder);

    QDBusMessage call = QDBusMessage::createMethodCall(fileManagerService, fileManagerPath,
                                                       fileManagerService,
                                                       QStringLiteral("ShowItems"));
    call << QStringList{QString::fromUtf8(file.toEncoded())} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, folder] {
        watcher->deleteLater();
        if (watcher->isError()) {
            qCWarning(lcShare) << "no file manager answered ShowItems:" << watcher->error().name();
            QDesktopServices::openUrl(folder);
        }
    });
    return true;
}
