#include "app/SearchCommand.h"

#include "app/AppServices.h"
#include "app/dbus/DesktopSearchService.h"
#include "platform/portal/ReopenChannel.h"
#include "platform/freedesktop/SettingsStore.h"
#include "platform/freedesktop/SystemScreenshotLocation.h"
#include "platform/image/SystemImageServices.h"
#include "search/FolderSearch.h"
#include "text/ScreenshotTextWorker.h"
#include "text/TesseractRecognizer.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include <cstdio>

namespace {

void print(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int fail(const QString &message)
{
    print(stderr, QStringLiteral("brimfold: %1\n").arg(message).toLocal8Bit());
    return 2;
}

QString settingsFile(bool demo)
{
    const QString suite = demo ? SettingsStore::demoSuite() : SettingsStore::normalSuite();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/')
        + suite + QStringLiteral("/settings.json");
}

} // namespace

int SearchCommand::run(const LaunchOptions &options, int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString query = options.search.value_or(QStringList()).join(QLatin1Char(' '));
    if (query.trimmed().isEmpty())
        return fail(QStringLiteral("--search needs words to look for"));

    // The running copy knows text read since its last cache write and the pins as they are now;
    // a demo copy never owns the bus name, so demo searches read their own folder.
    std::optional<QList<SearchHit>> hits;
    if (!options.demo && ReopenChannel::otherInstancePid() != 0)
        hits = DesktopSearchService::ask(query);
    if (!hits) {
        // Read only: a store writes nothing until something is set.
        const SettingsStore settings(settingsFile(options.demo));
        const SystemImageServices images;
        // Names count as the running program counts them, with the user's own tools' patterns.
        const ScreenshotNamePatterns names(
            SystemScreenshotLocation(SystemScreenshotLocation::Sources::fromEnvironment(), {}).fileNamePatterns());
        const QString cache = AppServices::textCacheDirectory(options.demo);
        const FolderSearch::Outcome outcome = FolderSearch::run(query, {settings, images, names, [&] {
            // Reads the digest of the language data the running program keeps, writes nothing.
            return std::make_unique<ScreenshotTextWorker>(
                cache, TesseractRecognizer::create(images, cache, false));
        }});
        if (outcome.error)
            return fail(*outcome.error);
        hits = outcome.hits;
    }

    if (options.json) {
        QJsonArray array;
        for (const SearchHit &hit : *hits)
            array.append(hit.toJson());
        print(stdout, QJsonDocument(array).toJson(QJsonDocument::Indented));
    } else {
        QByteArray lines;
        for (const SearchHit &hit : *hits)
            lines += hit.toLine().toLocal8Bit() + '\n';
        print(stdout, lines);
    }
    return hits->isEmpty() ? 1 : 0;
}
