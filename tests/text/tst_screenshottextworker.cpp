#include "TestSupport.h"

#include "library/Screenshot.h"
#include "text/ScreenshotTextWorker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace {

// What the fake recogniser did, shared with the test after the worker took the recogniser.
struct FakeLog final
{
    std::mutex mutex;
    std::atomic<int> capabilitiesCalls{0};
    std::atomic<int> recognitions{0};
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<int> failCapabilities{0}; // fail this many capabilities() calls first
    std::function<void(const QString &)> duringRecognition; // runs on the worker thread
    std::thread::id recognitionThread;
    std::thread::id destructionThread;
};

// Answers "text of <file name>" for every image, without an engine.
class FakeRecognizer final : public ScreenshotTextRecognizing
{
public:
    FakeRecognizer(std::shared_ptr<FakeLog> log, QString identifier)
        : m_log(std::move(log)), m_identifier(std::move(identifier))
    {
    }
    ~FakeRecognizer() override { m_log->destructionThread = std::this_thread::get_id(); }

    CapabilitiesResult capabilities() override
    {
        ++m_log->capabilitiesCalls;
        if (m_log->failCapabilities > 0) {
            --m_log->failCapabilities;
            return TextRecognitionError::engineFailure;
        }
        return TextRecognitionCapabilities{{QStringLiteral("en-US")}, m_identifier};
    }

    TextResult recognize(const QString &imagePath, const TextRecognitionCapabilities &,
                         std::stop_token) override
    {
        if (m_log->inside.fetch_add(1) != 0)
            m_log->overlapped = true;
        ++m_log->recognitions;
        m_log->recognitionThread = std::this_thread::get_id();
        if (m_log->duringRecognition)
            m_log->duringRecognition(imagePath);
        --m_log->inside;
        return QStringLiteral("  text of %1\n").arg(QFileInfo(imagePath).fileName());
    }

private:
    std::shared_ptr<FakeLog> m_log;
    QString m_identifier;
};

Screenshot recordFor(const QString &path)
{
    const QFileInfo info(path);
    return Screenshot::withResolvedPath(info.canonicalFilePath(), info.birthTime(),
                                        info.lastModified(), info.size(), 40, 30);
}

QString writeScreenshot(const QString &path)
{
    // The fake recogniser never looks at the pixels; a plain image is enough (and drawing
    // text would need a GUI application).
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (!TestSupport::writeImage(path, image, "png"))
        return {};
    // A whole-second time keeps later touches clearly different.
    TestSupport::setModificationTime(path, QDateTime::fromSecsSinceEpoch(1700000000));
    return path;
}

QStringList jsonFiles(const QString &directory)
{
    return QDir(directory).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
}

int permissionBits(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

const QString kIdentifier = QStringLiteral("fake-1-en-US-v2");

} // namespace

class TestScreenshotTextWorker final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cacheFileNameIsHexDigestOfIdentifierAndKey();
    void readRecognisesOnceThenUsesCache();
    void newVersionOfFileGetsNewEntry_data();
    void newVersionOfFileGetsNewEntry();
    void cacheFileSizeBound_data();
    void cacheFileSizeBound();
    void undecodableCacheFileIsReplaced_data();
    void undecodableCacheFileIsReplaced();
    void specialFileInPlaceOfCacheFileIsNotRead();
    void unwritableDirectoryStillGivesText_data();
    void unwritableDirectoryStillGivesText();
    void directoryAndFilePermissions();
    void pruneDeletesOnlyJsonFiles();
    void pruneWithoutDirectoryDoesNothing();
    void identifierChangeMakesOldFilesUnused();
    void changedImage_data();
    void changedImage();
    void cancellation();
    void capabilitiesAskedOnceFailureNotRemembered();
    void operationsRunOneAtATimeOnOneThread();

private:
    std::unique_ptr<ScreenshotTextWorker> makeWorker(const QString &identifier = kIdentifier);
    QString cachePathFor(const Screenshot &item, const QString &identifier = kIdentifier) const;

    std::unique_ptr<QTemporaryDir> m_temp;
    QString m_cache;
    QString m_image;
    std::shared_ptr<FakeLog> m_log;
};

