// Gallery cost: the time from creating the gallery view to its first complete picture, and the
// time to filter and repaint for one keystroke in the search field, for a library of 500
// screenshots against one of 12. The grid paints only the tiles in view, so the first picture
// should cost about the same for both; the last line is their ratio.
// Both runs start with the thumbnails of the first 12 screenshots (all a first screen can
// show) already decoded, so neither pays for decoding. Prints medians in milliseconds.

#include "FakeAccessibility.h"
#include "FakeRecognizer.h"
#include "FakeShare.h"
#include "FakeScreenshotLocation.h"

#include "library/LibraryModel.h"
#include "platform/Clipboard.h"
#include "platform/Accessibility.h"
#include "platform/ImageServices.h"
#include "platform/freedesktop/InotifyEventSource.h"
#include "platform/x11/SystemClipboard.h"
#include "platform/image/SystemImageServices.h"
#include "platform/freedesktop/SystemTrash.h"
#include "platform/Trash.h"
#include "platform/ScreenshotLocation.h"
#include "platform/freedesktop/SettingsStore.h"
#include "platform/ShareServices.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextRecognizing.h"
#include "text/ScreenshotTextWorker.h"
#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/GalleryView.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int firstPaintRuns = 15;
constexpr int prewarmed = 12;

// Reads a fixed text at once, so recognition never competes with painting.
std::unique_ptr<FakeRecognizer> instantRecognizer()
{
    auto state = std::make_shared<FakeRecognizer::State>();
    state->textFormat = QStringLiteral("screen text of %1\ninvoice meeting terminal");
    return std::make_unique<FakeRecognizer>(std::move(state), QStringLiteral("bench-v1"));
}

void writeShots(const QString &folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QImage image(480, 300, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 37) % 360, 60, 235));
        QPainter painter(&image);
        painter.fillRect(QRect(0, 0, 480, 28), QColor(40, 40, 48));
        painter.setPen(Qt::black);
        painter.drawText(QRect(20, 40, 440, 240), Qt::TextWordWrap,
                         QStringLiteral("Screenshot %1 with some words").arg(i));
        painter.end();
        image.save(QDir(folder).filePath(QStringLiteral("Screenshot %1.png").arg(i, 4, 10, QLatin1Char('0'))));
    }
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One library of `count` screenshots with everything a gallery view needs, ready to paint.
struct Library final
{
    Library(int count, const QString &root)
        : store(QDir(root).filePath(QStringLiteral("settings-%1.json").arg(count)))
        , preferences(store, location)
    {
        const QString folder = QDir(root).filePath(QStringLiteral("shots-%1").arg(count));
        writeShots(folder, count);
        LibraryModel::Services services;
        services.clipboard = std::make_unique<SystemClipboard>();
        services.trash = std::make_unique<SystemTrash>();
        services.images = &images;
        services.eventSource = std::make_unique<InotifyEventSource>();
        services.textWorker = std::make_unique<ScreenshotTextWorker>(
            QDir(root).filePath(QStringLiteral("text-%1").arg(count)),
            instantRecognizer());
        model = std::make_unique<LibraryModel>(preferences, std::move(services));
        actions = std::make_unique<GalleryActions>(*model, share);
        model->connectFolder(QUrl::fromLocalFile(folder));
        while (model->isScanning() || model->items().size() < count || model->textIndex().isRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // Results arrive on the main thread: keep its events flowing while they come.
        for (int i = 0; i < std::min<int>(prewarmed, int(model->items().size())); ++i) {
            const QFuture<std::optional<QImage>> thumbnail = thumbnails.image(model->items().at(i), 440);
            while (!thumbnail.isFinished())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }

    std::unique_ptr<GalleryView> makeView()
    {
        auto view = std::make_unique<GalleryView>(*model, preferences, false, accessibility,
                                                  thumbnails, share, focus, *actions);
        view->resize(598, 590);
        view->show();
        return view;
    }

    // From nothing to a complete picture of the gallery.
    double firstPaint()
    {
        QElapsedTimer timer;
        timer.start();
        const std::unique_ptr<GalleryView> view = makeView();
        const QPixmap picture = view->grab();
        Q_UNUSED(picture);
        return timer.nsecsElapsed() / 1e6;
    }

    // Typing a query and deleting it again, one filter and repaint a key.
    void keystrokes(std::vector<double> &times)
    {
        const std::unique_ptr<GalleryView> view = makeView();
        view->grab();
        const QString typed = QStringLiteral("screen 00");
        QString query;
        const auto step = [&](const QString &next) {
            QElapsedTimer timer;
            timer.start();
            model->setQuery(next);
            const QPixmap picture = view->grab();
            times.push_back(timer.nsecsElapsed() / 1e6);
            Q_UNUSED(picture);
        };
        for (const QChar c : typed)
            step(query += c);
        while (!query.isEmpty()) {
            query.chop(1);
            step(query);
        }
    }

    FakeScreenshotLocation location;
    SystemImageServices images;
    SettingsStore store;
    Preferences preferences;
    ThumbnailCache thumbnails{images};
    FakeAccessibility accessibility{true, false}; // steady: no fades
    FakeShare share{false}; // nothing offered
    FocusRequests focus;
    std::unique_ptr<LibraryModel> model;
    std::unique_ptr<GalleryActions> actions;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir root;
    if (!root.isValid())
        return 1;

    Library small(12, root.path());
    Library large(500, root.path());
    // Alternate the two so that whatever else the machine does weighs on both alike.
    std::vector<double> smallPaint, largePaint, smallKeys, largeKeys;
    for (int run = 0; run < firstPaintRuns; ++run) {
        smallPaint.push_back(small.firstPaint());
        largePaint.push_back(large.firstPaint());
    }
    for (int round = 0; round < 5; ++round) {
        small.keystrokes(smallKeys);
        large.keystrokes(largeKeys);
    }
    const double smallFirst = median(smallPaint);
    const double largeFirst = median(largePaint);
    std::printf("first paint, 12 items:   %.2f ms\n", smallFirst);
    std::printf("first paint, 500 items:  %.2f ms\n", largeFirst);
    std::printf("keystroke, 12 items:     %.2f ms\n", median(smallKeys));
    std::printf("keystroke, 500 items:    %.2f ms\n", median(largeKeys));
    std::printf("ratio: %.2f\n", largeFirst / smallFirst);
    return 0;
}
