// A new screenshot until it is searchable: the real library model (inotify, scan, text index,
// the Tesseract recogniser) watching a folder, a 1920 × 1080 screenshot renamed into it, and the
// time until a search for a word in its text lists it. Against the `tesseract` command (one
// thread, as started fresh for each image) on the same files, in the same run. The first arrival
// also starts the engine, as the first after a quiet while does; it is printed apart.
// Prints the medians in milliseconds and, last, "ratio: <ours / command>".
//   bench_arrival [--rounds N]
#include "FakeClipboard.h"
#include "FakeTrash.h"
#include "FakeScreenshotLocation.h"

#include "library/FolderPicker.h"
#include "library/LibraryModel.h"
#include "platform/freedesktop/InotifyEventSource.h"
#include "platform/freedesktop/SettingsStore.h"
#include "platform/image/SystemImageServices.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextWorker.h"
#include "text/TesseractRecognizer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct NoPicker final : FolderPicker
{
    void chooseFolder(const Request &, Completion completion) override { completion(std::nullopt); }
};

const QStringList kWords{QStringLiteral("meadow"),  QStringLiteral("lantern"), QStringLiteral("harbour"),
                         QStringLiteral("granite"), QStringLiteral("orchard"), QStringLiteral("compass"),
                         QStringLiteral("thistle"), QStringLiteral("saffron"), QStringLiteral("juniper")};

// A document window whose heading and text name `word`.
QImage screenshot(const QString &word, int round)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(QColor(246, 246, 248));
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, 1920, 36), QColor(222, 224, 230));
    painter.fillRect(QRect(0, 36, 300, 1044), QColor(236, 237, 241));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(15);
    painter.setFont(font);
    painter.setPen(QColor(40, 40, 46));
    painter.drawText(QPoint(24, 24), QStringLiteral("Notes - Field journal, day %1").arg(round + 1));
    const QStringList sidebar{QStringLiteral("Inbox"), QStringLiteral("Today"), QStringLiteral("Projects"),
                              QStringLiteral("Archive"), QStringLiteral("Shared"), QStringLiteral("Trash")};
    for (int i = 0; i < sidebar.size(); ++i)
        painter.drawText(QPoint(32, 80 + i * 30), sidebar[i]);
    font.setPixelSize(28);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QPoint(340, 100), QStringLiteral("Walk to the %1").arg(word));
    font.setPixelSize(17);
    font.setBold(false);
    painter.setFont(font);
    const QStringList body{
        QStringLiteral("We left early and followed the river path past the old mill."),
        QStringLiteral("The %1 was quiet; only a few birds and the wind in the grass.").arg(word),
        QStringLiteral("Lunch by the bridge, then back along the ridge before the rain."),
        QStringLiteral("Next time: bring the map, a warmer coat and the camera battery."),
        QStringLiteral("Distance 14.2 km, ascent 380 m, moving time 4 h 05 min."),
    };
    // A page of it, as a full window of text is.
    for (int i = 0; i < 26; ++i)
        painter.drawText(QPoint(340, 160 + i * 34), body[i % body.size()]);
    return image;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// Runs the event loop until `done` holds; a timer wakes it now and then, so a condition no event
