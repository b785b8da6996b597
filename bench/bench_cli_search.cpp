// Command-line search cost: `brimfold --search <term>` with no copy running, on a folder of 60
// screenshots whose text (with word boxes, about 48 KB a file, as recognition leaves it) is
// already cached, against `find` listing the same folder, in the same run. Both are whole
// processes started the same way; prints both medians in milliseconds and, last, their ratio.
// Needs a session bus, as a desktop has (the program asks it whether a copy runs):
//   dbus-run-session -- build/bench/bench_cli_search [path/to/brimfold]
#include "core/AppIdentity.h"
#include "library/ScreenshotScanner.h"
#include "platform/freedesktop/ScreenshotNamePatterns.h"
#include "platform/freedesktop/SettingsStore.h"
#include "platform/image/SystemImageServices.h"
#include "settings/Preferences.h"
#include "text/ScreenshotText.h"
#include "text/ScreenshotTextWorker.h"
#include "text/TesseractRecognizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr int screenshots = 60;
constexpr int linesPerText = 50;
constexpr int wordsPerLine = 12;
constexpr int runs = 21;
const QString term = QStringLiteral("deadline");

const QStringList &vocabulary()
{
    static const QStringList words = {
        QStringLiteral("invoice"),  QStringLiteral("total"),    QStringLiteral("meeting"),  QStringLiteral("project"),
        QStringLiteral("budget"),   QStringLiteral("error"),    QStringLiteral("warning"),  QStringLiteral("settings"),
        QStringLiteral("download"), QStringLiteral("account"),  QStringLiteral("terminal"), QStringLiteral("function"),
        QStringLiteral("release"),  QStringLiteral("customer"), QStringLiteral("shipping"), QStringLiteral("calendar"),
        QStringLiteral("message"),  QStringLiteral("channel"),  QStringLiteral("document"), QStringLiteral("network"),
    };
    return words;
}

// Text as recognition leaves it: lines of words, each word with its box; the term once.
ScreenshotText recognizedText(QRandomGenerator &random)
{
    QStringList lines;
    QList<TextWord> words;
    for (int line = 0; line < linesPerText; ++line) {
        QStringList lineWords;
        for (int w = 0; w < wordsPerLine; ++w) {
            const QString word = line == linesPerText / 2 && w == 3
                ? term
                : vocabulary().at(int(random.bounded(qsizetype(vocabulary().size()))));
            lineWords.append(word);
            words.append({word, QRectF(0.02 + w * 0.08 + random.bounded(0.01), 0.01 + line * 0.019, 0.06 + random.bounded(0.01),
                                       0.012)});
        }
        lines.append(lineWords.join(QLatin1Char(' ')));
    }
    return ScreenshotText(lines.join(QLatin1Char('\n')), words);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Processor time (user and system) of the children waited for so far, in milliseconds.
double childrenCpuMs()
{
    struct rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct Times
{
    std::vector<double> wall, cpu;
};

// Milliseconds until the program ended with the expected exit code; -1 on failure.
double timedRun(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                int expectedExit, QByteArray *output = nullptr, Times *times = nullptr)
{
    const double cpuBefore = childrenCpuMs();
    QProcess process;
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != expectedExit) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return -1;
    }
    const double elapsed = double(clock.nsecsElapsed()) / 1e6;
    if (output)
        *output = process.readAllStandardOutput();
    if (times) {
        times->wall.push_back(elapsed);
        times->cpu.push_back(childrenCpuMs() - cpuBefore);
    }
    return elapsed;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString brimfold = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                      : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/brimfold"));
    const QString find = QStandardPaths::findExecutable(QStringLiteral("find"));
    if (!QFile::exists(brimfold) || find.isEmpty() || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        std::fprintf(stderr, "needs a session bus, find and %s\n", qPrintable(brimfold));
        return 1;
    }

    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Shots"));
    QDir().mkpath(folder);
    QImage image(1440, 900, QImage::Format_RGB32);
    image.fill(QColor(245, 245, 247));
    for (int i = 0; i < screenshots; ++i) {
        image.setPixelColor(i, 0, Qt::black); // each file its own content
        image.save(QDir(folder).filePath(QStringLiteral("Screenshot 2024-05-01 at 10.%1.00.png").arg(i, 2, 10, QLatin1Char('0'))));
    }

    // The settings and the cache where a user's copy keeps them, under this HOME.
    const QString id = AppIdentity::applicationId();
    SettingsStore settings(home.filePath(QStringLiteral(".config/%1/settings.json").arg(id)));
    settings.write(SettingsStore::Batch()
                       .setBool(QLatin1String(Preferences::hasConnectedFolderKey), true)
                       .setString(QLatin1String(Preferences::folderPathKey), folder));
    const SystemImageServices images;
    const ScreenshotScanner::Result scanned = ScreenshotScanner::scan(
        folder, false, ScreenshotScanner::defaultLimit, {}, {}, images);
    // As the program leaves the cache folder: with the digest of the language data beside the texts.
    const QString cache = home.filePath(QStringLiteral(".local/share/%1/ScreenshotText-v1").arg(id));
    const auto capabilities = TesseractRecognizer::create(images, cache)->capabilities();
    if (scanned.screenshots.size() != screenshots || !std::holds_alternative<TextRecognitionCapabilities>(capabilities)) {
        std::fprintf(stderr, "cannot prepare the folder (%lld screenshots) or name the cache\n",
                     qlonglong(scanned.screenshots.size()));
        return 1;
    }
    const QString identifier = std::get<TextRecognitionCapabilities>(capabilities).identifier;
    QRandomGenerator random(7);
    qint64 cachedBytes = 0;
    for (const Screenshot &item : scanned.screenshots) {
        const QByteArray json = QJsonDocument(recognizedText(random).toJson()).toJson(QJsonDocument::Compact);
        cachedBytes += json.size();
        writeFile(QDir(cache).filePath(ScreenshotTextWorker::cacheFileName(identifier, item.cacheKey())), json);
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        environment.remove(QString::fromLatin1(name));
    const QStringList search{QStringLiteral("--search"), term};

    // Warms the page cache, and checks that every text came from the cache.
    QByteArray output;
    if (timedRun(brimfold, search, environment, 0, &output) < 0)
        return 1;
    const qsizetype found = output.count(term.toUtf8()); // in the snippets: no path holds it
    if (found != screenshots) {
        std::fprintf(stderr, "the search found the term in %lld cached texts, not %d:\n%s\n", qlonglong(found),
                     screenshots, output.constData());
        return 1;
    }
    timedRun(find, {folder}, environment, 0);

    Times ours, baseline;
    for (int run = 0; run < runs; ++run) {
        if (timedRun(brimfold, search, environment, 0, nullptr, &ours) < 0
            || timedRun(find, {folder}, environment, 0, nullptr, &baseline) < 0)
            return 1;
    }
    std::printf("%d screenshots, %.1f MB of cached text; %s\n", screenshots, cachedBytes / 1e6, qPrintable(identifier));
    std::printf("processor time, median of %d: brimfold --search %.1f ms, find %.1f ms\n", runs, median(ours.cpu),
                median(baseline.cpu));
    std::printf("start to exit, median of %d: brimfold --search %.1f ms, find %.1f ms\n", runs, median(ours.wall),
                median(baseline.wall));
    std::printf("ratio: %.2f\n", median(ours.wall) / median(baseline.wall));
    return 0;
}
