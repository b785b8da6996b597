// Measures text recognition on screenshot-sized images against the tesseract command-line
// program on the same files, and watches memory over many recognitions in one process.
//
//   bench_ocr [--runs N] [--memory-runs N] [--dump] [--images DIR] [--languages eng+ara+deu]
//
// The command runs with its defaults (page segmentation 3, resolution estimated from the text),
// as the program's recogniser does, and the same languages: the program's own (English, Arabic
// and the locale's, when installed) unless --languages names engine codes. German, for
// instance, needs apt-get install tesseract-ocr-deu. Prints per-image medians, word counts (ours may not fall more
// than 5 % below the command's),
// the resident-memory growth after the first 10 recognitions, the time and peak memory of one
// 2560 × 40000 scrolling capture, and last a line "ratio: <ours / tesseract single-thread>".

#include "TallCapture.h"

#include "core/Screenshot.h"
#include "platform/ImageServices.h"
#include "platform/image/SystemImageServices.h"
#include "text/RecognitionLanguages.h"
#include "text/ScreenshotTextWorker.h"
#include "text/TesseractRecognizer.h"

#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QDir>
#include <QFileInfo>
#include <QFile>

#include <omp.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

const QStringList kSidebar{
    QStringLiteral("Favourites"), QStringLiteral("Recent documents"), QStringLiteral("Desktop"),
    QStringLiteral("Downloads"), QStringLiteral("Pictures"), QStringLiteral("Screenshots"),
    QStringLiteral("Projects"), QStringLiteral("Shared with me"), QStringLiteral("Network"),
    QStringLiteral("Trash"), QStringLiteral("Tags: Invoices"), QStringLiteral("Settings")};

const QStringList kTerminal{
    QStringLiteral("user@workstation:~/projects/gallery$ git status"),
    QStringLiteral("On branch main, your branch is up to date with origin/main."),
    QStringLiteral("Changes not staged for commit:"),
    QStringLiteral("  modified:   src/text/ScreenshotTextIndex.cpp"),
    QStringLiteral("  modified:   src/library/LibraryModel.cpp"),
    QStringLiteral("user@workstation:~/projects/gallery$ ls -l build"),
    QStringLiteral("drwxr-xr-x 2 user user 4096 Mar 3 10:21 CMakeFiles"),
    QStringLiteral("-rw-r--r-- 1 user user 18231 Mar 3 10:21 CMakeCache.txt"),
    QStringLiteral("-rwxr-xr-x 1 user user 912344 Mar 3 10:24 gallery"),
    QStringLiteral("user@workstation:~/projects/gallery$ make -j2"),
    QStringLiteral("[ 12%] Building CXX object src/CMakeFiles/text.dir/Index.cpp.o"),
    QStringLiteral("[ 25%] Building CXX object src/CMakeFiles/text.dir/Worker.cpp.o"),
    QStringLiteral("[ 37%] Linking CXX static library libtext.a"),
    QStringLiteral("[ 50%] Built target text"),
    QStringLiteral("[ 75%] Linking CXX executable gallery"),
    QStringLiteral("[100%] Built target gallery"),
    QStringLiteral("user@workstation:~/projects/gallery$ ./gallery --version"),
    QStringLiteral("Gallery 0.1.0 (build 42) running on Linux"),
    QStringLiteral("user@workstation:~/projects/gallery$ df -h /home"),
    QStringLiteral("Filesystem Size Used Avail Use% Mounted on"),
    QStringLiteral("/dev/nvme0n1p2 468G 201G 244G 46% /home"),
    QStringLiteral("user@workstation:~/projects/gallery$ uptime"),
    QStringLiteral("10:31:07 up 3 days, 2:14, 2 users, load average: 0.42, 0.37, 0.30"),
    QStringLiteral("user@workstation:~/projects/gallery$ grep -c TODO src/*/*.cpp"),
    QStringLiteral("src/app/Controller.cpp:3"),
    QStringLiteral("src/library/Scanner.cpp:1"),
    QStringLiteral("Meeting notes: review the quarterly budget before Friday"),
    QStringLiteral("Reminder: send the invoice to the design team")};

