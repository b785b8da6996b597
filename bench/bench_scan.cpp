// Folder scan cost against the bare cost of listing the folder.
// A folder of 10,000 small PNG screenshots and 2,000 other files (kept in the temporary
// directory between runs) is scanned from nothing, rescanned with the previous result, and
// walked with readdir + statx alone. Prints the medians in milliseconds and, last, the ratio of
// the rescan to the walk.

#include "library/ScreenshotScanner.h"
#include "platform/image/SystemImageServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr int screenshotCount = 10000;
constexpr int otherImageCount = 1000;
constexpr int otherFileCount = 1000;
constexpr int repetitions = 7;
// Bump when the folder's contents change so an old folder is not reused.
const char *const folderName = "brimfold-bench-scan-v1";

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool prepareFolder(const QString &path)
{
    QDir dir(path);
    const QString stamp = dir.filePath(QStringLiteral(".complete"));
    if (QFile::exists(stamp))
        return true;
    if (dir.exists() && !dir.removeRecursively())
        return false;
    if (!QDir().mkpath(path))
        return false;

    QImage image(16, 10, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const std::optional<QByteArray> png = ImageServices::encodePng(image);
    if (!png)
        return false;
    for (int i = 0; i < screenshotCount; ++i) {
        const QString name = QStringLiteral("Screenshot 2024-05-01 at 10.%1.png")
                                 .arg(i, 5, 10, QLatin1Char('0'));
        if (!writeBytes(dir.filePath(name), *png))
            return false;
    }
    for (int i = 0; i < otherImageCount; ++i) {
        if (!writeBytes(dir.filePath(QStringLiteral("IMG_%1.png").arg(i, 4, 10, QLatin1Char('0'))),
                        *png))
            return false;
    }
    for (int i = 0; i < otherFileCount; ++i) {
        if (!writeBytes(dir.filePath(QStringLiteral("notes %1.txt").arg(i)), "some notes\n"))
            return false;
    }
    return writeBytes(stamp, "ok\n");
}

// The floor: list every entry and ask its status once, nothing else.
int walk(const QByteArray &folder)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return -1;
    const int fd = ::dirfd(dir);
    int regular = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        struct statx status {};
        if (::statx(fd, entry->d_name, AT_SYMLINK_NOFOLLOW,
                    STATX_TYPE | STATX_MTIME | STATX_BTIME | STATX_SIZE, &status) == 0
            && S_ISREG(status.stx_mode) && status.stx_size > 0)
            ++regular;
    }
    ::closedir(dir);
    return regular;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template<typename Work>
double timed(Work &&work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = QDir(QDir::tempPath()).filePath(QString::fromLatin1(folderName));
    if (!prepareFolder(folder)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(folder));
        return 1;
    }
    const QByteArray nativeFolder = QFile::encodeName(folder);
    const SystemImageServices images;
    // As the program scans: the translations' templates and Flameshot's default pattern.
    const ScreenshotNamePatterns names({ScreenshotNamePattern::flameshot({})});

    struct Series
    {
        const char *label;
        int limit;
        std::vector<double> first, rescan;
        qsizetype count = 0;
    };
    Series series[] = {{"limit 500", ScreenshotScanner::defaultLimit, {}, {}},
                       {"no limit", INT_MAX, {}, {}}};
    std::vector<double> walks;

    walk(nativeFolder); // warm the directory and inode caches
    for (int rep = 0; rep < repetitions; ++rep) {
        walks.push_back(timed([&] { walk(nativeFolder); }));
        for (Series &s : series) {
            ScreenshotScanner::Result first;
            s.first.push_back(timed([&] {
                first = ScreenshotScanner::scan(folder, false, s.limit, {}, {}, images, names);
            }));
            ScreenshotScanner::Result again;
            s.rescan.push_back(timed([&] {
                again = ScreenshotScanner::scan(folder, false, s.limit, first.screenshots, {},
                                                images, names);
            }));
            if (!first.ok() || again.screenshots != first.screenshots) {
                std::fprintf(stderr, "rescan differs from the first scan\n");
                return 1;
            }
            s.count = first.screenshots.size();
        }
    }

    const double walkMs = median(walks);
    std::printf("folder: %s (%d screenshots, %d other files)\n", qPrintable(folder),
                screenshotCount, otherImageCount + otherFileCount);
    for (const Series &s : series) {
        std::printf("%s: %lld records\n", s.label, static_cast<long long>(s.count));
        std::printf("  first scan: %.2f ms\n", median(s.first));
        std::printf("  rescan:     %.2f ms\n", median(s.rescan));
    }
    std::printf("walk:         %.2f ms\n", walkMs);
    std::printf("ratio (no limit): %.2f\n", median(series[1].rescan) / walkMs);
    std::printf("ratio: %.2f\n", median(series[0].rescan) / walkMs);
    return 0;
}
