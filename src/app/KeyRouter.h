#pragma once

#include <QObject>

class GalleryPresenter;
class LibraryModel;
class Preferences;
class QKeyEvent;
class QLineEdit;
class QWidget;

// Turns key presses in Brimfold's own windows into the gallery's actions, and Ctrl+Q and
// Ctrl+, into quitting and the settings wherever they are pressed. Installed on the
// application, so it sees a key before any widget does: the same key means the same thing
// whether the grid, a tab or a button has focus, while the search field keeps every editing
// key it owns (Ctrl+Backspace deletes a word there instead of trashing a screenshot).
class KeyRouter final : public QObject
{
    Q_OBJECT

public:
    KeyRouter(GalleryPresenter &gallery, const Preferences &preferences, LibraryModel &model,
              QObject *parent = nullptr);

signals:
    // Ctrl+, was pressed.
    void settingsRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // True when the key was handled and must go no further.
    bool routeKey(QWidget *target, QKeyEvent *event);
    // Ctrl+Q quits and Ctrl+, opens the settings, in every window of ours, as the tray menu says.
    bool routeApplicationKey(QKeyEvent *event);
    bool routeGalleryKey(QKeyEvent *event, QLineEdit *editing);
    bool routeEditingKey(QKeyEvent *event, QLineEdit *field);

    GalleryPresenter &m_gallery;
    const Preferences &m_preferences;
    LibraryModel &m_model;
};