void TestScreenshotTextWorker::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    m_cache = m_temp->filePath(QStringLiteral("support/ScreenshotText-v1"));
    QVERIFY(QDir().mkpath(m_temp->filePath(QStringLiteral("shots"))));
    m_image = writeScreenshot(m_temp->filePath(QStringLiteral("shots/Screenshot 1.png")));
    QVERIFY(!m_image.isEmpty());
    m_log = std::make_shared<FakeLog>();
}

void TestScreenshotTextWorker::cleanup()
{
    m_temp.reset();
}

std::unique_ptr<ScreenshotTextWorker> TestScreenshotTextWorker::makeWorker(const QString &identifier)
{
    return std::make_unique<ScreenshotTextWorker>(m_cache,
                                                  std::make_unique<FakeRecognizer>(m_log, identifier));
}

QString TestScreenshotTextWorker::cachePathFor(const Screenshot &item, const QString &identifier) const
{
    return m_cache + QLatin1Char('/') + ScreenshotTextWorker::cacheFileName(identifier, item.cacheKey());
}

void TestScreenshotTextWorker::cacheFileNameIsHexDigestOfIdentifierAndKey()
{
    // SHA-256 of "abc", the standard test vector.
    QCOMPARE(ScreenshotTextWorker::cacheFileName(QStringLiteral("a"), QStringLiteral("bc")),
             QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad.json"));
}

void TestScreenshotTextWorker::readRecognisesOnceThenUsesCache()
{
    auto worker = makeWorker();
    const Screenshot item = recordFor(m_image);
    QVERIFY(!QFileInfo::exists(m_cache)); // nothing touches the disk before the first write

    const auto first = worker->read(item).result();
    QCOMPARE(first, (ScreenshotTextWorker::ReadResult(
                        ScreenshotTextWorker::ReadText{ScreenshotText(QStringLiteral("text of Screenshot 1.png")), false})));
    QFile file(cachePathFor(item));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(R"({"text":"text of Screenshot 1.png"})"));

    const auto second = worker->read(item).result();
    QVERIFY(std::get<ScreenshotTextWorker::ReadText>(second).cached);
    QCOMPARE(m_log->recognitions.load(), 1);

    const auto loaded = worker->loadCached({item}).result();
    const auto &texts = std::get<ScreenshotTextWorker::CachedTexts>(loaded);
    QCOMPARE(texts.keys(), QStringList{item.cacheKey()});
    QCOMPARE(texts.value(item.cacheKey()).text(), QStringLiteral("text of Screenshot 1.png"));
}

void TestScreenshotTextWorker::newVersionOfFileGetsNewEntry_data()
{
    QTest::addColumn<bool>("rename");
    QTest::newRow("touched") << false;
    QTest::newRow("renamed") << true;
}

void TestScreenshotTextWorker::newVersionOfFileGetsNewEntry()
{
    QFETCH(bool, rename);
    auto worker = makeWorker();
    const Screenshot old = recordFor(m_image);
    QVERIFY(std::holds_alternative<ScreenshotTextWorker::ReadText>(worker->read(old).result()));

    QString path = m_image;
    if (rename) {
        path = m_temp->filePath(QStringLiteral("shots/Renamed.png"));
        QVERIFY(QFile::rename(m_image, path));
    } else {
        QVERIFY(TestSupport::setModificationTime(path, QDateTime::fromSecsSinceEpoch(1700000100)));
    }
    const Screenshot current = recordFor(path);
    QVERIFY(current.cacheKey() != old.cacheKey());

    QVERIFY(std::get<ScreenshotTextWorker::CachedTexts>(worker->loadCached({old, current}).result()).isEmpty());
    const auto read = std::get<ScreenshotTextWorker::ReadText>(worker->read(current).result());
    QVERIFY(!read.cached);
    QCOMPARE(m_log->recognitions.load(), 2);
    QCOMPARE(jsonFiles(m_cache).size(), 2);

    QCOMPARE(worker->prune({current}).result(), ScreenshotTextWorker::PruneResult());
    QCOMPARE(jsonFiles(m_cache), QStringList{QFileInfo(cachePathFor(current)).fileName()});
}

void TestScreenshotTextWorker::cacheFileSizeBound_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("used");
    QTest::newRow("one byte below the bound") << qint64(1'999'999) << true;
    QTest::newRow("exactly the bound") << qint64(2'000'000) << false;
    QTest::newRow("50 MB") << qint64(50'000'000) << false;
}

