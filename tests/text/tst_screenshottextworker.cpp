#include "FakeRecognizer.h"
#include "TestSupport.h"

#include "core/Screenshot.h"
#include "text/ScreenshotTextWorker.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

using W = ScreenshotTextWorker;

namespace {

const QString kIdentifier = QStringLiteral("fake-1-en-US-v2");
const QByteArray kStored = R"({"text":"text of Screenshot 1.png"})";
const QByteArray kPipe = "<named pipe>";
// A link in the entry's place to a valid entry elsewhere, or to a named pipe (as for a device node).
const QByteArray kLinkToFile = "<link to a file>";
const QByteArray kLinkToPipe = "<link to a named pipe>";

Screenshot recordFor(const QString &path)
{
    const QFileInfo info(path);
    return Screenshot::withResolvedPath(info.canonicalFilePath(), info.birthTime(), info.lastModified(), info.size(), 40, 30);
}

// The fake never looks at the pixels. A whole-second time keeps later touches clearly different.
Screenshot writeScreenshot(const QString &path)
{
    TestSupport::writeFile(path, "pixels");
    TestSupport::setModificationTime(path, QDateTime::fromSecsSinceEpoch(1700000000));
    return recordFor(path);
}

QStringList jsonFiles(const QString &directory) { return QDir(directory).entryList({"*.json"}, QDir::Files, QDir::Name); }

W::ReadText readOk(W &worker, const Screenshot &item) { return std::get<W::ReadText>(worker.read(item).result()); }
W::CachedTexts loaded(W &worker, const QList<Screenshot> &items) { return std::get<W::CachedTexts>(worker.loadCached(items).result()); }
// Asks for every item at once, in order.
QList<QFuture<W::ReadResult>> readAll(W &worker, const QList<Screenshot> &items, std::stop_token stop = {})
{
    QList<QFuture<W::ReadResult>> reads;
    for (const Screenshot &item : items)
        reads.append(worker.read(item, stop));
    return reads;
}
// As a search loads them: the text alone.
W::CachedTexts searched(W &worker, const QList<Screenshot> &items)
{
    return std::get<W::CachedTexts>(worker.loadCached(items, {}, W::CachedParts::textOnly).result());
}

} // namespace

