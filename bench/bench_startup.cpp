// Start-up cost: the time from starting the program to its gallery on screen, with 500
// screenshots whose text is already cached, against a bare Qt program that shows one window of
// the gallery's size; both report their first picture themselves (the bare one on standard
// error, Brimfold through its "brimfold.startup" logging category), so nothing is polled. Then
// the resident memory of each when idle (Brimfold: library read, gallery hidden).
// Needs a display with a window manager, xdotool and a session bus, as a desktop has (without one
// the program waits for the bus to be started for it):
//   dbus-run-session -- scripts/with-display build/bench/bench_startup
#include "BenchProcesses.h"
#include "core/AppIdentity.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using BenchProcesses::median;
using BenchProcesses::stop;

constexpr int screenshots = 500;
constexpr int runs = 15; // alternated with the bare program; this machine's starts vary by a tenth
constexpr int idleSeconds = 30;

// Starts the program and returns the milliseconds until it printed `marker`; -1 on failure.
double timeToLine(QProcess &process, const QString &program, const QStringList &arguments, const QByteArray &marker)
{
    QByteArray seen;
    QElapsedTimer clock;
    process.setReadChannel(QProcess::StandardError);
    clock.start();
    process.start(program, arguments);
    while (process.waitForReadyRead(60000)) {
        seen += process.readAllStandardError();
        if (seen.contains(marker))
            return double(clock.nsecsElapsed()) / 1e6;
    }
    std::fprintf(stderr, "%s never printed %s:\n%s\n", qPrintable(program), marker.constData(), seen.constData());
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--bare") == 0)
        return BenchProcesses::bareProgram(argc, argv);

    QApplication app(argc, argv); // draws the screenshots
    const QString brimfold = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/brimfold"));
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        || !QFile::exists(brimfold)
        || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        std::fprintf(stderr, "needs DISPLAY, a session bus, xdotool and %s\n", qPrintable(brimfold));
        return 1;
    }

    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Shots"));
    BenchProcesses::drawScreenshots(folder, screenshots);
    const QStringList arguments{QStringLiteral("--demo"), QStringLiteral("--demo-folder"), folder};
    const QProcessEnvironment environment =
        BenchProcesses::environmentFor(home.path(), QStringLiteral("brimfold.startup.info=true"));

    // Reads every screenshot's text once, so the timed starts find it cached.
    const double cachingSeconds = BenchProcesses::cacheTexts(brimfold, arguments, environment, home.path(),
                                                             AppIdentity::demoId(), screenshots);
    std::printf("text cached for %d screenshots in %.0f s\n",
                BenchProcesses::cachedTexts(home.path(), AppIdentity::demoId()), cachingSeconds);

    std::vector<double> bare, ours;
    for (int run = 0; run < runs; ++run) {
        QProcess baseline;
        baseline.setProcessEnvironment(environment);
        const double b = timeToLine(baseline, QCoreApplication::applicationFilePath(), {QStringLiteral("--bare")}, "shown");
        stop(baseline);
        QProcess program;
        program.setProcessEnvironment(environment);
        const double o = timeToLine(program, brimfold, arguments, "gallery shown");
        stop(program);
        if (b < 0 || o < 0)
            return 1;
        bare.push_back(b);
        ours.push_back(o);
    }

    // Idle: Brimfold with its library read and the gallery hidden again, 30 s after start,
    // beside the bare window and, when installed, CopyQ, a resident Qt tray utility.
    QProcess baseline;
    baseline.setProcessEnvironment(environment);
    timeToLine(baseline, QCoreApplication::applicationFilePath(), {QStringLiteral("--bare")}, "shown");
    const int bareObjects = BenchProcesses::sharedObjects(baseline.processId());
    QProcess program;
    program.setProcessEnvironment(environment);
    timeToLine(program, brimfold, arguments, "gallery shown");
    const int ourObjects = BenchProcesses::sharedObjects(program.processId());
    QProcess peer;
    const QString copyq = QStandardPaths::findExecutable(QStringLiteral("copyq"));
    if (!copyq.isEmpty()) {
        peer.setProcessEnvironment(environment);
        peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        peer.start(copyq);
    }
    QThread::msleep(1000);
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+shift+g")});
    QThread::sleep(idleSeconds);
    const qint64 bareMemory = BenchProcesses::smapsKiB(baseline.processId(), "Pss:");
    const qint64 ourMemory = BenchProcesses::smapsKiB(program.processId(), "Pss:");
    const qint64 peerMemory = copyq.isEmpty() ? -1 : BenchProcesses::smapsKiB(peer.processId(), "Pss:");
    const int peerObjects = copyq.isEmpty() ? -1 : BenchProcesses::sharedObjects(peer.processId());
    stop(baseline);
    stop(program);
    if (!copyq.isEmpty())
        stop(peer);

    std::printf("start to gallery on screen, median of %d: brimfold %.1f ms, bare Qt window %.1f ms\n", runs,
                median(ours), median(bare));
    std::printf("shared objects mapped at the first frame: brimfold %d, bare Qt window %d", ourObjects, bareObjects);
    if (peerObjects >= 0)
        std::printf(", CopyQ %d (idle)", peerObjects);
    std::printf("\nPSS after %d s idle: brimfold %.1f MiB (500 screenshots, gallery hidden), bare Qt window %.1f MiB",
                idleSeconds, ourMemory / 1024.0, bareMemory / 1024.0);
    if (peerMemory >= 0)
        std::printf(", CopyQ %.1f MiB (ratio %.2f)", peerMemory / 1024.0, double(ourMemory) / double(peerMemory));
    std::printf("\nratio: %.2f\n", median(ours) / median(bare));
    return 0;
}