void TestScreenshotTextWorker::cacheFileSizeBound()
{
    QFETCH(qint64, size);
    QFETCH(bool, used);
    const Screenshot item = recordFor(m_image);
    QVERIFY(QDir().mkpath(m_cache));
    const QString path = cachePathFor(item);
    {
        // Valid JSON padded with white space to the exact size; the text itself is padded
        // too, and comes back trimmed. Past 2 MB a sparse file keeps the disk untouched.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray head(R"({"text":"  cached words  ")");
        QVERIFY(file.write(head) == head.size());
        if (size <= 2'000'000) {
            QVERIFY(file.write(QByteArray(size - head.size() - 1, ' ')) > 0);
            QVERIFY(file.write("}") == 1);
        } else {
            QVERIFY(file.resize(size));
        }
    }
    QCOMPARE(QFileInfo(path).size(), size);

    auto worker = makeWorker();
    const auto loaded = std::get<ScreenshotTextWorker::CachedTexts>(worker->loadCached({item}).result());
    const auto read = std::get<ScreenshotTextWorker::ReadText>(worker->read(item).result());
    if (used) {
        QCOMPARE(loaded.value(item.cacheKey()).text(), QStringLiteral("cached words"));
        QCOMPARE(read.text.text(), QStringLiteral("cached words"));
        QVERIFY(read.cached);
        QCOMPARE(m_log->recognitions.load(), 0);
    } else {
        QVERIFY(loaded.isEmpty());
        QVERIFY(!read.cached);
        QCOMPARE(m_log->recognitions.load(), 1);
        // Replaced by the fresh result.
        QVERIFY(QFileInfo(path).size() < 100);
    }
}

void TestScreenshotTextWorker::undecodableCacheFileIsReplaced_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not JSON") << QByteArray("{\"text\": \"unterminated");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("no text member") << QByteArray(R"({"words":"hello"})");
    QTest::newRow("text not a string") << QByteArray(R"({"text":42})");
    QTest::newRow("array") << QByteArray(R"(["text"])");
}

void TestScreenshotTextWorker::undecodableCacheFileIsReplaced()
{
    QFETCH(QByteArray, content);
    const Screenshot item = recordFor(m_image);
    QVERIFY(QDir().mkpath(m_cache));
    QVERIFY(TestSupport::writeFile(cachePathFor(item), content));

    auto worker = makeWorker();
    QVERIFY(std::get<ScreenshotTextWorker::CachedTexts>(worker->loadCached({item}).result()).isEmpty());
    QVERIFY(QFileInfo::exists(cachePathFor(item))); // never deleted on read
    QVERIFY(!std::get<ScreenshotTextWorker::ReadText>(worker->read(item).result()).cached);
    QFile file(cachePathFor(item));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(R"({"text":"text of Screenshot 1.png"})"));
}

void TestScreenshotTextWorker::specialFileInPlaceOfCacheFileIsNotRead()
{
    // A pipe reports size 0 and would block the worker forever once opened for reading.
    const Screenshot item = recordFor(m_image);
    QVERIFY(QDir().mkpath(m_cache));
    QCOMPARE(::mkfifo(QFile::encodeName(cachePathFor(item)).constData(), 0600), 0);

    auto worker = makeWorker();
    QVERIFY(std::get<ScreenshotTextWorker::CachedTexts>(worker->loadCached({item}).result()).isEmpty());
    QVERIFY(!std::get<ScreenshotTextWorker::ReadText>(worker->read(item).result()).cached);
    QVERIFY(QFileInfo(cachePathFor(item)).isFile()); // replaced by a real cache file
}

void TestScreenshotTextWorker::unwritableDirectoryStillGivesText_data()
{
    QTest::addColumn<QString>("blocker"); // a regular file where a folder would have to be
    QTest::addColumn<QString>("directory");
    QTest::newRow("directory is a file") << "blocker" << "blocker";
    QTest::newRow("parent is a file") << "blocker" << "blocker/ScreenshotText-v1";
}

