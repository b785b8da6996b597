#pragma once

#include "search/SearchHit.h"

#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>

class DesktopSearchHost;
class GalleryPresenter;
class KRunnerProvider;
class ShellSearchProvider;
class ImageServices;
class LibraryModel;

// Puts the library's search on the session bus, under the program's bus name: the shell's
// search provider, the KDE runner, and the program's own question the command line asks
// (app.vellum.screenshots.Search.Find). Publish before the bus name is owned, so a search that
// started the program finds its objects there.
//
// The shell's provider and the runner are asked on every key typed, so they answer on the thread
// that reads the bus: a call to an object on the main thread is passed to it, and its answer
// passed back, at each end a thread woken, and it waits while the main thread paints.
class DesktopSearchService final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.vellum.screenshots.Search")

public:
    DesktopSearchService(LibraryModel &model, GalleryPresenter &gallery, const ImageServices &images,
                         QObject *parent = nullptr);
    ~DesktopSearchService() override;

    // False without a session bus or when an object path is taken.
    bool publish();

    static QString objectPath();
    static QString interfaceName();

    // The running copy's answer, as the command line asks it; none when no copy answers
    // within `timeoutMs` (no bus, no copy, or one that does not know the question).
    static std::optional<QList<SearchHit>> ask(const QString &query, int timeoutMs = 15000);

public Q_SLOTS:
    // The hits as a{sv} records (SearchHit::toVariantMap), newest first.
    QList<QVariantMap> Find(const QString &query);

private:
    DesktopSearchHost *m_host;
    // Without a parent, so they can move to the bus's thread.
    ShellSearchProvider *m_shell;
    KRunnerProvider *m_runner;
    bool m_published = false;
};
