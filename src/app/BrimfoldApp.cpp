#include "app/BrimfoldApp.h"

#include "core/AppIdentity.h"
#include "core/BackgroundPool.h"

#include "app/AppDelegate.h"
#include "app/LaunchOptions.h"
#include "app/QuitSignals.h"
#include "app/SearchCommand.h"
#include "app/SingleInstance.h"
#include "platform/ImageServices.h"
#include "platform/freedesktop/FontConfiguration.h"
#include "platform/portal/PortalHotKeySource.h"
#include "platform/portal/ReopenChannel.h"
#include "platform/x11/X11.h"
#include "settings/ReleaseInfo.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/SymbolIcons.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// The floating panels need absolute window positions, which only X11 gives; a Wayland session
// runs the program through XWayland unless the user chose a platform.
void preferX11()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    if (PortalHotKeySource::isWaylandSession())
        qputenv("QT_QPA_PLATFORM", "xcb");
}

// Without a display Qt would abort with its platform-plugin message; say what is missing instead.
// Another platform chosen by the user is left for Qt to judge.
bool displayReachable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return true;
    return X11::displayReachable();
}

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

int BrimfoldApp::main(int argc, char **argv)
{
    const LaunchOptions options = LaunchOptions::parse(argumentsOf(argc, argv));
    if (options.help) {
        print(stdout, LaunchOptions::usage());
        return 0;
    }
    if (options.version) {
        print(stdout, QStringLiteral("Brimfold %1\n").arg(ReleaseInfo::displayVersion()));
        return 0;
    }

    // A search is answered without taking the lock or opening a window.
    if (options.search)
        return SearchCommand::run(options, argc, argv);

    // Lives until main returns, and with it the lock.
    SingleInstance instance;
    const SingleInstance::Outcome outcome =
        instance.acquire(options.demo, SingleInstance::defaultLockDirectory());
    if (outcome == SingleInstance::Outcome::HeldElsewhere) {
        // Only the bus is needed to ask the running copy to show itself; no window is made.
        QCoreApplication messenger(argc, argv);
        ReopenChannel::post();
        return 0;
    }

    preferX11();
    if (!displayReachable()) {
        print(stderr, QStringLiteral("brimfold: needs a graphical session, but no display could be opened.\n"));
        return 2;
    }
    // The font configuration needs no application object: read while Qt connects to the display.
    QFuture<void> fontConfiguration = FontConfiguration::preload();
    QApplication app(argc, argv);
    // What the first window waits for, started on other threads at once: the fonts, once their
    // configuration is read, and the session bus (the appearance and accessibility settings are
    // read over it). Declared after the application, so its end waits for them before the
    // application goes.
    struct WarmUp
    {
        QFuture<void> configuration;
        QFuture<void> fonts = BrimfoldDesign::warmUpFonts(configuration);
        QFuture<void> bus = QtConcurrent::run(&BackgroundPool::shared(), [] { QDBusConnection::sessionBus(); });
        ~WarmUp()
        {
            fonts.waitForFinished();
            bus.waitForFinished();
        }
    } warmUp{fontConfiguration};
    SymbolIcons::preload();
    QApplication::setApplicationName(QStringLiteral("Brimfold"));
    QApplication::setDesktopFileName(AppIdentity::applicationId());
    // Closing the settings or feedback window never quits; "Quit Brimfold" does.
    QApplication::setQuitOnLastWindowClosed(false);

    if (outcome == SingleInstance::Outcome::Unavailable && ReopenChannel::otherInstancePid() != 0) {
        ReopenChannel::post();
        return 0;
    }

    ImageServices::applyAllocationLimit();

    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &app, &QCoreApplication::quit);

    AppDelegate delegate(options);
    if (!delegate.applicationDidFinishLaunching())
        return 1;
    const int status = app.exec();
    // The icon listing runs at idle priority; on a busy machine it must not hold up the exit.
    SymbolIcons::stopListing();
    return status;
}
