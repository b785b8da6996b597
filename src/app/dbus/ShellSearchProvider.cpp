#include "app/dbus/ShellSearchProvider.h"

#include "core/WhenFinished.h"
#include "app/dbus/DesktopSearchHost.h"
#include "platform/ImageServices.h"
#include "search/DesktopSearch.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QtConcurrent>

SearchIconData SearchIconData::fromImage(const QImage &image)
{
    SearchIconData icon;
    if (image.isNull())
        return icon;
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    icon.width = rgba.width();
    icon.height = rgba.height();
    icon.rowStride = int(rgba.bytesPerLine());
    icon.pixels = QByteArray(reinterpret_cast<const char *>(rgba.constBits()), rgba.sizeInBytes());
    return icon;
}

QDBusArgument &operator<<(QDBusArgument &argument, const SearchIconData &icon)
{
    argument.beginStructure();
    argument << icon.width << icon.height << icon.rowStride << icon.hasAlpha << icon.bitsPerSample
             << icon.channels << icon.pixels;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, SearchIconData &icon)
{
    argument.beginStructure();
    argument >> icon.width >> icon.height >> icon.rowStride >> icon.hasAlpha >> icon.bitsPerSample
        >> icon.channels >> icon.pixels;
    argument.endStructure();
    return argument;
}

ShellSearchProvider::ShellSearchProvider(DesktopSearchHost &host, const ImageServices &images,
                                         QObject *parent)
    : QObject(parent)
    , m_host(&host)
    , m_library(host.published())
    , m_images(images)
    , m_thumbnails(new QThreadPool(this))
{
    m_thumbnails->setMaxThreadCount(1);
    qDBusRegisterMetaType<SearchIconData>();
    qDBusRegisterMetaType<SearchResultMetas>();
}

ShellSearchProvider::~ShellSearchProvider()
{
    // Thumbnails borrow the image services, which may go right after this.
    m_thumbnails->waitForDone();
}

QString ShellSearchProvider::objectPath()
{
    return QStringLiteral("/app/vellum/screenshots/SearchProvider");
}

QStringList ShellSearchProvider::GetInitialResultSet(const QStringList &terms)
{
    return results(terms);
}

QStringList ShellSearchProvider::GetSubsearchResultSet(const QStringList &, const QStringList &terms)
{
    // Searched afresh, not within the shell's previous results: those are only a hint. After the
    // shell started the program for a search it cancels that first, slower call as the next
    // letter comes and keeps an empty list, and text read since can add results. A full search
    // of the library takes about a millisecond.
    return results(terms);
}

QStringList ShellSearchProvider::results(const QStringList &terms)
{
    m_lastQuery = DesktopSearch::queryOf(terms);
    const SearchableLibrary library = m_library->current();
    if (library.ready || !calledFromDBus())
        return library.ids(m_lastQuery, resultLimit);
    // Right after a start the host holds the answer until the first scan is in.
    setDelayedReply(true);
    m_host->answerWhenReady(message(), connection(), [host = m_host, query = m_lastQuery] {
        return QVariant(host->ids(query, resultLimit));
    });
    return {};
}

SearchResultMetas ShellSearchProvider::GetResultMetas(const QStringList &identifiers)
{
    const SearchableLibrary library = m_library->current();
    QList<SearchHit> hits;
    for (const QString &id : identifiers) {
        if (auto hit = library.hit(id, m_lastQuery))
            hits.append(std::move(*hit));
    }

    const auto metas = [hits, query = m_lastQuery, images = &m_images] {
        SearchResultMetas result;
        for (const SearchHit &hit : hits) {
            QVariantMap meta{
                {QStringLiteral("id"), hit.path},
                {QStringLiteral("name"), hit.name},
                {QStringLiteral("description"), hit.description(query)},
            };
            const std::optional<QImage> thumbnail = images->downscaledImage(hit.path, thumbnailSize);
            if (thumbnail && !thumbnail->isNull())
                meta.insert(QStringLiteral("icon-data"),
                            QVariant::fromValue(SearchIconData::fromImage(*thumbnail)));
            else
                meta.insert(QStringLiteral("gicon"), QStringLiteral("image-x-generic"));
            result.append(meta);
        }
        return result;
    };
    if (!calledFromDBus())
        return metas();
    // Thumbnails are decoded off this thread, which may be the one reading the bus; the answer
    // goes out when they are done.
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    whenFinished(QtConcurrent::run(m_thumbnails, metas), this, [call, bus](const SearchResultMetas &result) mutable {
        bus.send(call.createReply(QVariant::fromValue(result)));
    });
    return {};
}

void ShellSearchProvider::ActivateResult(const QString &identifier, const QStringList &terms, uint)
{
    m_host->postWhenReady([host = m_host, query = DesktopSearch::queryOf(terms), identifier] {
        host->activate(query, identifier);
    });
}

void ShellSearchProvider::LaunchSearch(const QStringList &terms, uint)
{
    m_host->postWhenReady([host = m_host, query = DesktopSearch::queryOf(terms)] { host->activate(query, std::nullopt); });
}
