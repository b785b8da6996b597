#pragma once

// What the library model's tests share: a real folder of drawn screenshots, fake services
// around the real model, a fake recogniser behind the real text worker and index.

#include "FakeClipboard.h"
#include "FakeTrash.h"
#include "TestSupport.h"

#include "library/LibraryModel.h"
#include "platform/FolderEventSource.h"
#include "platform/ScreenshotLocation.h"
#include "platform/SettingsStore.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextRecognizing.h"
#include "text/ScreenshotTextWorker.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace harness {

// Shared between a test and the fake recogniser on the worker's thread.
struct RecognizerState final
{
    std::mutex mutex;
    std::condition_variable released;
    QSet<QString> held;          // file names whose recognition waits for release()
    QSet<QString> failing;       // file names whose recognition fails
    QHash<QString, QString> texts; // file name → text; default "words in <name>"
    int recognized = 0;

    void hold(const QString &name)
    {
        const std::lock_guard lock(mutex);
        held.insert(name);
    }
    void release()
    {
        {
            const std::lock_guard lock(mutex);
            held.clear();
        }
        released.notify_all();
    }
    void setText(const QString &name, const QString &text)
    {
        const std::lock_guard lock(mutex);
        texts.insert(name, text);
    }
};

class FakeRecognizer final : public ScreenshotTextRecognizing
{
public:
    explicit FakeRecognizer(std::shared_ptr<RecognizerState> state) : m_state(std::move(state)) {}

    CapabilitiesResult capabilities() override
    {
        return TextRecognitionCapabilities{{QStringLiteral("en-US")}, QStringLiteral("fake-v1")};
    }

    TextResult recognize(const QString &imagePath, const TextRecognitionCapabilities &,
                         std::stop_token stop) override
    {
        const QString name = QFileInfo(imagePath).fileName();
        std::unique_lock lock(m_state->mutex);
        m_state->released.wait(lock, [&] { return !m_state->held.contains(name) || stop.stop_requested(); });
        if (stop.stop_requested())
            return TextRecognitionError::cancelled;
        ++m_state->recognized;
        if (m_state->failing.contains(name))
            return TextRecognitionError::unreadableImage;
        return m_state->texts.value(name, QStringLiteral("words in %1").arg(name));
    }

private:
    std::shared_ptr<RecognizerState> m_state;
};

// Delivers only the batches a test sends; can refuse to watch.
class FakeEventSource final : public FolderEventSource
{
public:
    bool start(const QString &folderPath, BatchHandler handler) override
    {
        if (!accepts)
            return false;
        path = folderPath;
        m_handler = std::move(handler);
        return true;
    }
    void stop() override { m_handler = {}; }
    void send(const QString &entry, quint32 flags = NoFlags)
    {
        if (m_handler)
            m_handler({entry}, {flags});
    }

    bool accepts = true;
    QString path;

private:
    BatchHandler m_handler;
};

class NoLocation final : public ScreenshotLocation
{
public:
    std::optional<QString> location() const override { return std::nullopt; }
};

class FakePicker final : public FolderPicker
{
public:
    void chooseFolder(const Request &request, Completion completion) override
    {
        lastRequest = request;
        pending = std::move(completion);
    }
    Request lastRequest;
    Completion pending;
};

// A drawn screenshot: a PNG (or JPEG) with a few lines of text.
inline QString writeShot(const QString &folder, const QString &name, const char *format = "png",
                         QSize size = QSize(320, 200))
{
    const QString path = QDir(folder).filePath(name);
    const QImage image = TestSupport::drawTextImage(size, {name, QStringLiteral("sample text")});
    if (!TestSupport::writeImage(path, image, format))
        return {};
    return QFileInfo(path).canonicalFilePath();
}

inline QByteArray sha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

inline QStringList ids(const QList<Screenshot> &items)
{
    QStringList list;
    for (const Screenshot &item : items)
        list.append(QFileInfo(item.id()).fileName());
    return list;
}

enum class Watch { fake, inotify };

// The model over a real temporary folder, with fake services unless told otherwise.
struct Fixture final
{
    explicit Fixture(Watch watch = Watch::fake, std::unique_ptr<Trash> realTrash = {})
    {
        QVERIFY(root.isValid());
        folder = QDir(root.path()).filePath(QStringLiteral("Shots"));
        QDir().mkpath(folder);
        folder = QFileInfo(folder).canonicalFilePath();
        store = std::make_unique<SettingsStore>(QDir(root.path()).filePath(QStringLiteral("settings.json")));
        preferences = std::make_unique<Preferences>(*store, location);

        LibraryModel::Services services;
        auto clip = std::make_unique<FakeClipboard>();
        clipboard = clip.get();
        services.clipboard = std::move(clip);
        if (realTrash) {
            services.trash = std::move(realTrash);
        } else {
            auto bin = std::make_unique<FakeTrash>(QDir(root.path()).filePath(QStringLiteral("Trash")));
            trash = bin.get();
            services.trash = std::move(bin);
        }
        auto picker = std::make_unique<FakePicker>();
        folderPicker = picker.get();
        services.folderPicker = std::move(picker);
        if (watch == Watch::fake) {
            services.makeEventSource = [this] {
                auto source = std::make_unique<FakeEventSource>();
                events = source.get();
                return source;
            };
        }
        services.textCacheDirectory = QDir(root.path()).filePath(QStringLiteral("TextCache"));
        services.recognizer = std::make_unique<FakeRecognizer>(recognizer);
        model = std::make_unique<LibraryModel>(*preferences, std::move(services));
    }

    QString shot(const QString &name, const char *format = "png")
    {
        return writeShot(folder, name, format);
    }

    void connectFolder(const QString &path = {})
    {
        model->connect(QUrl::fromLocalFile(path.isEmpty() ? folder : path));
    }

    // Waits until no scan runs and the text index has nothing left to read.
    bool settle(int timeoutMs = 20000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            if (!model->isScanning() && !model->textIndex().isRunning())
                return true;
            QTest::qWait(10);
        }
        return false;
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
    QString folder;
    NoLocation location;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<Preferences> preferences;
    FakeClipboard *clipboard = nullptr;
    FakeTrash *trash = nullptr;
    FakePicker *folderPicker = nullptr;
    FakeEventSource *events = nullptr;
    std::shared_ptr<RecognizerState> recognizer = std::make_shared<RecognizerState>();
    std::unique_ptr<LibraryModel> model;
};

} // namespace harness
