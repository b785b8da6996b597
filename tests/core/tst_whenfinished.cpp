#include "core/WhenFinished.h"

#include <QFile>
#include <QPromise>
#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>

#include <unistd.h>

namespace {

// Whether the thread sleeps in the kernel (its state in /proc is S or D).
bool threadIsBlocked(pid_t thread)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(thread));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    // The state follows the command name, which is in parentheses and may hold anything.
    const qsizetype end = line.lastIndexOf(')');
    return end >= 0 && end + 2 < line.size() && (line.at(end + 2) == 'S' || line.at(end + 2) == 'D');
}

} // namespace

class TestWhenFinished : public QObject
{
    Q_OBJECT

private slots:
    void resultArrivesOnTheContextThread()
    {
        QObject context;
        QPromise<int> promise;
        promise.start();
        QThread *calledOn = nullptr;
        int calls = 0;
        int value = 0;
        whenFinished(promise.future(), &context, [&](int result) {
            ++calls;
            value = result;
            calledOn = QThread::currentThread();
        });

        std::thread worker([&] {
            promise.addResult(42);
            promise.finish();
        });
        worker.join();
        QTRY_COMPARE(calls, 1);
        QCOMPARE(value, 42);
        QCOMPARE(calledOn, context.thread());

        // An already finished future still reports, once; the watchers go away afterwards.
        whenFinished(promise.future(), &context, [&](int) { ++calls; });
        QTRY_COMPARE(calls, 2);
        QTRY_VERIFY(context.findChildren<QFutureWatcherBase *>().isEmpty());
    }

    void attachedWhileAPoolThreadFinishesRunsOnce()
    {
        // A pool thread finishes work in two steps: the state, then the continuation. Attached
        // between the two, a QFuture::then handler ran twice, the second time on a spent promise.
        QFutureInterface<int> work;
        work.reportStarted();
        work.reportResult(7);
        work.QFutureInterfaceBase::reportFinished();
        QObject context;
        QList<int> results;
        whenFinished(work.future(), &context, [&](int result) { results.append(result); });
        work.reportFinished();
        QTRY_COMPARE(results, QList<int>{7});
        QCoreApplication::processEvents();
        QCOMPARE(results, QList<int>{7});
    }

    void aDestroyedContextIsNeverCalled()
    {
        int calls = 0;
        for (int round = 0; round < 200; ++round) {
            auto context = std::make_unique<QObject>();
            QPromise<void> promise;
            promise.start();
            QSemaphore destroyed;
            whenFinished(promise.future(), context.get(), [&] { ++calls; });
            // The work finishes on another thread right as its owner goes away.
            std::thread worker([&] {
                destroyed.acquire();
                promise.finish();
            });
            context.reset();
            destroyed.release();
            worker.join();
            QCoreApplication::processEvents();
        }
        QCOMPARE(calls, 0);
    }

    void ownersWaitForWorkThatBorrowsFromThem()
    {
        const pid_t mainThread = gettid();
        auto borrowed = std::make_unique<std::atomic<int>>(0);
        QSemaphore started;
        std::thread worker;
        {
            QObject owner;
            QPromise<void> promise;
            promise.start();
            whenFinished(promise.future(), &owner, [] {});
            std::atomic<bool> aboutToWait = false;
            worker = std::thread([&, target = borrowed.get()] {
                started.release();
                // Finishes only once the owner blocks in the wait, so the wait is what is tested.
                while (!aboutToWait.load() || !threadIsBlocked(mainThread))
                    std::this_thread::yield();
                target->store(1);
                promise.finish();
            });
            started.acquire();
            aboutToWait.store(true);
            waitForWatchedWork(&owner);
            QCOMPARE(borrowed->load(), 1);
            worker.join();
        }
    }
};

QTEST_GUILESS_MAIN(TestWhenFinished)
#include "tst_whenfinished.moc"
