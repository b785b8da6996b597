// Measures how long a backlog of unread screenshots takes to read: 24 drawn screenshots of
// 1920 × 1080 to 3840 × 2160 with an empty cache, read through the text index, its worker and
// the real recogniser as the program reads a newly connected folder, against the tesseract
// command run on the same files one after another with one thread each (OMP_THREAD_LIMIT=1).
//
//   bench_backlog [--count N] [--no-single]
//
// Prints the time of each side, the same backlog on one engine as a single-core machine reads
// it (unless --no-single), the process's peak resident memory (VmHWM) while each of ours ran and
// the largest one of the command's, and last a line "ratio: <ours / tesseract one at a time>".

#include "BenchProcesses.h"

#include "core/Screenshot.h"
#include "platform/ImageServices.h"
#include "platform/image/SystemImageServices.h"
#include "text/RecognitionLanguages.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextWorker.h"
#include "text/TesseractRecognizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

const QStringList kWords{
    QStringLiteral("invoice"), QStringLiteral("quarterly"), QStringLiteral("budget"), QStringLiteral("review"),
    QStringLiteral("harbour"), QStringLiteral("snapshot"), QStringLiteral("meeting"), QStringLiteral("design"),
    QStringLiteral("release"), QStringLiteral("library"), QStringLiteral("terminal"), QStringLiteral("settings"),
    QStringLiteral("download"), QStringLiteral("project"), QStringLiteral("schedule"), QStringLiteral("notes")};

// A window with a sidebar, a heading and lines of interface text, different in every picture;
// scale is the device pixel ratio, so text is twice as large on the 2x screens.
QImage screenshot(int number, QSize pixels, qreal scale)
{
    QImage image(pixels, QImage::Format_RGB32);
    const bool dark = number % 3 == 2;
    image.fill(dark ? QColor(30, 31, 35) : QColor(248, 248, 250));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    const int width = int(pixels.width() / scale), height = int(pixels.height() / scale);
    const QColor text = dark ? QColor(230, 230, 235) : QColor(28, 28, 30);
    painter.fillRect(QRect(0, 0, width, 30), dark ? QColor(46, 47, 54) : QColor(226, 228, 233));
    painter.fillRect(QRect(0, 30, 220, height - 30), dark ? QColor(38, 39, 45) : QColor(237, 238, 242));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(text);
    painter.drawText(QPoint(90, 20), QStringLiteral("Screenshot %1 - Project notes and schedule").arg(number));
    for (int i = 0; i < 14; ++i)
        painter.drawText(QPoint(20, 64 + i * 28), kWords[(number + i) % kWords.size()] + QStringLiteral(" folder"));
    font.setPixelSize(14);
    painter.setFont(font);
    for (int y = 70, line = 0; y < height - 20 && line < 40; y += 22, ++line) {
        QString sentence = QStringLiteral("%1.").arg(line + 1);
        for (int w = 0; w < 9; ++w)
            sentence += QLatin1Char(' ') + kWords[(number * 7 + line * 3 + w * 5) % kWords.size()];
        painter.drawText(QPoint(250, y), sentence + QStringLiteral(" %1").arg(number * 100 + line));
    }
    return image;
}

qint64 peakKiB() { return BenchProcesses::statusKiB(QCoreApplication::applicationPid(), "VmHWM:"); }

// Lets VmHWM start again from the current resident size, so each side's peak is its own.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

struct Run
{
    double seconds = -1;
    int read = 0;
    int failed = 0;
    qint64 peakKiB = -1;
};

