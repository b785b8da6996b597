#include "search/FolderSearch.h"

#include "library/LibraryState.h"
#include "library/ScreenshotScanner.h"
#include "platform/freedesktop/SettingsStore.h"
#include "search/DesktopSearch.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextWorker.h"
#include "core/ScreenshotTextSearch.h"

#include <QCoreApplication>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcFolderSearch, "brimfold.search.folder", QtWarningMsg)

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("FolderSearch", text);
}

// The folder the library would connect at start.
QString connectedFolder(const SettingsStore &store)
{
    return store.string(QLatin1String(Preferences::folderPathKey)).value_or(QString());
}

} // namespace

FolderSearch::Outcome FolderSearch::run(const QString &query, const Sources &sources)
{
    const SettingsStore &store = sources.settings;
    const QString folder = connectedFolder(store);
    if (!store.boolValue(QLatin1String(Preferences::hasConnectedFolderKey)) || folder.isEmpty())
        return {{}, tr("no screenshot folder is connected; open Brimfold to choose one")};

    const LibraryState state = LibraryState::fromJson(
        store.data(QLatin1String(Preferences::libraryStateKey)).value_or(QByteArray()));
    const ScreenshotScanner::Result scanned = ScreenshotScanner::scan(
        folder, store.boolValue(QLatin1String(Preferences::includeAllImagesKey)),
        ScreenshotScanner::defaultLimit, {}, state.pinnedPaths(), sources.images, sources.names);
    if (scanned.error)
        return {{}, tr("cannot read the screenshot folder %1: %2").arg(folder, scanned.error->message)};

    QHash<QString, ScreenshotText> documents;
    if (!ScreenshotTextSearch::tokens(query).isEmpty() && !scanned.screenshots.isEmpty()) {
        const std::unique_ptr<ScreenshotTextWorker> reader = sources.textCache();
        // Only the text is searched: the word boxes, most of each file, are not even parsed.
        const ScreenshotTextWorker::LoadResult loaded =
            reader->loadCached(scanned.screenshots, {}, ScreenshotTextWorker::CachedParts::textOnly).result();
        if (const auto *texts = std::get_if<ScreenshotTextWorker::CachedTexts>(&loaded))
            documents = *texts;
        else
            // Without a recogniser the cache cannot be named; names still match.
            qCDebug(lcFolderSearch) << "no cached text:" << int(std::get<TextRecognitionError>(loaded));
    }
    QHash<QString, QString> normalized;
    normalized.reserve(documents.size());
    for (auto it = documents.cbegin(); it != documents.cend(); ++it)
        normalized.insert(it.key(), it->normalized());
    return {DesktopSearch::find(scanned.screenshots, query, documents, normalized), std::nullopt};
}
