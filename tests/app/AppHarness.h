#pragma once

// The whole application controller over a temporary folder of drawn screenshots, with fakes
// for what a test must observe or control (clipboard, Trash, accessibility, share) and, on
// request, the real X11 services.
#include "FakeHotKeys.h"
#include "FakeFolderEvents.h"
#include "FakeUrlOpener.h"
#include "FakeShare.h"
#include "LibraryModelHarness.h"
#include "FakeAccessibility.h"

#include "app/AppController.h"
#include "app/AppServices.h"
#include "platform/ActiveWindow.h"
#include "platform/ColorScheme.h"
#include "platform/LaunchAtLogin.h"
#include "platform/SleepWatcher.h"
#include "platform/portal/PortalHotKeySource.h"
#include "platform/x11/SystemDisplays.h"
#include "platform/x11/X11ActiveWindow.h"
#include "platform/x11/X11HotKeySource.h"

namespace apptest {

using namespace harness;

struct NoActiveWindow final : ActiveWindow
{
    std::optional<quint64> current() const override { return std::nullopt; }
    void activate(quint64) override {}
    bool exists(quint64) const override { return false; }
};

// A desktop colour preference the test sets.
struct FakeColorScheme final : ColorScheme
{
    Preference preference() const override { return value; }
    void set(Preference preference)
    {
        value = preference;
        emit changed();
    }
    Preference value = Preference::none;
};

struct FakeLaunchAtLogin final : LaunchAtLogin
{
    bool isEnabled() const override { return enabled; }
    bool setEnabled(bool on) override
    {
        enabled = on;
        return true;
    }
    bool enabled = false;
};

enum class Desktop { fake, x11 };

// Only records that it was asked to listen; the test emits woke().
struct RecordingSleepWatcher final : SleepWatcher
{
    void start() override { started = true; }
    bool started = false;
};

struct App final
{
    // `settings`: what an earlier run left in the settings file; `portal`: a Wayland session's.
    explicit App(Desktop desktop = Desktop::fake, bool reduceMotion = true, const QJsonObject &settings = {},
                 std::unique_ptr<PortalHotKeySource> portal = nullptr)
        : store(seeded(root, settings))
    {
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("Shots"))));
        folder = QFileInfo(root.filePath(QStringLiteral("Shots"))).canonicalFilePath();
        AppServices services;
        services.images = std::make_unique<SystemImageServices>();
        services.accessibility = kept(accessibility, reduceMotion, false);
        services.share = std::make_unique<FakeShare>(false);
        services.displays = std::make_unique<SystemDisplays>();
        services.clipboard = std::make_unique<FakeClipboard>();
        services.urls = std::make_unique<FakeUrlOpener>();
        services.colorScheme = kept(colorScheme);
        services.sleep = kept(sleep);
        services.launchAtLogin = std::make_unique<FakeLaunchAtLogin>();
        if (desktop == Desktop::x11) {
            services.activeWindow = std::make_unique<X11ActiveWindow>();
            services.hotKeys = kept(x11HotKeys);
        } else {
            services.activeWindow = std::make_unique<NoActiveWindow>();
            services.hotKeys = kept(hotKeys);
        }
        services.hotKeyPortal = std::move(portal);
        services.makeLibraryServices = [this](const ImageServices &images) {
            LibraryModel::Services library;
            library.clipboard = kept(clipboard);
            library.trash = kept(trash, root.filePath(QStringLiteral("Trash")));
            library.images = &images;
            library.eventSource = kept(events);
            library.folderPicker = kept(picker);
            library.textWorker = std::make_unique<ScreenshotTextWorker>(
                root.filePath(QStringLiteral("TextCache")), std::make_unique<FakeRecognizer>(recognizer));
            return library;
        };
        controller = std::make_unique<AppController>(store, location, LaunchOptions{},
                                                      std::move(services));
    }

    // Writes the screenshots, connects the folder as an earlier run would have, starts the
    // controller and waits until the library holds them all.
    bool start(int count)
    {
        for (const QString &name : shotNames(count)) {
            if (writeShot(folder, name).isEmpty())
                return false;
        }
        controller->preferences().setFolderPath(folder);
        controller->preferences().setHasConnectedFolder(true);
        controller->start();
        // Also until the shortcut is grabbed, which follows the first frame.
        return QTest::qWaitFor([&] { return controller->model().items().size() == count && controller->finishedStarting(); },
                               10000);
    }

    LibraryModel &model() { return controller->model(); }

    static QString seeded(const QTemporaryDir &root, const QJsonObject &settings)
    {
        const QString path = root.filePath(QStringLiteral("settings.json"));
        if (!settings.isEmpty())
            TestSupport::writeFile(path, QJsonDocument(settings).toJson());
        return path;
    }

    QTemporaryDir root;
    QString folder;
    SettingsStore store;
    FakeScreenshotLocation location;
    FakeAccessibility *accessibility = nullptr;
    FakeClipboard *clipboard = nullptr;
    FakeTrash *trash = nullptr;
    FakeFolderEvents *events = nullptr;
    FakePicker *picker = nullptr;
    FakeHotKeys *hotKeys = nullptr; // only with the fake desktop
    X11HotKeySource *x11HotKeys = nullptr; // only with the real one
    FakeColorScheme *colorScheme = nullptr;
    RecordingSleepWatcher *sleep = nullptr;
    std::shared_ptr<FakeRecognizer::State> recognizer = std::make_shared<FakeRecognizer::State>();
    std::unique_ptr<AppController> controller;
};

} // namespace apptest
