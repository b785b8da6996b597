#pragma once

#include "app/AppServices.h"
#include "app/LaunchOptions.h"

#include <QList>
#include <QObject>
#include <QPalette>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class FeedbackView;
class FloatingButtonPresenter;
class GalleryPresenter;
class KeyRouter;
class LibraryModel;
class Preferences;
class ScreenshotLocation;
class SettingsStore;
class SettingsView;
class ShortcutCoordinator;
class ThumbnailCache;
class TrayMenu;
class UpdateService;

// Creates, owns and wires what the running program consists of: the preferences, the library,
// the global shortcut, the floating button, the gallery with its preview, the key routing, the
// tray, and the settings and feedback windows. Main thread only.
class AppController final : public QObject
{
    Q_OBJECT

public:
    AppController(SettingsStore &defaults, const ScreenshotLocation &screenshotLocation,
                  const LaunchOptions &options, AppServices services, QObject *parent = nullptr);
    ~AppController() override;

    Preferences &preferences() const { return *m_preferences; }
    // Created on first use, inside start().
    LibraryModel &model();
    const AppServices &services() const { return m_services; }

    // One-time wiring, called once after launch. What the first frame does not need (the tray,
    // the preview, update checks, the global shortcut, the sleep watch) follows once it is
    // painted.
    void start();
    // Whether that has happened.
    bool finishedStarting() const { return !m_afterFirstFrame.has_value(); }
    // Runs `work` once the first of our windows shown at start has been painted (on the next
    // turn of the event loop when none is shown), or at once after that. Dropped with `context`.
    void whenFirstPainted(QObject *context, std::function<void()> work);

    ShortcutCoordinator &shortcuts() const { return *m_shortcuts; }
    // Made by start().
    GalleryPresenter &gallery() const { return *m_gallery; }
    FloatingButtonPresenter &floating() const { return *m_floating; }
    // Made once the first frame is painted.
    TrayMenu *tray() const { return m_tray.get(); }

    // The settings and feedback windows, made on first use and kept afterwards.
    void showSettings();
    void showFeedback();
    SettingsView *settingsWindow() const { return m_settingsWindow.get(); }
    FeedbackView *feedbackWindow() const { return m_feedbackWindow.get(); }

protected:
    // Sees the first frame painted.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void hotKeyPressed();
    // The rest of start(), after the first frame.
    void finishStarting();
    void firstFramePainted();
    // Light, dark, or the desktop's choice, applied to every window at once.
    void updateAppearance();
    void showWindow(QWidget &window);

    LaunchOptions m_options;
    AppServices m_services;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<UpdateService> m_updater;
    std::unique_ptr<ThumbnailCache> m_thumbnails;
    std::unique_ptr<LibraryModel> m_model;
    std::unique_ptr<ShortcutCoordinator> m_shortcuts;
    std::unique_ptr<FloatingButtonPresenter> m_floating;
    std::unique_ptr<GalleryPresenter> m_gallery;
    std::unique_ptr<TrayMenu> m_tray;
    std::unique_ptr<SettingsView> m_settingsWindow;
    std::unique_ptr<FeedbackView> m_feedbackWindow;
    // Last, so it goes first: it routes keys to everything above.
    std::unique_ptr<KeyRouter> m_keyRouter;
    // What Qt chose before any appearance was applied: "system" without a desktop preference.
    QPalette m_defaultPalette;
    // What waits for the first frame; none once it is painted.
    std::optional<QList<std::pair<QPointer<QObject>, std::function<void()>>>> m_afterFirstFrame;
};
