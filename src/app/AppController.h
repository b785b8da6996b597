#pragma once

#include "app/LaunchOptions.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

class Preferences;
class ScreenshotLocation;
class SettingsStore;

// Creates, owns and wires everything the running program consists of.
class AppController final : public QObject
{
    Q_OBJECT
public:
    AppController(SettingsStore &defaults, const ScreenshotLocation &screenshotLocation,
                  const LaunchOptions &options, QObject *parent = nullptr);
    ~AppController() override;

    Preferences &preferences() const { return *m_preferences; }

    // One-time wiring, called once after launch.
    void start();
    // Brings the gallery to the front; fromButton anchors it to the floating button.
    void showGallery(bool fromButton);

    // The gallery window, once it has been shown.
    QWidget *galleryWindow() const { return m_galleryWindow; }

private:
    std::unique_ptr<Preferences> m_preferences;
    LaunchOptions m_options;
    QPointer<QWidget> m_galleryWindow;
    std::unique_ptr<QWidget> m_ownedGalleryWindow;
    bool m_started = false;
};