class TestScreenshotTextWorker final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        m_cache = m_temp->filePath(QStringLiteral("support/ScreenshotText-v1"));
        m_image = m_temp->filePath(QStringLiteral("Screenshot 1.png"));
        m_item = writeScreenshot(m_image);
        m_log = std::make_shared<FakeRecognizer::State>();
        m_log->textFormat = QStringLiteral("  text of %1\n"); // untrimmed, as an engine answers
    }

    void readRecognisesOnceThenUsesCache()
    {
        auto worker = makeWorker();
        QVERIFY(!QFileInfo::exists(m_cache)); // nothing touches the disk before the first write
        QCOMPARE(readOk(*worker, m_item), (W::ReadText{ScreenshotText(QStringLiteral("text of Screenshot 1.png")), false}));
        QCOMPARE(TestSupport::readFile(cachePathFor(m_item)), kStored);
        // Private, created with its parent, and no temporary file left beside it.
        QCOMPARE(TestSupport::permissions(m_cache), 0700);
        QCOMPARE(TestSupport::permissions(QFileInfo(m_cache).path()), 0700);
        QCOMPARE(TestSupport::permissions(cachePathFor(m_item)), 0600);
        QCOMPARE(QDir(m_cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
        QVERIFY(readOk(*worker, m_item).cached);
        QCOMPARE(loaded(*worker, {m_item}).keys(), QStringList{m_item.cacheKey()});
        QCOMPARE(m_log->recognized.load(), 1);
    }

    void newVersionGetsNewEntry_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("touched") << "touched";
        QTest::newRow("renamed") << "renamed";
        QTest::newRow("other recogniser configuration") << "fake-1-en-US,ar-SA-v2";
    }

    void newVersionGetsNewEntry()
    {
        QFETCH(QString, change);
        readOk(*makeWorker(), m_item);
        QString path = m_image;
        QString identifier = kIdentifier;
        if (change == "touched")
            QVERIFY(TestSupport::setModificationTime(path, QDateTime::fromSecsSinceEpoch(1700000100)));
        else if (change == "renamed")
            QVERIFY(QFile::rename(m_image, path = m_temp->filePath(QStringLiteral("Renamed.png"))));
        else
            identifier = change;
        const Screenshot current = recordFor(path);
        auto worker = makeWorker(identifier);
        QVERIFY(loaded(*worker, {m_item, current}).isEmpty());
        QVERIFY(!readOk(*worker, current).cached);
        QCOMPARE(m_log->recognized.load(), 2);
        QCOMPARE(jsonFiles(m_cache).size(), 2);
        QCOMPARE(worker->prune({current}).result(), W::PruneResult());
        QCOMPARE(jsonFiles(m_cache), QStringList{QFileInfo(cachePathFor(current, identifier)).fileName()});
    }

    void cacheFileContents_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("paddedSize"); // valid JSON padded with white space to this size
        QTest::addColumn<bool>("usable");       // whether its text and words are taken from it
        QTest::addColumn<bool>("searchable");   // whether a search takes the text from it
        const QByteArray padded = R"({"text":"  text of Screenshot 1.png  ")";
        QTest::newRow("one byte below the size bound") << padded << qint64(1999999) << true << true;
        QTest::newRow("exactly the size bound") << padded << qint64(2000000) << false << false;
        QTest::newRow("50 MB") << padded << qint64(50000000) << false << false;
        QTest::newRow("named pipe") << kPipe << qint64(0) << false << false; // reports size 0; opening it would block
        // Only refusing the link keeps a valid entry from being taken for this screenshot's.
        QTest::newRow("link to a file elsewhere") << kLinkToFile << qint64(0) << false << false;
        QTest::newRow("link to a named pipe elsewhere") << kLinkToPipe << qint64(0) << false << false;
        QTest::newRow("empty file") << QByteArray() << qint64(0) << false << false;
        QTest::newRow("not JSON") << QByteArray("{\"text\": \"unterminated") << qint64(0) << false << false;
        QTest::newRow("text cut off") << QByteArray("{\"text\":\"text of Screenshot 1.png\\\"") << qint64(0) << false << false;
        QTest::newRow("no text member") << QByteArray(R"({"words":"hello"})") << qint64(0) << false << false;
        QTest::newRow("text not a string") << QByteArray(R"({"text":42})") << qint64(0) << false << false;
        QTest::newRow("escapes, then words")
            << QByteArray(R"({"text":"text of\u0020Screenshot 1\u002epng","words":[{"box":[0,0,0.5,0.5],"text":"text"}]})")
            << qint64(0) << true << true;
        // The words are damaged: only a search, which never parses them, takes the text.
        QTest::newRow("damaged words") << QByteArray("{\"text\":\"text of Screenshot 1.png\",\"words\":[{\"te") << qint64(0)
                                       << false << true;
    }

    void cacheFileContents()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, paddedSize);
        QFETCH(bool, usable);
        QFETCH(bool, searchable);
        const QString path = cachePathFor(m_item);
        const QString elsewhere = m_temp->filePath(QStringLiteral("elsewhere"));
        const QByteArray foreign = R"({"text":"not from the cache"})";
        QVERIFY(QDir().mkpath(m_cache));
        if (content == kPipe) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (content == kLinkToPipe) {
            QCOMPARE(::mkfifo(QFile::encodeName(elsewhere).constData(), 0640), 0);
            QVERIFY(QFile::link(elsewhere, path));
        } else if (content == kLinkToFile) {
            QVERIFY(TestSupport::writeFile(elsewhere, foreign));
            QCOMPARE(::chmod(QFile::encodeName(elsewhere).constData(), 0640), 0);
            QVERIFY(QFile::link(elsewhere, path));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
            // Past the bound a sparse file keeps the disk untouched.
            if (paddedSize > W::maximumCacheFileBytes)
                QVERIFY(file.resize(paddedSize));
            else if (paddedSize > 0)
                QVERIFY(file.write(QByteArray(paddedSize - content.size() - 1, ' ') + '}') > 0);
        }
        auto worker = makeWorker();
        QCOMPARE(loaded(*worker, {m_item}).isEmpty(), !usable);
        const W::CachedTexts found = searched(*worker, {m_item});
        QCOMPARE(found.value(m_item.cacheKey()).text(), searchable ? u"text of Screenshot 1.png"_qs : QString());
        QCOMPARE(found.value(m_item.cacheKey()).wordCount(), 0);
        QVERIFY(QFileInfo::exists(path)); // never deleted on read
        const W::ReadText read = readOk(*worker, m_item);
        QCOMPARE(read.text.text(), QStringLiteral("text of Screenshot 1.png"));
        QCOMPARE(read.cached, usable);
        QCOMPARE(m_log->recognized.load(), usable ? 0 : 1);
        if (!usable)
            QCOMPARE(TestSupport::readFile(path), kStored); // replaced by the fresh result
        if (content.startsWith("<link")) {
            // The link became an entry of our own; what it pointed to kept its kind, bytes and mode.
            QVERIFY(!QFileInfo(path).isSymLink());
            QCOMPARE(TestSupport::permissions(path), 0600);
            struct stat target {};
            QCOMPARE(::lstat(QFile::encodeName(elsewhere).constData(), &target), 0);
            QCOMPARE(S_ISFIFO(target.st_mode), content == kLinkToPipe);
            QCOMPARE(int(target.st_mode & 07777), 0640);
            if (content == kLinkToFile)
                QCOMPARE(TestSupport::readFile(elsewhere), foreign);
        }
    }

    void wordsComeBackFromTheCache()
    {
        // Entries written before words were kept still count: not read again just for words.
        QVERIFY(QDir().mkpath(m_cache));
        QVERIFY(TestSupport::writeFile(cachePathFor(m_item), kStored));
        const W::ReadText old = readOk(*makeWorker(), m_item);
        QVERIFY(old.cached);
        QCOMPARE(old.text.wordCount(), 0);
        QCOMPARE(m_log->recognized.load(), 0);

        QVERIFY(QFile::remove(cachePathFor(m_item)));
        const QList<TextWord> words{{u"text"_qs, QRectF(0.125, 0.5, 0.25, 0.0625)},
                                    {u"Screenshot"_qs, QRectF(0.5, 0.5, 0.375, 0.0625)}};
        m_log->words.insert(QFileInfo(m_item.id()).fileName(), words);
        const W::ReadText fresh = readOk(*makeWorker(), m_item);
        QVERIFY(!fresh.cached);
        QCOMPARE(fresh.text.words(), words);
        // The next run of the program finds the same words in the file.
        auto later = makeWorker();
        QCOMPARE(loaded(*later, {m_item}).value(m_item.cacheKey()), fresh.text);
        QCOMPARE(searched(*later, {m_item}).value(m_item.cacheKey()), ScreenshotText(fresh.text.text()));
        QCOMPARE(readOk(*later, m_item), (W::ReadText{fresh.text, true}));
        QCOMPARE(m_log->recognized.load(), 1);
    }

    void unwritableDirectoryStillGivesText_data()
    {
        // A regular file where a folder would have to be: permission bits stop nothing for root.
        QTest::addColumn<QString>("directory");
        QTest::newRow("directory is a file") << "blocker";
        QTest::newRow("parent is a file") << "blocker/ScreenshotText-v1";
    }

    void unwritableDirectoryStillGivesText()
    {
        QFETCH(QString, directory);
        const QString blocker = m_temp->filePath(QStringLiteral("blocker"));
        QVERIFY(TestSupport::writeFile(blocker, "not a folder"));
        m_cache = m_temp->filePath(directory);
        auto worker = makeWorker();
        for (int attempt = 1; attempt <= 2; ++attempt) {
            const W::ReadText read = readOk(*worker, m_item);
            QCOMPARE(read.text.text(), QStringLiteral("text of Screenshot 1.png"));
            QVERIFY(!read.cached);
            QCOMPARE(m_log->recognized.load(), attempt);
        }
        QVERIFY(!worker->prune({}).result());
        QCOMPARE(TestSupport::readFile(blocker), QByteArray("not a folder"));
    }

    void pruneDeletesOnlyJsonFiles()
    {
        auto worker = makeWorker();
        QCOMPARE(worker->prune({}).result(), W::PruneResult());
        QVERIFY(!QFileInfo::exists(m_cache)); // without a directory, nothing to do
        QVERIFY(QDir().mkpath(m_cache + QStringLiteral("/folder")));
        for (const char *name : {"a.json", ".hidden.json", "b.JSON", "notes.txt", "json", "c.json.bak"})
            QVERIFY(TestSupport::writeFile(m_cache + QLatin1Char('/') + QLatin1String(name), "{}"));
        // Without the configuration a prune cannot tell which files are current: it deletes nothing,
        // and the failure is not remembered.
        m_log->failCapabilities = 1;
        auto failing = makeWorker();
        QCOMPARE(failing->prune({}).result(), W::PruneResult(TextRecognitionError::engineFailure));
        QCOMPARE(failing->prune({}).result(), W::PruneResult());
        QCOMPARE(QDir(m_cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{"b.JSON", "c.json.bak", "folder", "json", "notes.txt"}));
    }

    void failedReadWritesNothing_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<TextRecognitionError>("error");
        QTest::addColumn<int>("recognitions");
        QTest::newRow("touched before reading") << "touch" << TextRecognitionError::changedImage << 0;
        QTest::newRow("removed before reading") << "remove" << TextRecognitionError::changedImage << 0;
        QTest::newRow("same time, new size while recognised") << "rewrite during" << TextRecognitionError::changedImage << 1;
        QTest::newRow("stopped before reading") << "stop" << TextRecognitionError::cancelled << 0;
        QTest::newRow("stopped while recognised") << "stop during" << TextRecognitionError::cancelled << 1;
    }

    void failedReadWritesNothing()
    {
        QFETCH(QString, change);
        QFETCH(TextRecognitionError, error);
        QFETCH(int, recognitions);
        std::stop_source stop;
        const auto apply = [&stop, change](const QString &path) {
            if (change.startsWith("stop")) {
                stop.request_stop();
            } else if (change == "remove") {
                QFile::remove(path);
            } else if (change.startsWith("rewrite")) { // the same time, a new size
                TestSupport::writeFile(path, "replaced by something else");
                TestSupport::setModificationTime(path, QDateTime::fromSecsSinceEpoch(1700000000));
            } else {
                TestSupport::setModificationTime(path, QDateTime::fromSecsSinceEpoch(1700000300));
            }
        };
        if (change.endsWith(" during"))
            m_log->duringRecognition = apply;
        else
            apply(m_image);
        auto worker = makeWorker();
        QCOMPARE(worker->read(m_item, stop.get_token()).result(), W::ReadResult(error));
        QCOMPARE(m_log->recognized.load(), recognitions);
        QVERIFY(jsonFiles(m_cache).isEmpty());
    }

    void everythingRunsOnOneThreadInTurn_data()
    {
        QTest::addColumn<int>("cores");
        QTest::addColumn<bool>("extras");
        QTest::newRow("one core") << 1 << true;
        QTest::newRow("no extra recognisers") << 2 << false;
    }

    void everythingRunsOnOneThreadInTurn()
    {
        QFETCH(int, cores);
        QFETCH(bool, extras);
        const QList<Screenshot> items = screenshots(6);
        {
            auto worker = makeWorker(cores, extras);
            QCOMPARE(worker->readers(), 1);
            for (QFuture<W::ReadResult> &read : readAll(*worker, items)) {
                read.waitForFinished();
                QVERIFY(std::holds_alternative<W::ReadText>(read.result()));
            }
        }
        QCOMPARE(m_log->recognized.load(), 6);
        QVERIFY(!m_log->overlapped);
        QCOMPARE(m_log->threadsOf.size(), std::size_t(1));
        QCOMPARE(m_log->threads.size(), std::size_t(1)); // the destructor ran there too
        QVERIFY(!m_log->threads.contains(std::this_thread::get_id()));
    }

    void backlogIsReadOnEveryCore()
    {
        const QList<Screenshot> items = heldScreenshots(6);
        auto worker = makeWorker(2);
        QCOMPARE(worker->readers(), 2);
        QList<QFuture<W::ReadResult>> reads = readAll(*worker, items);
        // Neither recognition ends before the test releases it: both run at once.
        QTRY_COMPARE(m_log->started().size(), 2);
        const QStringList first = m_log->started();
        QCOMPARE(QSet<QString>(first.cbegin(), first.cend()), (QSet<QString>{u"Screenshot 2.png"_qs, u"Screenshot 3.png"_qs}));
        // One engine free at a time: it takes the oldest waiting read.
        for (int i = 0; i < 4; ++i) {
            m_log->release(m_log->started().at(i));
            QTRY_COMPARE(m_log->started().size(), 3 + i);
            QCOMPARE(m_log->started().last(), QStringLiteral("Screenshot %1.png").arg(i + 4));
        }
        m_log->release();
        for (qsizetype i = 0; i < reads.size(); ++i) {
            const QString text = u"text of "_qs + QFileInfo(items[i].id()).fileName();
            QCOMPARE(reads[i].result(), W::ReadResult(W::ReadText{ScreenshotText(text), false}));
        }
        QCOMPARE(jsonFiles(m_cache).size(), 6);
        // The extra engine goes once the backlog is done; the first stays for the idle release.
        worker->endBacklog();
        QTRY_COMPARE(m_log->alive.load(), 1);
        worker.reset();
        QCOMPARE(m_log->alive.load(), 0);
        QCOMPARE(m_log->capabilityQueries.load(), 1);
        // Each recogniser made, used and released on a thread of its own.
        QCOMPARE(m_log->threadsOf.size(), std::size_t(2));
        QCOMPARE(m_log->threadsOf[0].size(), std::size_t(1));
        QCOMPARE(m_log->threadsOf[1].size(), std::size_t(1));
        QCOMPARE(m_log->threads.size(), std::size_t(2));
        QVERIFY(!m_log->threads.contains(std::this_thread::get_id()));
    }

    void stopEndsQueuedAndRunningReads_data()
    {
        QTest::addColumn<bool>("destroy"); // else the caller's stop
        QTest::newRow("stopped") << false;
        QTest::newRow("worker destroyed") << true;
    }

    void stopEndsQueuedAndRunningReads()
    {
        QFETCH(bool, destroy);
        const QList<Screenshot> items = heldScreenshots(4);
        auto worker = makeWorker(2);
        std::stop_source stop;
        QList<QFuture<W::ReadResult>> reads = readAll(*worker, items, stop.get_token());
        QTRY_COMPARE(m_log->started().size(), 2);
        if (destroy)
            worker.reset();
        else
            stop.request_stop();
        for (QFuture<W::ReadResult> &read : reads)
            QCOMPARE(read.result(), W::ReadResult(TextRecognitionError::cancelled));
        // The waiting ones never reached an engine.
        QCOMPARE(m_log->recognized.load(), 2);
        QVERIFY(jsonFiles(m_cache).isEmpty());
        if (worker)
            worker->endBacklog();
        QTRY_COMPARE(m_log->alive.load(), destroy ? 0 : 1);
    }

    // On every engine's thread: the first, as the only one, and the extra one.
    void readingGivesWayToTheInterface()
    {
        const int cores = 2;
        const int ours = ::getpriority(PRIO_PROCESS, ::gettid());
        std::mutex mutex;
        QList<int> reading;
        m_log->duringRecognition = [&](const QString &) {
            const int niceness = ::getpriority(PRIO_PROCESS, ::gettid());
            const std::lock_guard lock(mutex);
            reading.append(niceness);
        };
        const QList<Screenshot> items = heldScreenshots(cores);
        auto worker = makeWorker(cores);
        QList<QFuture<W::ReadResult>> reads = readAll(*worker, items);
        QTRY_COMPARE(m_log->started().size(), cores); // each on its own engine
        m_log->release();
        for (QFuture<W::ReadResult> &read : reads)
            read.waitForFinished();
        QCOMPARE(reading, QList<int>(cores, std::max(ours, W::backgroundNiceness)));
        QCOMPARE(::getpriority(PRIO_PROCESS, ::gettid()), ours);
    }