// announces is seen too.
template <typename Condition>
bool waitFor(Condition done, int timeoutMs)
{
    QTimer wake;
    wake.start(10);
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool listed(const LibraryModel &model, const QString &path)
{
    return model.snapshot().contains(path);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    int rounds = 7;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--rounds")); at >= 0 && at + 1 < args.size())
        rounds = std::clamp(args.at(at + 1).toInt(), 1, int(kWords.size()));

    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Screenshots"));
    const QString drawn = root.filePath(QStringLiteral("drawn"));
    if (!root.isValid() || !QDir().mkpath(folder) || !QDir().mkpath(drawn)) {
        std::fprintf(stderr, "cannot make the folders\n");
        return 1;
    }
    QStringList files;
    for (int i = 0; i < rounds; ++i) {
        files.append(QDir(drawn).filePath(QStringLiteral("Screenshot from 2026-12-08 10-%1-00.png").arg(i, 2, 10, QLatin1Char('0'))));
        if (!screenshot(kWords.at(i), i).save(files.last())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(files.last()));
            return 1;
        }
    }

    // The command, started fresh for each image as the program is not.
    std::vector<double> command;
    for (const QString &file : std::as_const(files)) {
        QProcess tesseract;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
        tesseract.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        tesseract.start(QStringLiteral("tesseract"), {file, QStringLiteral("stdout"), QStringLiteral("-l"),
                                                      QStringLiteral("eng+ara")});
        if (!tesseract.waitForFinished(120000) || tesseract.exitCode() != 0) {
            std::fprintf(stderr, "the tesseract command failed\n");
            return 1;
        }
        command.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    SystemImageServices images;
    FakeScreenshotLocation location;
    SettingsStore store(root.filePath(QStringLiteral("settings.json")));
    Preferences preferences(store, location);
    LibraryModel::Services services;
    services.clipboard = std::make_unique<FakeClipboard>();
    services.trash = std::make_unique<FakeTrash>(root.filePath(QStringLiteral("Trash")));
    services.folderPicker = std::make_unique<NoPicker>();
    services.images = &images;
    services.eventSource = std::make_unique<InotifyEventSource>();
    const QString cache = root.filePath(QStringLiteral("TextCache"));
    services.textWorker = std::make_unique<ScreenshotTextWorker>(cache, TesseractRecognizer::create(images, cache));
    LibraryModel model(preferences, std::move(services));
    model.connectFolder(QUrl::fromLocalFile(folder));
    if (!waitFor([&] { return model.connected() && !model.isScanning(); }, 30000)) {
        std::fprintf(stderr, "the folder was not connected\n");
        return 1;
    }

    std::vector<double> ours;
    std::vector<double> untilScanned;
    for (int i = 0; i < rounds; ++i) {
        model.setQuery(kWords.at(i));
        const QString target = QDir(QFileInfo(folder).canonicalFilePath()).filePath(QFileInfo(files.at(i)).fileName());
        QElapsedTimer timer;
        timer.start();
        // Whole at once, as screenshot tools that write beside and rename do.
        if (!QFile::rename(files.at(i), target)) {
            std::fprintf(stderr, "cannot move the screenshot in\n");
            return 1;
        }
        const auto scanned = [&] {
            return std::any_of(model.items().cbegin(), model.items().cend(),
                               [&](const Screenshot &item) { return item.id() == target; });
        };
        if (!waitFor(scanned, 120000)) {
            std::fprintf(stderr, "the screenshot was never listed\n");
            return 1;
        }
        untilScanned.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!waitFor([&] { return listed(model, target); }, 120000)) {
            std::fprintf(stderr, "\"%s\" never found its screenshot\n", qPrintable(kWords.at(i)));
            return 1;
        }
        ours.push_back(double(timer.nsecsElapsed()) / 1e6);
        // Waiting for the index to be idle keeps one arrival out of the next one's time.
        waitFor([&] { return !model.textIndex().isRunning(); }, 60000);
    }

    const double first = ours.front();
    const std::vector<double> later(ours.begin() + (ours.size() > 1 ? 1 : 0), ours.end());
    std::printf("new screenshot → searchable, first (engine starting): %.0f ms\n", first);
    std::printf("new screenshot → searchable, median of the next %zu: %.0f ms (min %.0f, max %.0f)\n",
                later.size(), median(later), *std::min_element(later.begin(), later.end()),
                *std::max_element(later.begin(), later.end()));
    std::printf("of which until it is in the gallery (inotify, scan): median %.1f ms\n", median(untilScanned));
    std::printf("tesseract command (eng+ara, one thread, started per image): median %.0f ms\n", median(command));
    std::printf("first: %.2f\n", first / median(command));
    std::printf("ratio: %.2f\n", median(later) / median(command));
    return 0;
}
