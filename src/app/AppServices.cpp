#include "app/AppServices.h"

#include "core/AppIdentity.h"

#include "platform/Accessibility.h"
#include "platform/ActiveWindow.h"
#include "platform/Displays.h"
#include "platform/HotKeySource.h"
#include "platform/freedesktop/InotifyEventSource.h"
#include "platform/freedesktop/SystemTrash.h"
#include "platform/freedesktop/SystemUrlOpener.h"
#include "platform/freedesktop/XdgAutostart.h"
#include "platform/image/SystemImageServices.h"
#include "platform/portal/LogindSleepWatcher.h"
#include "platform/portal/PortalColorScheme.h"
#include "platform/portal/PortalHotKeySource.h"
#include "platform/portal/SystemAccessibility.h"
#include "platform/portal/SystemShareServices.h"
#include "platform/x11/SystemClipboard.h"
#include "platform/x11/SystemDisplays.h"
#include "platform/x11/X11ActiveWindow.h"
#include "platform/x11/X11HotKeySource.h"
#include "text/ScreenshotTextWorker.h"
#include "text/TesseractRecognizer.h"
#include "ui/controls/FolderDialogPicker.h"

#include <QDBusConnection>
#include <QDir>
#include <QStandardPaths>

AppServices::AppServices() = default;
AppServices::~AppServices() = default;
AppServices::AppServices(AppServices &&) noexcept = default;
AppServices &AppServices::operator=(AppServices &&) noexcept = default;

QString AppServices::textCacheDirectory(bool demo)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(dataHome).filePath(AppIdentity::id(demo) + QStringLiteral("/ScreenshotText-v1"));
}

AppServices AppServices::system(bool demo)
{
    AppServices services;
    services.images = std::make_unique<SystemImageServices>();
    services.accessibility = std::make_unique<SystemAccessibility>();
    services.share = std::make_unique<SystemShareServices>();
    services.displays = std::make_unique<SystemDisplays>();
    services.activeWindow = std::make_unique<X11ActiveWindow>();
    services.hotKeys = std::make_unique<X11HotKeySource>();
    if (PortalHotKeySource::isWaylandSession())
        services.hotKeyPortal = std::make_unique<PortalHotKeySource>(QDBusConnection::sessionBus());
    services.clipboard = std::make_unique<SystemClipboard>();
    services.urls = std::make_unique<SystemUrlOpener>();
    services.colorScheme = std::make_unique<PortalColorScheme>();
    services.sleep = std::make_unique<LogindSleepWatcher>();
    services.launchAtLogin = std::make_unique<XdgAutostart>();
    services.makeLibraryServices = [demo](const ImageServices &images) {
        LibraryModel::Services library;
        library.clipboard = std::make_unique<SystemClipboard>();
        library.trash = std::make_unique<SystemTrash>();
        library.images = &images;
        library.folderPicker = std::make_unique<FolderDialogPicker>();
        library.eventSource = std::make_unique<InotifyEventSource>();
        const QString cacheFolder = textCacheDirectory(demo);
        // A backlog is read on every core, each extra thread with an engine of its own; only the
        // first recogniser keeps the language data's digest.
        library.textWorker = std::make_unique<ScreenshotTextWorker>(
            cacheFolder, TesseractRecognizer::create(images, cacheFolder),
            [&images, cacheFolder] { return TesseractRecognizer::create(images, cacheFolder, false); });
        return library;
    };
    return services;
}
