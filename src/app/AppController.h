#pragma once

#include "app/AppServices.h"
#include "app/LaunchOptions.h"
#include "platform/Displays.h"
#include "core/Screenshot.h"
#include "settings/GlobalShortcut.h"
#include "settings/Shortcut.h"

#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QRect>

#include <memory>
#include <optional>

class BrimfoldPanel;
class FloatingButton;
class FocusRequests;
class GalleryActions;
class GalleryView;
class KeyRouter;
class LibraryModel;
class Preferences;
class PreviewWindow;
class QVariantAnimation;
class ScreenshotLocation;
class SettingsStore;
class ThumbnailCache;
class UpdateService;
class SettingsView;
class FeedbackView;
class QAction;
class QMenu;
class QSystemTrayIcon;


// Creates, owns and wires everything the running program consists of: the preferences, the
// global shortcut, the library, the floating button's panel and the gallery's, the preview and
// the key routing. Main thread only.
class AppController final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(std::optional<QString> shortcutError READ shortcutError NOTIFY shortcutErrorChanged)

public:
    static constexpr int galleryWidth = 598;
    static constexpr int galleryHeight = 590;
    static constexpr int showDurationMs = 180;
    static constexpr int hideDurationMs = 120;

    AppController(SettingsStore &defaults, const ScreenshotLocation &screenshotLocation,
                  const LaunchOptions &options, AppServices services, QObject *parent = nullptr);
    ~AppController() override;

    Preferences &preferences() const { return *m_preferences; }
    // Created on first use, inside start().
    LibraryModel &model();
    const AppServices &services() const { return m_services; }
    FocusRequests &focusRequests() const { return *m_focusRequests; }

    // One-time wiring, called once after launch. What the first frame does not need (the tray,
    // the preview, update checks, the desktop's shortcut binding) follows once it is painted.
    void start();
    // Runs `work` once the first of our windows shown at start has been painted (on the next
    // turn of the event loop when none is shown), or at once after that. Dropped with `context`.
    void whenFirstPainted(QObject *context, std::function<void()> work);

    // --- the gallery ---
    void showGallery(bool fromButton);
    void hideGallery(bool restoreFocus = true);
    void toggleGallery(bool fromButton);
    // Visible and not fading out.
    bool isGalleryShown() const;
    bool isHiding() const { return m_hiding; }
    qint64 presentationRevision() const { return m_presentationRevision; }
    void showPreview(const Screenshot &item);
    bool isPreviewShown() const;
    // Closes the preview and gives the keyboard back to the gallery.
    void closePreview();
    // The settings and feedback windows, made on first use and kept afterwards.
    void showSettings();
    void showFeedback();

    // --- the global shortcut ---
    const std::optional<QString> &shortcutError() const { return m_shortcutError; }
    // Registers and stores `shortcut`; on refusal the old one stays active and stored. In a
    // Wayland session the desktop's answer comes later, and so do the store and the error.
    void setShortcut(const Shortcut &shortcut);
    // How the desktop says the shortcut is typed, while it has it bound (Wayland only).
    std::optional<QString> desktopTrigger() const;

    // --- the floating button ---
    void updateFloatingButton();
    void positionFloatingButton(bool reset);
    void finishMovingFloatingButton();
    void resetFloatingPosition() { positionFloatingButton(true); }
    // The display under the pointer, else the main display.
    std::optional<Displays::Display> activeScreen() const;

    // --- the tray ---
    // Tags of the menu entries the menu refreshes each time it opens.
    static constexpr int floatingItemTag = 10;
    static constexpr int updateItemTag = 20;
    QMenu *trayMenu() const { return m_trayMenu.get(); }
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    // Refreshes the check mark and the update entry, as each opening of the menu does.
    void menuWillOpen();
    // Flips the "Show floating button" preference.
    void toggleFloating();
    UpdateService &updater() const { return *m_updater; }

    // Light, dark, or the desktop's choice, applied to every window at once.
    void updateAppearance();
    // The computer woke up: the folder may have changed meanwhile.
    void woke();

    // The windows, once created.
    BrimfoldPanel *galleryPanel() const { return m_galleryPanel.get(); }
    BrimfoldPanel *floatingPanel() const { return m_floatingPanel.get(); }
    GalleryView *galleryView() const { return m_galleryView; }
    FloatingButton *floatingButton() const { return m_floatingButton; }
    PreviewWindow *previewWindow() const { return m_preview.get(); }
    SettingsView *settingsWindow() const { return m_settingsWindow.get(); }
    FeedbackView *feedbackWindow() const { return m_feedbackWindow.get(); }

