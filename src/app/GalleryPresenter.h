#pragma once

#include "core/Screenshot.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

struct AppServices;
class BrimfoldPanel;
class FloatingButtonPresenter;
class FocusRequests;
class GalleryActions;
class GalleryView;
class LibraryModel;
class PreviewWindow;
class QEasingCurve;
class QVariantAnimation;

// The gallery panel: showing it (centred, or beside the floating button it was opened from)
// and hiding it, with their animations; the window to give the keyboard back to; hiding when
// another window takes over; the new-screenshot dot; and the preview of a screenshot. Every
// toggle of the gallery comes here. Main thread only.
class GalleryPresenter final : public QObject
{
    Q_OBJECT

public:
    static constexpr int width = 598;
    static constexpr int height = 590;

    struct Timing
    {
        int showMs = 180;
        int hideMs = 120;
        // How long keyboard focus may be away from every window of ours before the gallery
        // counts as left behind: long enough for the preview to hand focus back.
        int focusGraceMs = 200;
    };

    // `makeView` makes the gallery's content the first time it shows.
    GalleryPresenter(const AppServices &services, LibraryModel &model, const FloatingButtonPresenter &floating,
                     std::function<GalleryView *(FocusRequests &, GalleryActions &)> makeView,
                     QObject *parent = nullptr);
    ~GalleryPresenter() override;

    // Shows the gallery afresh (empty search, newest selected) and gives it the keyboard;
    // `fromButton` places it beside the floating button. Brings a hiding gallery back.
    void show(bool fromButton);
    // Hides it with its fade; `restoreFocus` gives the keyboard back to the window the user came from.
    void hide(bool restoreFocus = true);
    void toggle(bool fromButton);
    // Visible and not fading out.
    bool isShown() const;
    bool isHiding() const { return m_hiding; }

    const Timing &timing() const { return m_timing; }
    void setTiming(const Timing &timing);
    // While the hot key is held its grab has the keyboard: focus lost meanwhile is not the user
    // moving on.
    void setKeyboardHeld(bool held);

    // The preview comes once the first frame is on screen.
    void createPreview();
    void showPreview(const Screenshot &item);
    bool isPreviewShown() const;
    // Closes the preview and gives the keyboard back to the gallery.
    void closePreview();

    FocusRequests &focusRequests() const { return *m_focus; }
    GalleryActions &actions() const { return *m_actions; }
    // Made the first time the gallery shows.
    BrimfoldPanel *panel() const { return m_panel.get(); }
    GalleryView *view() const;
    PreviewWindow *preview() const { return m_preview.get(); }

signals:
    // The gallery finished hiding.
    void hidden();
    void settingsRequested();

private:
    void createPanel();
    void finishHiding(qint64 revision, bool restoreFocus);
    void animate(const QRect &from, const QRect &to, qreal fromOpacity, qreal toOpacity, int durationMs,
                 const QEasingCurve &curve, std::function<void()> done);
    // Activates the panel and puts the keyboard on the grid, while the gallery is shown.
    void takeKeyboard();
    void focusGraceEnded();
    void arrived();

    const AppServices &m_services;
    LibraryModel &m_model;
    const FloatingButtonPresenter &m_floating;
    std::function<GalleryView *(FocusRequests &, GalleryActions &)> m_makeView;
    std::unique_ptr<FocusRequests> m_focus;
    std::unique_ptr<GalleryActions> m_actions;
    std::unique_ptr<BrimfoldPanel> m_panel;
    std::unique_ptr<PreviewWindow> m_preview;
    QPointer<QVariantAnimation> m_animation;
    QTimer m_focusGrace;
    Timing m_timing;
    std::optional<quint64> m_previousWindow;
    qint64 m_revision = 0;
    bool m_hiding = false;
    bool m_rescanWhenExposed = false;
    bool m_keyboardHeld = false;
};