// The whole path of a newly connected folder: the index's run over an empty cache.
Run readBacklog(const QList<Screenshot> &items, const QString &cacheFolder, const ImageServices &images, int cores)
{
    QDir(cacheFolder).removeRecursively();
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    Run run;
    {
        ScreenshotTextIndex index(std::make_unique<ScreenshotTextWorker>(
            cacheFolder, TesseractRecognizer::create(images, cacheFolder),
            [&images, cacheFolder] { return TesseractRecognizer::create(images, cacheFolder, false); }, cores));
        QEventLoop loop;
        QObject::connect(&index, &ScreenshotTextIndex::changed, &loop, [&] {
            if (!index.isRunning() && index.completedCount() == index.totalCount())
                loop.quit();
        });
        index.update(items);
        loop.exec();
        run.seconds = double(timer.nsecsElapsed()) / 1e9;
        run.read = int(index.documents().size());
        run.failed = int(index.failedKeys().size());
    }
    run.peakKiB = peakKiB();
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ImageServices::applyAllocationLimit();
    const QStringList arguments = app.arguments();
    int count = 24;
    if (const qsizetype at = arguments.indexOf(QLatin1String("--count")); at > 0 && at + 1 < arguments.size())
        count = std::max(1, arguments[at + 1].toInt());
    const bool single = !arguments.contains(QLatin1String("--no-single"));

    QTemporaryDir temporary;
    const QDir folder(temporary.path());
    const QSize sizes[] = {QSize(1920, 1080), QSize(2560, 1440), QSize(2880, 1800), QSize(3840, 2160)};
    const qreal scales[] = {1.0, 1.0, 2.0, 2.0};
    QList<Screenshot> items;
    for (int i = 0; i < count; ++i) {
        const QSize size = sizes[i % 4];
        const QString path = folder.filePath(QStringLiteral("Screenshot %1.png").arg(i + 1, 2, 10, QLatin1Char('0')));
        if (!screenshot(i + 1, size, scales[i % 4]).save(path, "png")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        const QFileInfo info(path);
        items.append(Screenshot::withResolvedPath(info.canonicalFilePath(), info.birthTime(), info.lastModified(),
                                                  info.size(), size.width(), size.height()));
    }

    const SystemImageServices images;
    const QString cacheFolder = folder.filePath(QStringLiteral("ScreenshotText-v1"));
    const auto capabilities = TesseractRecognizer::create(images, cacheFolder)->capabilities();
    if (!std::holds_alternative<TextRecognitionCapabilities>(capabilities)) {
        std::fprintf(stderr, "recognition unavailable\n");
        return 1;
    }
    QStringList codes;
    for (const QString &tag : std::get<TextRecognitionCapabilities>(capabilities).languages)
        codes << RecognitionLanguages::forTag(tag)->code;
    const int cores = QThread::idealThreadCount();
    std::printf("%d screenshots, 1920x1080 to 3840x2160, languages %s, %d cores\n", count,
                qPrintable(codes.join(QLatin1Char('+'))), cores);

    const Run ours = readBacklog(items, cacheFolder, images, cores);
    std::printf("ours, %d engines:  %6.1f s, %d read, %d failed, peak resident %.0f MiB\n", std::max(1, cores),
                ours.seconds, ours.read, ours.failed, double(ours.peakKiB) / 1024.0);
    if (single) {
        const Run one = readBacklog(items, cacheFolder, images, 1);
        std::printf("ours, 1 engine:    %6.1f s, %d read, %d failed, peak resident %.0f MiB\n", one.seconds, one.read,
                    one.failed, double(one.peakKiB) / 1024.0);
    }

    const QString program = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    if (program.isEmpty()) {
        std::printf("tesseract command not found: no comparison\n");
        return ours.failed == 0 ? 0 : 2;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    QElapsedTimer timer;
    timer.start();
    qint64 commandPeakKiB = 0;
    for (const Screenshot &item : std::as_const(items)) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, {item.id(), QStringLiteral("stdout"), QStringLiteral("-l"), codes.join(QLatin1Char('+')),
                                QStringLiteral("--oem"), QStringLiteral("1"), QStringLiteral("--psm"), QStringLiteral("3")});
        // Its own figure, looked at while it runs: the children's figure of getrusage counts
        // what a child shared with this process before it started the command.
        const qint64 pid = process.processId();
        while (!process.waitForFinished(50) && process.state() != QProcess::NotRunning)
            commandPeakKiB = std::max(commandPeakKiB, BenchProcesses::statusKiB(pid, "VmHWM:"));
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            std::fprintf(stderr, "tesseract failed on %s\n", qPrintable(item.id()));
            return 1;
        }
    }
    const double command = double(timer.nsecsElapsed()) / 1e9;
    std::printf("tesseract, one at a time, 1 thread: %6.1f s, largest peak resident %.0f MiB (sampled)\n", command,
                double(commandPeakKiB) / 1024.0);
    std::printf("ratio: %.2f\n", ours.seconds / command);
    return ours.failed == 0 ? 0 : 2;
}
