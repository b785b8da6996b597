#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

struct AppServices;
class BrimfoldPanel;
class FloatingButton;
class LibraryModel;
class Preferences;
class QVariantAnimation;
class ThumbnailCache;

// The floating button's panel: shown or hidden as the preference says, placed from the
// remembered display and fractions (the default corner at first), settled after a drag, put
// back on request, and kept in place as displays come and go. Main thread only.
class FloatingButtonPresenter final : public QObject
{
    Q_OBJECT

public:
    FloatingButtonPresenter(const AppServices &services, Preferences &preferences, LibraryModel &model,
                            ThumbnailCache &thumbnails, QObject *parent = nullptr);
    ~FloatingButtonPresenter() override;

    // Follows the preferences and the displays from now on, and shows the button if it is on.
    void start();
    // Shows or hides the panel as the preference says.
    void update();
    // Places the panel where the preferences remember it; `reset` puts it back in the default
    // corner of the display the user works on.
    void position(bool reset);
    void resetPosition() { position(true); }

    // Made the first time the button shows.
    BrimfoldPanel *panel() const { return m_panel.get(); }
    FloatingButton *button() const { return m_button; }

signals:
    void openRequested();
    void settingsRequested();
    // The user started dragging the button.
    void moveStarted();

private:
    void createPanel();
    // Settles the dropped button against the edges and remembers where it rests.
    void finishMoving();
    int panelSide() const;

    const AppServices &m_services;
    Preferences &m_preferences;
    LibraryModel &m_model;
    ThumbnailCache &m_thumbnails;
    std::unique_ptr<BrimfoldPanel> m_panel;
    FloatingButton *m_button = nullptr; // owned by its panel
    QPointer<QVariantAnimation> m_animation;
};
