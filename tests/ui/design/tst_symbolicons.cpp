#include "ui/design/SymbolIcons.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <atomic>

#include <sys/stat.h>

namespace {

class PaintCounter final : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

} // namespace

class TestSymbolIcons final : public QObject
{
    Q_OBJECT

private slots:
    // Only the names asked for, and only what reads as a file: a link to one counts, a dangling
    // link, a pipe or a folder with an icon's name do not. Folders come in name order.
    void listsTheSymbolicFilesOfTheNamesAsked()
    {
        QTemporaryDir theme;
        QVERIFY(theme.isValid());
        const auto path = [&](const char *relative) { return theme.filePath(QLatin1String(relative)); };
        const auto write = [&](const char *relative) {
            QVERIFY(QDir().mkpath(QFileInfo(path(relative)).path()));
            QFile file(path(relative));
            QVERIFY(file.open(QIODevice::WriteOnly));
        };
        const QString find = QStringLiteral("edit-find-symbolic");
        const QString first = path("16x16/actions/edit-find-symbolic.symbolic.png");
        write("8x8/actions/edit-find-symbolic.symbolic.png");
        write("16x16/actions/edit-find-symbolic.symbolic.png");
        write("16x16/actions/edit-find-symbolic.png");
        write("16x16/actions/folder-symbolic.symbolic.png");
        write("16x16/status/user-trash-symbolic.symbolic.png");
        QVERIFY(QDir().mkpath(path("32x32/places")));
        QVERIFY(QFile::link(first, path("32x32/places/edit-find-symbolic.symbolic.png")));
        QVERIFY(QDir().mkpath(path("48x48/actions")));
        QVERIFY(QFile::link(path("48x48/actions/missing.png"), path("48x48/actions/edit-find-symbolic.symbolic.png")));
        QVERIFY(QDir().mkpath(path("64x64/actions")));
        const QString pipe = path("64x64/actions/edit-find-symbolic.symbolic.png");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QDir().mkpath(path("96x96/actions/edit-find-symbolic.symbolic.png")));

        QHash<QString, QStringList> files;
        QVERIFY(SymbolIcons::listSymbolicFiles(theme.path(), {find, QStringLiteral("user-trash-symbolic")}, files));
        QCOMPARE(files.value(find), QStringList({first, path("32x32/places/edit-find-symbolic.symbolic.png"),
                                                 path("8x8/actions/edit-find-symbolic.symbolic.png")}));
        QCOMPARE(files.value(QStringLiteral("user-trash-symbolic")),
                 QStringList(path("16x16/status/user-trash-symbolic.symbolic.png")));
        QCOMPARE(files.size(), 2);

        // Stopped before the second folder: what the first held is kept, and the stop is told.
        QHash<QString, QStringList> stopped;
        int folders = 0;
        QVERIFY(!SymbolIcons::listSymbolicFiles(theme.path(), {find}, stopped, [&] { return ++folders < 2; }));
        QCOMPARE(stopped.value(find), QStringList(first));

        QHash<QString, QStringList> none;
        QVERIFY(SymbolIcons::listSymbolicFiles(theme.filePath(QStringLiteral("absent")), {find}, none));
        QVERIFY(none.isEmpty());
    }

    // The first paint never waits for the icon folders to be listed: a symbol asked for
    // meanwhile is drawn, becomes the theme's once the listing is done, and shown windows are
    // painted again then.
    void symbolsDoNotWaitForTheIconListing()
    {
        QSemaphore listingMayStart;
        std::atomic_bool held = false;
        SymbolIcons::preload([&] {
            if (!held.exchange(true))
                listingMayStart.acquire();
        });
        const QString symbol = QStringLiteral("magnifyingglass");
        // Would never return if it waited for the held listing.
        const QIcon icon = SymbolIcons::icon(symbol);
        const QImage drawn = SymbolIcons::tinted(SymbolIcons::drawnIcon(symbol), 16, Qt::black);
        QCOMPARE(SymbolIcons::tinted(icon, 16, Qt::black), drawn);

        PaintCounter window;
        window.resize(40, 40);
        window.show();
        QTRY_VERIFY(window.paints > 0);
        const int paintsBefore = window.paints;

        listingMayStart.release();
        // The listing runs at idle priority: on a busy machine it may take many seconds.
        QTRY_VERIFY_WITH_TIMEOUT(window.paints > paintsBefore, 120000);
        const SymbolIcons::Resolved resolved = SymbolIcons::resolve(symbol);
        if (resolved.source != SymbolIcons::Source::Theme)
            QSKIP("no icon theme with this symbol is installed");
        const QImage theme = SymbolIcons::tinted(resolved.icon, 16, Qt::black);
        QVERIFY(theme != drawn);
        QCOMPARE(SymbolIcons::tinted(icon, 16, Qt::black), theme);
        // Asked for after the listing, a symbol is the theme's at once.
        QCOMPARE(SymbolIcons::tinted(SymbolIcons::icon(symbol), 16, Qt::black), theme);
        // Its file was read as the PNG it is: no image-format plugin (nor its libraries) was
        // loaded to guess.
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("/imageformats/"));
    }

    // After the listing, the pictures symbols are drawn from are decoded off the GUI thread: a
    // symbol painted then takes its picture from there, and draws as its file read anew does.
    void symbolsAreDecodedAhead()
    {
        SymbolIcons::preload();
        QTRY_VERIFY_WITH_TIMEOUT(SymbolIcons::decodingAhead().isFinished(), 120000);
        const SymbolIcons::Resolved resolved = SymbolIcons::resolve(QStringLiteral("square.on.square"));
        if (resolved.source != SymbolIcons::Source::Theme)
            QSKIP("no icon theme with this symbol is installed");
        for (const int side : {14, 22}) {
            const int waiting = SymbolIcons::decodedAheadCount();
            const QImage ahead = SymbolIcons::tinted(resolved.icon, side, Qt::black);
            QCOMPARE(SymbolIcons::decodedAheadCount(), waiting - 1);
            QIcon read = resolved.icon;
            read.detach(); // an engine of its own, which reads its files
            QCOMPARE(SymbolIcons::tinted(read, side, Qt::black), ahead);
            QCOMPARE(SymbolIcons::decodedAheadCount(), waiting - 1);
        }
    }
};

QTEST_MAIN(TestSymbolIcons)
#include "tst_symbolicons.moc"