// A window with a sidebar of items and a terminal pane: about 40 lines of text.
// scale is the device pixel ratio, so the same text is twice as large at scale 2.
QImage screenshot(QSize pixels, qreal scale)
{
    QImage image(pixels, QImage::Format_ARGB32);
    image.fill(QColor(236, 238, 242));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    const int logicalWidth = int(pixels.width() / scale);
    painter.fillRect(QRect(0, 0, logicalWidth, 28), QColor(210, 213, 220));
    QFont ui(QStringLiteral("DejaVu Sans"));
    ui.setPixelSize(13);
    painter.setFont(ui);
    painter.setPen(QColor(40, 40, 46));
    painter.drawText(QPoint(90, 19), QStringLiteral("Terminal - user@workstation: ~/projects/gallery"));
    for (int i = 0; i < kSidebar.size(); ++i)
        painter.drawText(QPoint(24, 70 + i * 26), kSidebar[i]);

    painter.fillRect(QRect(260, 40, logicalWidth - 280, 28 * 21 + 30), QColor(30, 32, 36));
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(13);
    painter.setFont(mono);
    painter.setPen(QColor(225, 228, 232));
    for (int i = 0; i < kTerminal.size(); ++i)
        painter.drawText(QPoint(276, 66 + i * 21), kTerminal[i]);
    return image;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

int wordCount(const QString &text)
{
    return int(text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size());
}

double peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double residentMiB()
{
    FILE *statm = std::fopen("/proc/self/statm", "r");
    long size = 0, resident = 0;
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &size, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct CommandRun
{
    double milliseconds = -1;
    QString text;
};

CommandRun runCommand(const QString &program, const QString &image, const QString &languages,
                      bool singleThread)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (singleThread)
        environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    else
        environment.remove(QStringLiteral("OMP_THREAD_LIMIT"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {image, QStringLiteral("stdout"), QStringLiteral("-l"), languages,
                            QStringLiteral("--oem"), QStringLiteral("1"), QStringLiteral("--psm"),
                            QStringLiteral("3")});
    if (!process.waitForFinished(300000) || process.exitCode() != 0)
        return {};
    return {double(timer.nsecsElapsed()) / 1e6, QString::fromUtf8(process.readAllStandardOutput())};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // As the text worker does on its thread: the engine's OpenMP only slows it down here.
    omp_set_max_active_levels(0);
    ImageServices::applyAllocationLimit();

    int runs = 5;
    int memoryRuns = 100;
    const QStringList arguments = app.arguments();
    const bool dump = arguments.contains(QLatin1String("--dump"));
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--runs"))
            runs = std::max(1, arguments[i + 1].toInt());
        else if (arguments[i] == QLatin1String("--memory-runs"))
            memoryRuns = std::max(11, arguments[i + 1].toInt());
    }

    QTemporaryDir temporary;
    QString folder = temporary.path();
    const qsizetype imagesAt = arguments.indexOf(QLatin1String("--images"));
    if (imagesAt > 0 && imagesAt + 1 < arguments.size())
        folder = arguments[imagesAt + 1];
    const QDir dir(folder);
    struct Case
    {
        QString name;
        QSize size;
        qreal scale;
        QString path;
    };
    std::vector<Case> cases{{QStringLiteral("1920x1080"), QSize(1920, 1080), 1.0, {}},
                            {QStringLiteral("2880x1800@2x"), QSize(2880, 1800), 2.0, {}},
                            {QStringLiteral("3840x2160@2x"), QSize(3840, 2160), 2.0, {}}};
    for (Case &c : cases) {
        c.path = dir.filePath(c.name + QStringLiteral(".png"));
        if (!screenshot(c.size, c.scale).save(c.path, "png")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(c.path));
            return 1;
        }
    }

    // The languages beyond English and Arabic that --languages names; none: the locale's.
    std::optional<QList<RecognitionLanguage>> extraLanguages;
    if (const qsizetype at = arguments.indexOf(QLatin1String("--languages")); at > 0 && at + 1 < arguments.size()) {
        extraLanguages.emplace();
        for (const QString &code : arguments[at + 1].split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
            const std::optional<RecognitionLanguage> language = RecognitionLanguages::forCode(code);
            if (!language) {
                std::fprintf(stderr, "unknown language %s\n", qPrintable(code));
                return 1;
            }
            if (!RecognitionLanguages::base().contains(*language))
                extraLanguages->append(*language);
        }
    }
    const SystemImageServices images;
    const auto makeRecognizer = [&] {
        auto recognizer = std::make_unique<TesseractRecognizer>(QString(), images);
        if (extraLanguages)
            recognizer->setUserLanguages(*extraLanguages);
        return recognizer;
    };
    const std::unique_ptr<TesseractRecognizer> own = makeRecognizer();
    TesseractRecognizer &recognizer = *own;
    QElapsedTimer timer;
    timer.start();
    const auto capabilitiesResult = recognizer.capabilities();
    if (!std::holds_alternative<TextRecognitionCapabilities>(capabilitiesResult)) {
        std::fprintf(stderr, "recognition unavailable\n");
        return 1;
    }
    const auto capabilities = std::get<TextRecognitionCapabilities>(capabilitiesResult);
    std::printf("capabilities: %.0f ms, %s\n", double(timer.nsecsElapsed()) / 1e6,
                qPrintable(capabilities.identifier));
    // First, while the process is small: the peak a scrolling capture adds must not follow its
    // size (410 MB decoded at 32 bits a pixel).
    {
        QStringList lines;
        for (int i = 0; i < 10; ++i)
            lines << QStringLiteral("Paragraph %1 of the long page about the harbour").arg(i + 1);
        const QString tall = dir.filePath(QStringLiteral("2560x40000.png"));
        QFile file(tall);
        if (!file.open(QIODevice::WriteOnly) || file.write(tallTextCapturePng(QSize(2560, 40000), lines, 28, 2000, 4000)) <= 0)
            return 1;
        file.close();
        const double peakBefore = peakResidentMiB();
        timer.restart();
        const auto result = recognizer.recognize(tall, capabilities);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        const RecognizedText *read = std::get_if<RecognizedText>(&result);
        int found = 0;
        for (const QString &line : lines)
            found += read && read->text.contains(line) ? 1 : 0;
        std::printf("2560x40000 capture: %d of %d lines in %.1f s, peak resident %.0f MiB before, %.0f MiB after\n",
                    found, int(lines.size()), seconds, peakBefore, peakResidentMiB());
    }

    if (!capabilities.missingLanguages.isEmpty())
        std::printf("not installed, so not read: %s\n", qPrintable(capabilities.missingLanguages.join(QLatin1Char(' '))));
    QStringList codes;
    for (const QString &tag : capabilities.languages)
        codes << RecognitionLanguages::forTag(tag)->code;
    const QString languages = codes.join(QLatin1Char('+'));

    const QString program = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    if (program.isEmpty())
        std::printf("tesseract command not found: no comparison\n");

    // "Ours" is what the program does for one screenshot: the worker's queue, the file check,
    // a cache miss, recognition on the worker's thread and the cache write. The cache folder is
    // emptied before every run so each one recognises.
    const QString cacheFolder = QDir(temporary.path()).filePath(QStringLiteral("ScreenshotText-v1"));
    ScreenshotTextWorker worker(cacheFolder, makeRecognizer());
    if (!std::holds_alternative<TextRecognitionCapabilities>(worker.capabilities().result())) {
        std::fprintf(stderr, "recognition unavailable in the worker\n");
        return 1;
    }

    double oursTotal = 0, singleTotal = 0;
    bool wordsAgree = true;
    for (const Case &c : cases) {
        std::vector<double> ours, single, multi;
        QString ourText, commandText;
        const QFileInfo info(c.path);
        const Screenshot item = Screenshot::withResolvedPath(
            info.canonicalFilePath(), info.birthTime(), info.lastModified(), info.size(),
            c.size.width(), c.size.height());
        for (int run = 0; run < runs; ++run) {
            QDir(cacheFolder).removeRecursively();
            timer.restart();
            const auto result = worker.read(item).result();
            ours.push_back(double(timer.nsecsElapsed()) / 1e6);
            if (!std::holds_alternative<ScreenshotTextWorker::ReadText>(result)) {
                std::fprintf(stderr, "%s: recognition failed (%d)\n", qPrintable(c.name),
                             int(std::get<TextRecognitionError>(result)));
                return 1;
            }
            ourText = std::get<ScreenshotTextWorker::ReadText>(result).text.text();
            if (program.isEmpty())
                continue;
            const CommandRun one = runCommand(program, c.path, languages, true);
            const CommandRun all = runCommand(program, c.path, languages, false);
            single.push_back(one.milliseconds);
            multi.push_back(all.milliseconds);
            commandText = one.text;
        }
        const int ourWords = wordCount(ourText);
        const int commandWords = wordCount(commandText);
        const double difference = commandWords ? (ourWords - commandWords) * 100.0 / commandWords : 0;
        if (!program.isEmpty() && difference < -5.0)
            wordsAgree = false;
        if (dump)
            std::printf("--- ours\n%s\n--- tesseract\n%s\n---\n", qPrintable(ourText), qPrintable(commandText));
        oursTotal += median(ours);
        singleTotal += median(single);
        std::printf("%-14s ours %7.0f ms | tesseract 1 thread %7.0f ms, default %7.0f ms | "
                    "words %d vs %d (%+.1f %%)\n",
                    qPrintable(c.name), median(ours), median(single), median(multi), ourWords,
                    commandWords, difference);
    }
    std::printf("word counts %s\n", wordsAgree ? "ours no more than 5 % below the command's" : "OURS MORE THAN 5 % BELOW");

    // Memory over a long run: growth after the first 10 recognitions. A smaller window of the
    // same kind keeps the run short; every recognition allocates and frees the same way.
    const QString smallPath = dir.filePath(QStringLiteral("1024x680.png"));
    if (!screenshot(QSize(1024, 680), 1.0).save(smallPath, "png"))
        return 1;
    double afterTen = 0;
    timer.restart();
    for (int run = 0; run < memoryRuns; ++run) {
        if (!std::holds_alternative<RecognizedText>(recognizer.recognize(smallPath, capabilities))) {
            std::fprintf(stderr, "recognition %d failed\n", run);
            return 1;
        }
        if (run == 9)
            afterTen = residentMiB();
    }
    const double afterAll = residentMiB();
    std::printf("memory: %d recognitions of 1024x680, %.0f ms each, resident %.1f MiB after 10, "
                "%.1f MiB after %d: growth %.1f MiB\n",
                memoryRuns, double(timer.elapsed()) / memoryRuns, afterTen, afterAll, memoryRuns,
                afterAll - afterTen);

    std::printf("ratio: %.2f\n", singleTotal > 0 ? oursTotal / singleTotal : 0.0);
    return wordsAgree ? 0 : 2;
}
