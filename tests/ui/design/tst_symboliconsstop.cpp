#include "ui/design/SymbolIcons.h"

#include <QSemaphore>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

// In a process of its own: a stopped listing is not started again.
class TestSymbolIconsStop final : public QObject
{
    Q_OBJECT

private slots:
    // The process ends without waiting for the icon folders to be listed: a stop asked for
    // while the first folder is held waits for that folder alone, and lists no other.
    void aStoppedListingListsNoMoreFolders()
    {
        QSemaphore started, mayList;
        std::atomic_int folders = 0;
        const QFuture<void> listing = SymbolIcons::preload([&] {
            if (folders++ == 0) {
                started.release();
                mayList.acquire();
            }
        });
        QTRY_VERIFY(started.available() > 0 || listing.isFinished());
        if (!started.tryAcquire())
            QSKIP("no icon theme folder to list");
        QFuture<void> stopping = QtConcurrent::run(&SymbolIcons::stopListing);
        QTRY_VERIFY(listing.isCanceled());
        QVERIFY(!stopping.isFinished());
        mayList.release();
        stopping.waitForFinished();
        QVERIFY(listing.isFinished());
        QCOMPARE(folders.load(), 1);
    }
};

QTEST_MAIN(TestSymbolIconsStop)
#include "tst_symboliconsstop.moc"