protected:
    // Sees the first frame painted.
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void shortcutErrorChanged();
    void desktopTriggerChanged();
    // The gallery finished hiding (its completion ran).
    void galleryHidden();

private:
    void hotKeyPressed();
    void handleArrival();
    void screenChanged();
    void createGalleryPanel();
    void createFloatingPanel();
    void finishHiding(qint64 revision, bool restoreFocus);
    void animateGallery(const QRect &from, const QRect &to, qreal fromOpacity, qreal toOpacity,
                        int durationMs, const QEasingCurve &curve, std::function<void()> done);
    void watchActivation();
    bool isOurWindow(quint64 window) const;
    void setShortcutError(const std::optional<QString> &error);
    // The grab alone: stores `shortcut` when taken, else takes the old one back and says so.
    bool grabShortcut(const Shortcut &shortcut);
    void desktopAnswered(GlobalShortcut::DesktopAnswer answer);
    int floatingPanelSide() const;
    void createTray();
    // The rest of start(), after the first frame.
    void finishStarting();
    void firstFramePainted();
    void showWindow(QWidget &window);

    LaunchOptions m_options;
    AppServices m_services;
    // How the user's screenshot tools name files, read once at start for every scan.
    ScreenshotNamePatterns m_namePatterns;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<UpdateService> m_updater;
    std::unique_ptr<GlobalShortcut> m_shortcut;
    std::unique_ptr<ThumbnailCache> m_thumbnails;
    std::unique_ptr<FocusRequests> m_focusRequests;
    std::unique_ptr<LibraryModel> m_model;
    std::unique_ptr<GalleryActions> m_actions;
    std::unique_ptr<PreviewWindow> m_preview;
    std::unique_ptr<KeyRouter> m_keyRouter;
    std::unique_ptr<BrimfoldPanel> m_floatingPanel;
    FloatingButton *m_floatingButton = nullptr; // owned by its panel
    std::unique_ptr<BrimfoldPanel> m_galleryPanel;
    GalleryView *m_galleryView = nullptr; // owned by its panel
    std::unique_ptr<SettingsView> m_settingsWindow;
    std::unique_ptr<FeedbackView> m_feedbackWindow;
    std::unique_ptr<QMenu> m_trayMenu;
    QSystemTrayIcon *m_tray = nullptr; // child of this controller
    // What Qt chose before any appearance was applied: "system" without a desktop preference.
    QPalette m_defaultPalette;
    QPointer<QVariantAnimation> m_galleryAnimation;
    QPointer<QVariantAnimation> m_floatingAnimation;
    std::optional<QString> m_shortcutError;
    // The shortcut the desktop's portal was asked for, at start or as recorded by the user.
    struct DesktopRequest
    {
        Shortcut shortcut;
        bool recorded = false;
    };
    std::optional<DesktopRequest> m_desktopRequest;
    std::optional<quint64> m_previousWindow;
    bool m_hiding = false;
    qint64 m_presentationRevision = 0;
    // Clicks elsewhere hide the gallery only while it is shown.
    bool m_watchingActivation = false;
    bool m_started = false;
    bool m_reportedFirstShow = false;
    bool m_firstFramePainted = false;
    QList<std::pair<QPointer<QObject>, std::function<void()>>> m_afterFirstFrame;
};
