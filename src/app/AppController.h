#pragma once

#include "app/LaunchOptions.h"

#include <QObject>
#include <QWidget>

#include <memory>

class Accessibility;
class FocusRequests;
class GalleryView;
class LibraryModel;
class Preferences;
class PreviewWindow;
class ScreenshotLocation;
class SettingsStore;
class ShareServices;
class ThumbnailCache;

// Creates, owns and wires everything the running program consists of.
class AppController final : public QObject
{
    Q_OBJECT
public:
    AppController(SettingsStore &defaults, const ScreenshotLocation &screenshotLocation,
                  const LaunchOptions &options, QObject *parent = nullptr);
    ~AppController() override;

    Preferences &preferences() const { return *m_preferences; }
    // Created on first use, inside start().
    LibraryModel &model();

    // One-time wiring, called once after launch.
    void start();
    // Brings the gallery to the front; fromButton anchors it to the floating button.
    void showGallery(bool fromButton);
    void hideGallery();

    // The gallery window, once it has been shown.
    QWidget *galleryWindow() const { return m_galleryWindow.get(); }
    GalleryView *galleryView() const { return m_galleryView; }

private:
    void handleArrival();
    void createGalleryWindow();
    void installGalleryKeys();

    std::unique_ptr<Preferences> m_preferences;
    LaunchOptions m_options;
    std::unique_ptr<LibraryModel> m_model;
    std::unique_ptr<Accessibility> m_accessibility;
    std::unique_ptr<ThumbnailCache> m_thumbnails;
    std::unique_ptr<ShareServices> m_share;
    std::unique_ptr<FocusRequests> m_focusRequests;
    std::unique_ptr<QWidget> m_galleryWindow;
    GalleryView *m_galleryView = nullptr; // owned by the gallery window
    std::unique_ptr<PreviewWindow> m_preview;
    bool m_started = false;
};