private:
    std::unique_ptr<W> makeWorker(const QString &identifier = kIdentifier)
    {
        return std::make_unique<W>(m_cache, std::make_unique<FakeRecognizer>(m_log, identifier));
    }
    // Its extra recognisers share the test's state with the first.
    std::unique_ptr<W> makeWorker(int cores, bool extras = true)
    {
        W::RecognizerFactory factory;
        if (extras)
            factory = [log = m_log] { return std::make_unique<FakeRecognizer>(log, kIdentifier); };
        return std::make_unique<W>(m_cache, std::make_unique<FakeRecognizer>(m_log, kIdentifier), factory, cores);
    }
    // Held until released; a worker going away stops them, so a failed test does not hang.
    QList<Screenshot> heldScreenshots(int count)
    {
        m_log->honourStop = true;
        const QList<Screenshot> items = screenshots(count);
        for (const Screenshot &item : items)
            m_log->hold(QFileInfo(item.id()).fileName());
        return items;
    }
    // "Screenshot 2.png" onwards, beside the one every test has.
    QList<Screenshot> screenshots(int count)
    {
        QList<Screenshot> items;
        for (int i = 0; i < count; ++i)
            items.append(writeScreenshot(m_temp->filePath(QStringLiteral("Screenshot %1.png").arg(i + 2))));
        return items;
    }
    QString cachePathFor(const Screenshot &item, const QString &identifier = kIdentifier) const
    {
        return m_cache + QLatin1Char('/') + W::cacheFileName(identifier, item.cacheKey());
    }
    std::unique_ptr<QTemporaryDir> m_temp;
    QString m_cache;
    QString m_image;
    Screenshot m_item; // the image's record when written
    std::shared_ptr<FakeRecognizer::State> m_log;
};

QTEST_GUILESS_MAIN(TestScreenshotTextWorker)

#include "tst_screenshottextworker.moc"
