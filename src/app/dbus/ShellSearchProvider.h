#pragma once

#include <QDBusContext>
#include <QImage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QVariantMap>

#include <memory>

class DesktopSearchHost;
class ImageServices;
class PublishedLibrary;
class QDBusArgument;

// A result's picture as the shell's search takes it inline: (iiibiiay) width, height, row
// stride, has alpha, bits per sample, channels, pixels.
struct SearchIconData final
{
    int width = 0;
    int height = 0;
    int rowStride = 0;
    bool hasAlpha = true;
    int bitsPerSample = 8;
    int channels = 4;
    QByteArray pixels;

    // RGBA, 8 bits a sample; empty (width 0) for a null image.
    static SearchIconData fromImage(const QImage &image);
};
QDBusArgument &operator<<(QDBusArgument &argument, const SearchIconData &icon);
const QDBusArgument &operator>>(const QDBusArgument &argument, SearchIconData &icon);
Q_DECLARE_METATYPE(SearchIconData)

using SearchResultMetas = QList<QVariantMap>;

// The GNOME Shell search provider (org.gnome.Shell.SearchProvider2): the shell's overview
// searches the screenshots with the gallery's own matching. Result ids are the screenshots'
// paths.
//
// Answers hold the first resultLimit results, in the gallery's order. The shell lists five
// results a provider, and sends back the whole previous answer with every key typed; 500 paths
// there and back on each key cost the shell far more than the few it shows. The gallery holds
// the rest: the shell's "launch search" opens it on the query.
//
// It may live on the thread that reads the bus (see DesktopSearchService): it searches the
// host's published library there, and hands the host only what needs the main thread (an
// answer that waits for the first scan, opening the gallery). The host must outlive it.
class ShellSearchProvider final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.SearchProvider2")

public:
    static constexpr int thumbnailSize = 96;
    static constexpr int resultLimit = 20;

    ShellSearchProvider(DesktopSearchHost &host, const ImageServices &images,
                        QObject *parent = nullptr);
    ~ShellSearchProvider() override;

    static QString objectPath();

public Q_SLOTS:
    QStringList GetInitialResultSet(const QStringList &terms);
    QStringList GetSubsearchResultSet(const QStringList &previousResults, const QStringList &terms);
    SearchResultMetas GetResultMetas(const QStringList &identifiers);
    void ActivateResult(const QString &identifier, const QStringList &terms, uint timestamp);
    void LaunchSearch(const QStringList &terms, uint timestamp);

private:
    // The search for `terms`, answered once the library is ready.
    QStringList results(const QStringList &terms);

    DesktopSearchHost *m_host;
    std::shared_ptr<const PublishedLibrary> m_library;
    const ImageServices &m_images;
    // The shell asks for metas without the terms; snippets follow the last search.
    QString m_lastQuery;
    // Decodes thumbnails. A child, so it moves with the provider; the destructor waits for it.
    QThreadPool *m_thumbnails;
};
