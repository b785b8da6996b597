#include "app/AppDelegate.h"

#include "app/AppController.h"
#include "app/GalleryPresenter.h"
#include "app/dbus/DesktopSearchService.h"
#include "platform/portal/ReopenChannel.h"
#include "library/ScreenshotScanner.h"
#include "platform/freedesktop/SystemScreenshotLocation.h"
#include "platform/freedesktop/SettingsStore.h"
#include "settings/Preferences.h"

#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcLaunch, "brimfold.launch", QtWarningMsg)

AppDelegate::AppDelegate(const LaunchOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::applicationDidFinishLaunching()
{
    const QString suite = m_options.demo ? SettingsStore::demoSuite() : SettingsStore::normalSuite();
    m_store = SettingsStore::open(suite);
    if (!m_store) {
        // Demo settings must never fall back onto the user's own.
        if (m_options.demo) {
            qCritical("Brimfold: the demo settings folder cannot be created.");
            return false;
        }
        // Without a settings folder the program still runs on defaults; writes fail quietly.
        m_store = std::make_unique<SettingsStore>(
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/')
            + suite + QStringLiteral("/settings.json"));
    }
    m_screenshotLocation = std::make_unique<SystemScreenshotLocation>(&ScreenshotScanner::newestScreenshotMs);
    m_controller = std::make_unique<AppController>(*m_store, *m_screenshotLocation, m_options,
                                                   AppServices::system(m_options.demo));
    applyDemoFlags(m_options, m_controller->preferences());

    m_controller->start();
    // The desktop's searches and later launches are served once the first frame is on screen:
    // a search that starts the program, and a later launch, wait for the name until then.
    if (!m_options.demo)
        m_controller->whenFirstPainted(this, [this] { offerOnTheBus(); });
    return true;
}

void AppDelegate::offerOnTheBus()
{
    // Published before the name is owned: a search that starts the program is queued by the
    // bus until then, and must find its object.
    m_search = std::make_unique<DesktopSearchService>(m_controller->model(), m_controller->gallery(),
                                                      *m_controller->services().images);
    if (!m_search->publish())
        qCDebug(lcLaunch) << "desktop search is not offered on the session bus";
    m_reopen = new ReopenChannel(this);
    connect(m_reopen, &ReopenChannel::reopenRequested, this, &AppDelegate::reopenGallery, Qt::QueuedConnection);
    if (!m_reopen->listen())
        qCDebug(lcLaunch) << "later launches cannot reach this copy over the session bus";
}

void AppDelegate::reopenGallery()
{
    if (m_controller)
        m_controller->gallery().show(false);
}

void AppDelegate::applyDemoFlags(const LaunchOptions &options, Preferences &preferences)
{
    if (!options.demo || !options.demoFolder)
        return;
    preferences.setFolderPath(*options.demoFolder);
    preferences.setHasConnectedFolder(!options.demoWelcome);
    preferences.setIncludeAllImages(true);
}
