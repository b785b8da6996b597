#pragma once

// The real library model over a temporary folder of drawn screenshots, with fake clipboard,
// Trash, picker, watcher and recogniser (behind the real text worker and index).

#include "FakeFolderEvents.h"
#include "FakeClipboard.h"
#include "FakeRecognizer.h"
#include "FakeTrash.h"
#include "FakeScreenshotLocation.h"
#include "TestSupport.h"

#include "core/BackgroundPool.h"
#include "library/LibraryModel.h"
#include "platform/freedesktop/InotifyEventSource.h"
#include "platform/image/SystemImageServices.h"
#include "platform/freedesktop/SettingsStore.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextWorker.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSemaphore>
#include <QThreadPool>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace harness {

struct FakePicker final : FolderPicker
{
    void chooseFolder(const Request &, Completion completion) override { pending = std::move(completion); }
    Completion pending;
};

// A drawn screenshot; returns its canonical path, empty on failure.
inline QString writeShot(const QString &folder, const QString &name, const char *format = "png",
                         QSize size = QSize(320, 200))
{
    const QString path = QDir(folder).filePath(name);
    const QImage image = TestSupport::drawTextImage(size, {name, QStringLiteral("sample text")});
    return TestSupport::writeImage(path, image, format) ? QFileInfo(path).canonicalFilePath() : QString();
}

inline QByteArray sha256(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

inline QStringList shotNames(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(QStringLiteral("Screenshot %1.png").arg(i, 2, 10, QLatin1Char('0')));
    return names;
}

// Holds every thread of the shared pool, so the background work the model queues meanwhile
// (scans, copies) cannot finish before the test has looked at it; open() lets it run.
class PoolGate final
{
public:
    explicit PoolGate(QThreadPool &pool = BackgroundPool::shared())
        : m_threads(pool.maxThreadCount())
    {
        for (int i = 0; i < m_threads; ++i) {
            pool.start([state = m_state] {
                state->running.release();
                state->gate.acquire();
            });
        }
        m_state->running.acquire(m_threads);
    }
    ~PoolGate() { open(); }
    PoolGate(const PoolGate &) = delete;
    PoolGate &operator=(const PoolGate &) = delete;

    void open()
    {
        if (!m_open) {
            m_open = true;
            m_state->gate.release(m_threads);
        }
    }

private:
    // Shared with the held threads: one may still be leaving acquire() when the gate is gone.
    // On the test's stack, the semaphores were written after the test returned and corrupted
    // the next test's frame.
    struct State
    {
        QSemaphore running;
        QSemaphore gate;
    };
    int m_threads;
    bool m_open = false;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

enum class Watch { fake, inotify };

// Hands ownership out and keeps a pointer for the test.
template<typename T, typename... Args>
std::unique_ptr<T> kept(T *&pointer, Args &&...args)
{
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    pointer = owned.get();
    return owned;
}

struct Fixture final
{
    explicit Fixture(Watch watch = Watch::fake, std::unique_ptr<Trash> realTrash = {},
                     ScreenshotNamePatterns namePatterns = {}, std::unique_ptr<Clipboard> realClipboard = {})
    {
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("Shots"))));
        folder = QFileInfo(root.filePath(QStringLiteral("Shots"))).canonicalFilePath();
        LibraryModel::Services services;
        services.clipboard = realClipboard ? std::move(realClipboard) : kept(clipboard);
        services.trash = realTrash ? std::move(realTrash) : kept(trash, root.filePath(QStringLiteral("Trash")));
        services.folderPicker = kept(folderPicker);
        services.images = &images;
        services.namePatterns = std::move(namePatterns);
        if (watch == Watch::fake)
            services.eventSource = kept(events);
        else
            services.eventSource = std::make_unique<InotifyEventSource>();
        // A model destroyed while a read is held must not wait for it.
        recognizer->honourStop = true;
        services.textWorker = std::make_unique<ScreenshotTextWorker>(
            root.filePath(QStringLiteral("TextCache")), std::make_unique<FakeRecognizer>(recognizer));
        model = std::make_unique<LibraryModel>(*preferences, std::move(services));
    }

    QString shot(const QString &name, const char *format = "png") { return writeShot(folder, name, format); }

    void connectFolder(const QString &path = {})
    {
        model->connectFolder(QUrl::fromLocalFile(path.isEmpty() ? folder : path));
    }

    // Writes the screenshots, connects and waits until scanned and read; false on failure.
    bool populate(const QStringList &names)
    {
        for (const QString &name : names) {
            if (shot(name).isEmpty())
                return false;
        }
        connectFolder();
        return QTest::qWaitFor([&] { return model->items().size() == names.size(); }, 10000) && settle();
    }

    // Waits until no scan runs and the text index has nothing left to read.
    bool settle(int timeoutMs = 20000)
    {
        return QTest::qWaitFor([&] { return !model->isScanning() && !model->textIndex().isRunning(); },
                               timeoutMs);
    }

    std::optional<Screenshot> item(const QString &name) const
    {
        for (const Screenshot &s : model->items()) {
            if (QFileInfo(s.id()).fileName() == name)
                return s;
        }
        return std::nullopt;
    }

    QTemporaryDir root;
    SystemImageServices images;
    QString folder;
    FakeScreenshotLocation location;
    std::unique_ptr<SettingsStore> store = std::make_unique<SettingsStore>(root.filePath(QStringLiteral("settings.json")));
    std::unique_ptr<Preferences> preferences = std::make_unique<Preferences>(*store, location);
    FakeClipboard *clipboard = nullptr; // unless the clipboard is a real one
    FakeTrash *trash = nullptr;
    FakePicker *folderPicker = nullptr;
    FakeFolderEvents *events = nullptr;
    std::shared_ptr<FakeRecognizer::State> recognizer = std::make_shared<FakeRecognizer::State>();
    std::unique_ptr<LibraryModel> model;
};

} // namespace harness

#define CHECK_CONSISTENT(f) QVERIFY2((f).model->isConsistent(), "model invariants broken")
