#include "ui/design/SymbolIcons.h"

#include <QFile>
#include <QSemaphore>
#include <QTest>
#include <QWidget>

#include <atomic>

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
};

QTEST_MAIN(TestSymbolIcons)
#include "tst_symbolicons.moc"
