#pragma once

#include <QObject>

// The two process-local focus requests of the gallery: the panel's key routing posts them (on
// every showing, on Ctrl+F, on Esc clearing a query) and the gallery view moves keyboard focus
// accordingly. One object per process, handed to both sides by the gallery's presenter.
class FocusRequests final : public QObject
{
    Q_OBJECT

public:
    // The names the requests go by in the rest of the program.
    static constexpr const char *focusGalleryName = "BrimfoldFocusGallery";
    static constexpr const char *focusSearchName = "BrimfoldFocusSearch";

    explicit FocusRequests(QObject *parent = nullptr);

    // Focus returns to the grid, so arrow keys, Space and the other gallery keys act on the
    // selection.
    void postFocusGallery();
    // The search field takes keyboard focus.
    void postFocusSearch();

signals:
    void focusGallery();
    void focusSearch();
};
