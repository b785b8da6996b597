#pragma once

// Driving a real X display from a test, as a person would: xdotool keys and clicks, and a
// window of another program to come from and go back to; and the settings the real program
// finds at its start.
#include "TestSupport.h"
#include "core/AppIdentity.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTest>

namespace desktop {

// Runs a tool and returns its trimmed standard output; empty when it did not finish.
inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(15000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

inline QString xdotool(const QStringList &arguments) { return run("xdotool", arguments); }

// Presses keys as a person would, whatever modifiers the test harness happens to hold.
inline void key(const char *keys) { xdotool({"key", "--clearmodifiers", keys}); }

// The clipboard's content of `type` (a MIME type, or TARGETS), as another program pastes it;
// empty when xclip did not finish. The event loop turns meanwhile, so that this program can
// answer while it owns the clipboard.
inline QByteArray clipboard(const char *type)
{
    QProcess xclip;
    xclip.start("xclip", {"-selection", "clipboard", "-t", type, "-o"});
    const bool done = xclip.waitForStarted()
        && QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 20000);
    return done && xclip.exitCode() == 0 ? xclip.readAllStandardOutput() : QByteArray();
}

// Visible top-level windows titled exactly `title`, of one process or of any.
inline QStringList visibleWindows(const QString &title, qint64 pid = 0)
{
    QStringList arguments{"search", "--all", "--onlyvisible"};
    if (pid)
        arguments << "--pid" << QString::number(pid);
    const QString out = xdotool(arguments << "--name" << QStringLiteral("^%1$").arg(title));
    return out.isEmpty() ? QStringList() : out.split(u'\n');
}

// Where the program of that identity keeps its settings.
inline QString settingsFile(const QString &identity = AppIdentity::applicationId())
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') + identity
        + QStringLiteral("/settings.json");
}

// The settings an earlier run that connected `folder` left, so the program starts without
// opening its gallery; the file's path, empty on failure.
inline QString writeConnectedSettings(const QString &folder)
{
    const QString path = settingsFile();
    const QJsonObject settings{{QStringLiteral("hasConnectedFolder"), true}, {QStringLiteral("folderPath"), folder}};
    return TestSupport::writeFile(path, QJsonDocument(settings).toJson()) ? path : QString();
}

inline quint64 activeWindow() { return xdotool({"getactivewindow"}).toULongLong(); }

// A window of another program, to come from and to click away to.
struct OtherWindow final
{
    OtherWindow()
    {
        process.start("xmessage", {"-title", "other-window", "-geometry", "360x120+40+40", "another program"});
        id = xdotool({"search", "--sync", "--name", "^other-window$"}).section(u'\n', 0, 0).toULongLong();
    }
    ~OtherWindow()
    {
        process.kill();
        process.waitForFinished();
    }
    OtherWindow(const OtherWindow &) = delete;
    OtherWindow &operator=(const OtherWindow &) = delete;

    void activate() const { xdotool({"windowactivate", "--sync", QString::number(id)}); }

    QProcess process;
    quint64 id = 0;
};

} // namespace desktop
