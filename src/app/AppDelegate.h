#pragma once

#include "app/LaunchOptions.h"

#include <QObject>

#include <memory>

class AppController;
class DesktopSearchService;
class Preferences;
class ReopenChannel;
class ScreenshotLocation;
class SettingsStore;

// Launch steps of the running copy: settings store, controller, demo flags, start, and the
// "show your gallery" requests of later launches.
class AppDelegate final : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(const LaunchOptions &options, QObject *parent = nullptr);
    ~AppDelegate() override;

    // False when the program cannot go on (the demo settings cannot be opened).
    bool applicationDidFinishLaunching();
    void reopenGallery();
    // The desktop-search objects, then the name later launches and searches find it by.
    void offerOnTheBus();

    AppController *controller() const { return m_controller.get(); }

    // Writes the demo flags into the (demo) preferences.
    static void applyDemoFlags(const LaunchOptions &options, Preferences &preferences);

private:
    LaunchOptions m_options;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<ScreenshotLocation> m_screenshotLocation;
    std::unique_ptr<AppController> m_controller;
    // After the controller, so it goes first: it answers from the controller's library.
    std::unique_ptr<DesktopSearchService> m_search;
    ReopenChannel *m_reopen = nullptr;
};
