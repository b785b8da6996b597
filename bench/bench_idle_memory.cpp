// Resident memory of the program left running: the real program in demonstration mode reads the
// text of 20 screenshots from 1080p to 4K, then sits idle; beside it, a bare Qt program that shows
// one window. The program releases its text engine after a minute with nothing to read, so the
// idle figure is taken after that (70 s after the last text was cached).
// Needs a display: scripts/with-display build/bench/bench_idle_memory [--program PATH] [--idle S]
#include "RecallCorpus.h"
#include "core/AppIdentity.h"

#include "BenchProcesses.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

constexpr int screenshots = 20;

// A desktop at the screen's scale: a file window (English or Arabic, light or dark) with a
// terminal or a conversation over it.
QImage screenshot(QSize pixels, qreal scale, int seed)
{
    using namespace RecallCorpus;
    const Theme theme = seed % 2 ? darkTheme() : lightTheme();
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(QColor(70, 90, 120));
    QPainter painter(&image);
    const bool arabic = seed % 3 == 2;
    painter.drawImage(QPoint(0, 0), window({}, arabic ? arabicWindow() : englishWindow(), theme, scale, arabic).image);
    const QImage front = seed % 4 < 2 ? terminal({}, theme, scale).image : chat({}, theme, scale).image;
    painter.drawImage(QPoint(pixels.width() - front.width(), pixels.height() - front.height()), front);
    return image;
}

bool waitForLine(QProcess &process, const QByteArray &marker)
{
    QByteArray seen;
    while (process.waitForReadyRead(60000)) {
        seen += process.readAllStandardError();
        if (seen.contains(marker))
            return true;
    }
    return false;
}

int cachedTexts(const QString &home)
{
    return int(QDir(home + QStringLiteral("/.local/share/") + AppIdentity::demoId() + QStringLiteral("/ScreenshotText-v1"))
                   .entryList({QStringLiteral("*.json")}, QDir::Files)
                   .size());
}

void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(10000))
        process.kill();
    process.waitForFinished();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--bare") == 0)
        return BenchProcesses::bareProgram(argc, argv);

    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/brimfold"));
    int idleSeconds = 70;
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--program"))
            program = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--idle"))
            idleSeconds = arguments[i + 1].toInt();
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !QFile::exists(program)) {
        std::fprintf(stderr, "needs DISPLAY and %s\n", qPrintable(program));
        return 1;
    }

    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Shots"));
    QDir().mkpath(folder);
    const QList<std::pair<QSize, qreal>> sizes{{QSize(1920, 1080), 1}, {QSize(2560, 1440), 1},
                                               {QSize(2880, 1800), 2}, {QSize(3840, 2160), 2}};
    for (int i = 0; i < screenshots; ++i) {
        const auto &[size, scale] = sizes[i % sizes.size()];
        screenshot(size, scale, i).save(QDir(folder).filePath(QStringLiteral("Screenshot %1.png").arg(i, 2, 10, QLatin1Char('0'))));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        environment.remove(QString::fromLatin1(name));

    QProcess bare;
    bare.setProcessEnvironment(environment);
    bare.setReadChannel(QProcess::StandardError);
    bare.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--bare")});
    if (!waitForLine(bare, "shown"))
        return 1;
    const qint64 bareKiB = BenchProcesses::statusKiB(bare.processId(), "VmRSS:");
    stop(bare);

    QProcess brimfold;
    brimfold.setProcessEnvironment(environment);
    brimfold.setProcessChannelMode(QProcess::ForwardedChannels);
    brimfold.start(program, {QStringLiteral("--demo"), QStringLiteral("--demo-folder"), folder});
    if (!brimfold.waitForStarted())
        return 1;
    // Done when every text is cached, or when none has been added for two minutes (a
    // screenshot the program failed to read leaves no file).
    QElapsedTimer clock, sinceLast;
    clock.start();
    sinceLast.start();
    int cached = 0;
    while (cached < screenshots && sinceLast.elapsed() < 120000 && brimfold.state() == QProcess::Running) {
        QThread::msleep(250);
        if (const int now = cachedTexts(home.path()); now != cached) {
            cached = now;
            sinceLast.restart();
        }
    }
    const double readSeconds = (clock.elapsed() - (cached < screenshots ? sinceLast.elapsed() : 0)) / 1000.0;
    if (cached == 0) {
        std::fprintf(stderr, "no text was cached\n");
        stop(brimfold);
        return 1;
    }
    const qint64 afterReading = BenchProcesses::statusKiB(brimfold.processId(), "VmRSS:");
    QThread::sleep(static_cast<unsigned long>(idleSeconds));
    const qint64 idle = BenchProcesses::statusKiB(brimfold.processId(), "VmRSS:");
    const qint64 peak = BenchProcesses::statusKiB(brimfold.processId(), "VmHWM:");
    stop(brimfold);

    std::printf("read %d of %d screenshots (1080p to 4K) in %.0f s\n", cached, screenshots, readSeconds);
    std::printf("resident memory: %.1f MiB right after reading, %.1f MiB idle %d s later, peak %.1f MiB\n",
                afterReading / 1024.0, idle / 1024.0, idleSeconds, peak / 1024.0);
    std::printf("bare Qt window: %.1f MiB\n", bareKiB / 1024.0);
    std::printf("idle: %.1f MiB\n", idle / 1024.0);
    return 0;
}
