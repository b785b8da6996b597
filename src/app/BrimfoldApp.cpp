#include "app/BrimfoldApp.h"

#include "app/AppDelegate.h"
#include "app/LaunchOptions.h"
#include "app/SingleInstance.h"
#include "platform/ImageServices.h"
#include "platform/ReopenChannel.h"

#include <QApplication>
#include <QCoreApplication>

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
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

} // namespace

int BrimfoldApp::main(int argc, char **argv)
{
    const LaunchOptions options = LaunchOptions::parse(argumentsOf(argc, argv));

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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brimfold"));
    QApplication::setDesktopFileName(QStringLiteral("app.vellum.screenshots"));
    // Closing the settings or feedback window never quits; "Quit Brimfold" does.
    QApplication::setQuitOnLastWindowClosed(false);

    if (outcome == SingleInstance::Outcome::Unavailable && ReopenChannel::otherInstancePid() != 0) {
        ReopenChannel::post();
        return 0;
    }

    ImageServices::applyAllocationLimit();

    AppDelegate delegate(options);
    if (!delegate.applicationDidFinishLaunching())
        return 1;
    return app.exec();
}