void TestScreenshotTextWorker::unwritableDirectoryStillGivesText()
{
    QFETCH(QString, blocker);
    QFETCH(QString, directory);
    // Tests may run as root, for whom permission bits stop nothing; a file in the way does.
    QVERIFY(TestSupport::writeFile(m_temp->filePath(blocker), "not a folder"));
    m_cache = m_temp->filePath(directory);

    auto worker = makeWorker();
    const Screenshot item = recordFor(m_image);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const auto read = std::get<ScreenshotTextWorker::ReadText>(worker->read(item).result());
        QCOMPARE(read.text.text(), QStringLiteral("text of Screenshot 1.png"));
        QVERIFY(!read.cached);
        QCOMPARE(m_log->recognitions.load(), attempt);
    }
    QVERIFY(!worker->prune({}).result());
    QCOMPARE(QFileInfo(m_temp->filePath(blocker)).size(), qint64(12));
}

void TestScreenshotTextWorker::directoryAndFilePermissions()
{
    auto worker = makeWorker();
    const Screenshot item = recordFor(m_image);
    QVERIFY(std::holds_alternative<ScreenshotTextWorker::ReadText>(worker->read(item).result()));
    QCOMPARE(permissionBits(m_cache), 0700);
    QCOMPARE(permissionBits(QFileInfo(m_cache).path()), 0700); // created parent too
    QCOMPARE(permissionBits(cachePathFor(item)), 0600);
    // Only the cache file itself: no temporary file is left beside it.
    QCOMPARE(QDir(m_cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
}

void TestScreenshotTextWorker::pruneDeletesOnlyJsonFiles()
{
    QVERIFY(QDir().mkpath(m_cache + QStringLiteral("/folder")));
    const QStringList names = {QStringLiteral("a.json"), QStringLiteral(".hidden.json"),
                               QStringLiteral("b.JSON"), QStringLiteral("notes.txt"),
                               QStringLiteral("json"), QStringLiteral("c.json.bak")};
    for (const QString &name : names)
        QVERIFY(TestSupport::writeFile(m_cache + QLatin1Char('/') + name, "{}"));

    auto worker = makeWorker();
    QCOMPARE(worker->prune({}).result(), ScreenshotTextWorker::PruneResult());
    QCOMPARE(QDir(m_cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{QStringLiteral("b.JSON"), QStringLiteral("c.json.bak"), QStringLiteral("folder"),
                          QStringLiteral("json"), QStringLiteral("notes.txt")}));
}

void TestScreenshotTextWorker::pruneWithoutDirectoryDoesNothing()
{
    auto worker = makeWorker();
    QCOMPARE(worker->prune({recordFor(m_image)}).result(), ScreenshotTextWorker::PruneResult());
    QVERIFY(!QFileInfo::exists(m_cache));
}

void TestScreenshotTextWorker::identifierChangeMakesOldFilesUnused()
{
    const Screenshot item = recordFor(m_image);
    makeWorker(QStringLiteral("fake-1-en-US-v2"))->read(item).waitForFinished();
    QCOMPARE(m_log->recognitions.load(), 1);

    auto worker = makeWorker(QStringLiteral("fake-1-en-US,ar-SA-v2"));
    QVERIFY(std::get<ScreenshotTextWorker::CachedTexts>(worker->loadCached({item}).result()).isEmpty());
    QVERIFY(!std::get<ScreenshotTextWorker::ReadText>(worker->read(item).result()).cached);
    QCOMPARE(m_log->recognitions.load(), 2);
    QVERIFY(!worker->prune({item}).result());
    QCOMPARE(jsonFiles(m_cache),
             QStringList{QFileInfo(cachePathFor(item, QStringLiteral("fake-1-en-US,ar-SA-v2"))).fileName()});
}

void TestScreenshotTextWorker::changedImage_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("recognitions");
    QTest::newRow("touched before reading") << "before" << 0;
    QTest::newRow("removed before reading") << "remove" << 0;
    QTest::newRow("touched while recognised") << "during" << 1;
    QTest::newRow("rewritten while recognised") << "rewrite" << 1;
}

void TestScreenshotTextWorker::changedImage()
{
    QFETCH(QString, change);
    QFETCH(int, recognitions);
    const Screenshot item = recordFor(m_image);
    if (change == QLatin1String("before"))
        QVERIFY(TestSupport::setModificationTime(m_image, QDateTime::fromSecsSinceEpoch(1700000200)));
    if (change == QLatin1String("remove"))
        QVERIFY(QFile::remove(m_image));
    if (change == QLatin1String("during")) {
        m_log->duringRecognition = [](const QString &path) {
            TestSupport::setModificationTime(path, QDateTime::fromSecsSinceEpoch(1700000300));
        };
    }
    if (change == QLatin1String("rewrite")) {
        m_log->duringRecognition = [](const QString &path) {
            // Same modification time, different size.
            TestSupport::writeFile(path, "replaced by something else");
            TestSupport::setModificationTime(path, QDateTime::fromSecsSinceEpoch(1700000000));
        };
    }

    auto worker = makeWorker();
    QCOMPARE(worker->read(item).result(),
             ScreenshotTextWorker::ReadResult(TextRecognitionError::changedImage));
    QCOMPARE(m_log->recognitions.load(), recognitions);
    QVERIFY(jsonFiles(m_cache).isEmpty()); // nothing written
}

void TestScreenshotTextWorker::cancellation()
{
    auto worker = makeWorker();
    const Screenshot item = recordFor(m_image);
    std::stop_source stop;
    stop.request_stop();
    QCOMPARE(worker->read(item, stop.get_token()).result(),
             ScreenshotTextWorker::ReadResult(TextRecognitionError::cancelled));
    QCOMPARE(worker->loadCached({item}, stop.get_token()).result(),
             ScreenshotTextWorker::LoadResult(TextRecognitionError::cancelled));
    QCOMPARE(m_log->recognitions.load(), 0);

    // Asked to stop while the engine works: the result is dropped and nothing is cached.
    std::stop_source during;
    m_log->duringRecognition = [&during](const QString &) { during.request_stop(); };
    QCOMPARE(worker->read(item, during.get_token()).result(),
             ScreenshotTextWorker::ReadResult(TextRecognitionError::cancelled));
    QVERIFY(jsonFiles(m_cache).isEmpty());
}

void TestScreenshotTextWorker::capabilitiesAskedOnceFailureNotRemembered()
{
    m_log->failCapabilities = 1;
    auto worker = makeWorker();
    const Screenshot item = recordFor(m_image);
    QCOMPARE(worker->capabilities().result(),
             ScreenshotTextWorker::CapabilitiesResult(TextRecognitionError::engineFailure));
    m_log->failCapabilities = 1;
    // Every operation needs the configuration, and fails with it; nothing is deleted.
    QVERIFY(QDir().mkpath(m_cache));
    QVERIFY(TestSupport::writeFile(m_cache + QStringLiteral("/old.json"), "{}"));
    QCOMPARE(worker->prune({}).result(), ScreenshotTextWorker::PruneResult(TextRecognitionError::engineFailure));
    QVERIFY(QFileInfo::exists(m_cache + QStringLiteral("/old.json")));

    const auto capabilities = std::get<TextRecognitionCapabilities>(worker->capabilities().result());
    QCOMPARE(capabilities.identifier, kIdentifier);
    worker->read(item).waitForFinished();
    worker->loadCached({item}).waitForFinished();
    worker->prune({item}).waitForFinished();
    QCOMPARE(m_log->capabilitiesCalls.load(), 3);
}

void TestScreenshotTextWorker::operationsRunOneAtATimeOnOneThread()
{
    QList<Screenshot> items;
    for (int i = 0; i < 6; ++i) {
        const QString path = writeScreenshot(m_temp->filePath(QStringLiteral("shots/s%1.png").arg(i)));
        QVERIFY(!path.isEmpty());
        items.append(recordFor(path));
    }
    std::thread::id firstThread;
    {
        auto worker = makeWorker();
        QList<QFuture<ScreenshotTextWorker::ReadResult>> reads;
        for (const Screenshot &item : std::as_const(items))
            reads.append(worker->read(item));
        const auto pruned = worker->prune(items);
        for (auto &read : reads)
            QVERIFY(std::holds_alternative<ScreenshotTextWorker::ReadText>(read.result()));
        QVERIFY(!pruned.result());
        firstThread = m_log->recognitionThread;
        QVERIFY(firstThread != std::this_thread::get_id());
    }
    QVERIFY(!m_log->overlapped);
    QCOMPARE(m_log->recognitions.load(), 6);
    QCOMPARE(jsonFiles(m_cache).size(), 6);
    // The engine is released on the thread it worked on.
    QVERIFY(m_log->destructionThread == firstThread);
}

QTEST_GUILESS_MAIN(TestScreenshotTextWorker)
#include "tst_screenshottextworker.moc"
