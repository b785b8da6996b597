#pragma once

#include "core/Screenshot.h"

#include <QPointer>
#include <QWidget>

class Accessibility;
class FocusRequests;
class GalleryActionBar;
class GalleryActions;
class GalleryEmptyState;
class GalleryErrorBanner;
class GalleryFilters;
class GalleryFooter;
class GalleryGrid;
class GalleryHeader;
class LibraryModel;
class Preferences;
class QStackedWidget;
class ShareButton;
class ShareServices;
class ThumbnailCache;
class WelcomeView;

// The whole content of the gallery panel, top to bottom: the header, the error banner while
// the library has a problem, then either the welcome screen (no folder connected yet) or the
// tabs with the search field, the gallery area and the action bar, and the footer; all on a
// rounded glass surface.
//
// The view owns nothing but its widgets and the search field's focus: it renders the library's
// and the preferences' published state again whenever either announces a change, and turns
// every user action into one of the gallery's actions or a signal. The panel's key routing
// handles the keyboard through the same action set, whose tooltips name those keys.
class GalleryView final : public QWidget
{
    Q_OBJECT

public:
    // Everything passed in must outlive the view. `demo`: the process runs a demonstration
    // ("--demo"), which the header marks with "PREVIEW". Previews are asked for through
    // `actions`; the view answers its share requests with the share menu.
    GalleryView(LibraryModel &model, Preferences &preferences, bool demo,
                const Accessibility &accessibility, ThumbnailCache &thumbnails,
                ShareServices &share, FocusRequests &focusRequests, GalleryActions &actions,
                QWidget *parent = nullptr);
    ~GalleryView() override;

    // True while the search field has keyboard focus.
    bool searchFocused() const;

    // The regions, for the panel's wiring and for tests.
    GalleryHeader *header() const { return m_header; }
    GalleryErrorBanner *errorBanner() const { return m_banner; }
    // Null until the welcome view first shows.
    WelcomeView *welcome() const { return m_welcome; }
    QWidget *mainContent() const { return m_main; }
    GalleryFilters *filters() const { return m_filters; }
    GalleryEmptyState *emptyState() const { return m_empty; }
    GalleryGrid *grid() const { return m_grid; }
    GalleryActionBar *actionBar() const { return m_actionBar; }
    GalleryFooter *footer() const { return m_footer; }

    // What the gallery area shows.
    enum class Area { finding, disconnected, empty, grid };
    Area area() const { return m_area; }

    // Renders now what would be rendered at the next turn of the event loop: for a window about
    // to be painted, which must show the library as it is, not as it was a moment ago.
    void renderPending();

signals:
    void closeRequested();    // hide the gallery
    void settingsRequested(); // open the settings window

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Renders at the next turn of the event loop, once however often it is asked.
    void scheduleRender();
    void render();
    WelcomeView *makeWelcome();
    void renderArea();
    void renderActionBar();
    void renderFooter();
    void focusSearch();
    void focusGallery();
    void fadeIn(QWidget *widget, int durationMs);
    void showShareMenu(const Screenshot &item);

    LibraryModel &m_model;
    Preferences &m_preferences;
    const Accessibility &m_accessibility;

    GalleryHeader *m_header;
    GalleryErrorBanner *m_banner;
    QStackedWidget *m_body;
    WelcomeView *m_welcome = nullptr;
    QWidget *m_main;
    GalleryFilters *m_filters;
    QStackedWidget *m_areaStack;
    GalleryEmptyState *m_empty;
    GalleryGrid *m_grid;
    ShareButton *m_share;
    GalleryActionBar *m_actionBar;
    GalleryFooter *m_footer;
    Area m_area = Area::finding;
    std::optional<QString> m_shownToast;
    std::optional<bool> m_shownWelcome;
    bool m_renderQueued = false;
};
