#include "ui/gallery/GalleryView.h"

#include "library/LibraryModel.h"
#include "platform/Accessibility.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextIndex.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryActionBar.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/GalleryEmptyState.h"
#include "ui/gallery/GalleryErrorBanner.h"
#include "ui/gallery/GalleryFilters.h"
#include "ui/gallery/GalleryFooter.h"
#include "ui/gallery/grid/GalleryGrid.h"
#include "ui/gallery/GalleryHeader.h"
#include "ui/gallery/GallerySearchField.h"
#include "ui/design/GlassSurface.h"
#include "ui/controls/ShareButton.h"
#include "settings/Shortcut.h"
#include "ui/gallery/WelcomeView.h"

#include <QCursor>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPropertyAnimation>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <utility>

namespace {
constexpr int kToastFadeMs = 160;
constexpr int kWelcomeFadeMs = 180;
constexpr qreal kOutlineOpacity = 0.12;
constexpr qreal kOutlineWidth = 0.5;
} // namespace

GalleryView::GalleryView(LibraryModel &model, Preferences &preferences, bool demo,
                         const Accessibility &accessibility, ThumbnailCache &thumbnails,
                         ShareServices &share, FocusRequests &focusRequests,
                         GalleryActions &actions, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_preferences(preferences)
    , m_accessibility(accessibility)
{
    setObjectName(QStringLiteral("galleryView"));
    brimfoldGlass(this, &accessibility, BrimfoldDesign::galleryRadius, false);

    m_header = new GalleryHeader(demo, accessibility, this);
    connect(m_header, &GalleryHeader::settingsClicked, this, &GalleryView::settingsRequested);
    connect(m_header, &GalleryHeader::closeClicked, this, &GalleryView::closeRequested);
    m_banner = new GalleryErrorBanner(this);
    connect(m_banner, &GalleryErrorBanner::reconnectClicked, this,
            [this] { m_model.chooseFolder(); });

    m_body = new QStackedWidget(this);
    m_main = new QWidget(m_body);
    m_main->setObjectName(QStringLiteral("mainContent"));
    m_filters = new GalleryFilters(m_main);
    m_areaStack = new QStackedWidget(m_main);
    m_empty = new GalleryEmptyState(m_areaStack);
    m_grid = new GalleryGrid(model, thumbnails, actions, m_areaStack);
    m_grid->setObjectName(QStringLiteral("galleryGrid"));
    m_grid->setAccessibility(&accessibility);
    m_areaStack->addWidget(m_empty);
    m_areaStack->addWidget(m_grid);
    m_share = new ShareButton(share);
    m_share->setObjectName(QStringLiteral("shareButton"));
    m_actionBar = new GalleryActionBar(actions, accessibility, m_share, m_main);

    auto *mainStack = new QVBoxLayout(m_main);
    mainStack->setContentsMargins(0, 0, 0, 0);
    mainStack->setSpacing(0);
    mainStack->addWidget(m_filters);
    mainStack->addWidget(m_areaStack, 1);
    mainStack->addWidget(m_actionBar);
    m_body->addWidget(m_main);

    m_footer = new GalleryFooter(this);

    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(m_header);
    stack->addWidget(m_banner);
    stack->addWidget(m_body, 1);
    stack->addWidget(m_footer);

    // User actions: each is one call on the library, an action of the set or a callback.
    connect(m_filters, &GalleryFilters::pinnedOnlyRequested, this,
            [this](bool pinnedOnly) { m_model.setPinnedOnly(pinnedOnly); });
    connect(m_filters->searchField(), &GallerySearchField::textEdited, this,
            [this](const QString &text) { m_model.setQuery(text); });
    connect(m_empty, &GalleryEmptyState::clearSearchRequested, this,
            [this] { m_model.setQuery(QString()); });
    // A tile click takes focus from the search field, so the gallery keys act on the selection.
    connect(m_grid, &GalleryGrid::itemClicked, this, [this] { focusGallery(); });
    connect(&actions, &GalleryActions::shareRequested, this, &GalleryView::showShareMenu);
    connect(m_footer, &GalleryFooter::undoRequested, this,
            [actions = &actions] { actions->trigger(GalleryAction::undo, std::nullopt); });
    connect(m_footer, &GalleryFooter::retryRequested, this,
            [this] { m_model.textIndex().retryFailures(); });

    connect(&focusRequests, &FocusRequests::focusSearch, this, [this] { focusSearch(); });
    connect(&focusRequests, &FocusRequests::focusGallery, this, [this] { focusGallery(); });

    // Every published change renders the view again, once per event-loop turn however many
    // signals one action sends; rendering only sets what differs.
    const auto rerender = [this] { scheduleRender(); };
    for (const auto signal :
         {&LibraryModel::itemsChanged, &LibraryModel::stateChanged,
          &LibraryModel::selectedIDChanged, &LibraryModel::queryChanged,
          &LibraryModel::pinnedOnlyChanged, &LibraryModel::isScanningChanged,
          &LibraryModel::errorMessageChanged, &LibraryModel::connectedChanged,
          &LibraryModel::snapshotChanged}) {
        connect(&m_model, signal, this, rerender);
    }
    const CopyActions &copies = m_model.copyActions();
    connect(&copies, &CopyActions::isCopyingChanged, this, rerender);
    connect(&copies, &CopyActions::isCopyingTextChanged, this, rerender);
    connect(&copies, &CopyActions::copiedIDChanged, this, rerender);
    connect(&m_model.toasts(), &Toasts::messageChanged, this, rerender);
    connect(&m_model.toasts(), &Toasts::styleChanged, this, rerender);
    connect(&m_model.trashUndo(), &TrashUndo::canUndoChanged, this, rerender);
    connect(&m_model.textIndex(), &ScreenshotTextIndex::changed, this, rerender);
    connect(&m_preferences, &Preferences::hasConnectedFolderChanged, this, rerender);
    connect(&m_preferences, &Preferences::folderPathChanged, this, rerender);
    connect(&m_preferences, &Preferences::shortcutChanged, this, rerender);
    connect(&accessibility, &Accessibility::changed, this, qOverload<>(&QWidget::update));
    render();
}

GalleryView::~GalleryView() = default;

bool GalleryView::searchFocused() const
{
    return m_filters->searchField()->lineEdit()->hasFocus();
}

void GalleryView::focusSearch()
{
    if (m_body->currentWidget() == m_main)
        m_filters->searchField()->lineEdit()->setFocus(Qt::ShortcutFocusReason);
}

void GalleryView::focusGallery()
{
    // The request may come with the change that brings the grid: show it before choosing.
    renderPending();
    if (m_body->currentWidget() == m_main && m_areaStack->currentWidget() == m_grid) {
        m_grid->setFocus(Qt::OtherFocusReason);
    } else if (m_body->currentWidget() == m_main) {
        // No grid to hold focus: the view itself takes it, so the panel's keys still work and
        // the grid gets it when it shows. Also while the panel is inactive (a dialog of ours
        // in front): the panel gives focus back here, not to its first field, on activation.
        setFocusPolicy(Qt::StrongFocus);
        setFocus(Qt::OtherFocusReason);
    }
}

void GalleryView::showShareMenu(const Screenshot &item)
{
    // The menu takes the file when it is made; the button then goes back to the selection.
    const QUrl selected = m_share->url();
    m_share->setUrl(item.url());
    if (m_share->isVisible()) {
        m_share->click(); // opens under the button, as a press would
    } else {
        // No button on screen (nothing selected): the menu opens where the pointer is.
        QMenu *menu = m_share->createMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        if (menu->isEmpty())
            menu->deleteLater();
        else
            menu->popup(QCursor::pos());
    }
    m_share->setUrl(selected);
}

void GalleryView::renderPending()
{
    if (m_renderQueued)
        render();
}

void GalleryView::scheduleRender()
{
    if (std::exchange(m_renderQueued, true))
        return;
    QMetaObject::invokeMethod(this, [this] {
        if (m_renderQueued)
            render();
    }, Qt::QueuedConnection);
}

WelcomeView *GalleryView::makeWelcome()
{
    // Made the first time it shows: most starts find the folder connected and never need it.
    if (!m_welcome) {
        m_welcome = new WelcomeView(m_body);
        m_body->insertWidget(0, m_welcome);
        connect(m_welcome, &WelcomeView::connectRequested, this, [this] { m_model.chooseFolder(); });
    }
    return m_welcome;
}

void GalleryView::render()
{
    m_renderQueued = false;
    const auto &error = m_model.errorMessage();
    m_banner->setVisible(error.has_value());
    if (error)
        m_banner->setMessage(*error);

    const bool welcome = !m_preferences.hasConnectedFolder();
    m_body->setCurrentWidget(welcome ? static_cast<QWidget *>(makeWelcome()) : m_main);
    if (m_shownWelcome && *m_shownWelcome != welcome)
        fadeIn(m_body, kWelcomeFadeMs);
    m_shownWelcome = welcome;
    if (welcome) {
        m_welcome->setFolderPath(m_preferences.folderPath());
    } else {
        m_filters->setCounts(int(m_model.items().size()), m_model.pinnedCount());
        m_filters->setPinnedOnly(m_model.pinnedOnly());
        m_filters->searchField()->setText(m_model.query());
        renderArea();
        renderActionBar();
    }
    renderFooter();
}

void GalleryView::renderArea()
{
    using Content = GalleryEmptyState::Content;
    Content content;
    if (m_model.isScanning() && m_model.items().isEmpty()) {
        m_area = Area::finding;
        content.spinner = true;
        content.title = tr("Finding your screenshots…");
        content.titleSize = 15;
        content.detail = tr("They’ll appear here as your folder is indexed.");
        content.spacing = 14;
    } else if (!m_model.connected()) {
        m_area = Area::disconnected;
        content.symbol = QStringLiteral("folder.badge.questionmark");
        content.symbolSize = 34;
        content.title = tr("Let’s reconnect your folder.");
        content.titleSize = 18;
        content.detail = tr("Use Reconnect above to bring your screenshots back.");
    } else if (m_model.visibleItems().isEmpty()) {
        m_area = Area::empty;
        const bool searching = !m_model.query().isEmpty();
        content.roundedTitle = true;
        content.clearSearch = searching;
        content.symbol = m_model.pinnedOnly() ? QStringLiteral("pin")
                         : searching          ? QStringLiteral("magnifyingglass")
                                              : QStringLiteral("viewfinder");
        if (searching) {
            content.title = m_model.textIndex().isIndexing() ? tr("Searching as text is read…")
                                                             : tr("No matching screenshots.");
            content.detail = tr("Try words from the screenshot or its filename. Results appear "
                                "as text becomes available.");
        } else if (m_model.pinnedOnly()) {
            content.title = tr("Keep the good ones close.");
            content.detail = tr("Pin a screenshot to find it here.");
        } else {
            content.title = tr("Ready for your next screenshot.");
            content.detail = tr("Take a screenshot with Print Screen. It appears here once your "
                                "desktop saves it.");
        }
    } else {
        m_area = Area::grid;
    }
    if (m_area == Area::grid) {
        // The panel's focus widget, active or not.
        const bool hadFocus = m_areaStack->currentWidget() != m_grid && window()->focusWidget() == this;
        m_areaStack->setCurrentWidget(m_grid);
        if (hadFocus)
            m_grid->setFocus(Qt::OtherFocusReason);
    } else {
        m_empty->setContent(content);
        m_areaStack->setCurrentWidget(m_empty);
    }
}

void GalleryView::renderActionBar()
{
    GalleryActionBar::State state;
    state.connected = m_model.connected();
    if (state.connected)
        state.selected = m_model.selected();
    if (state.selected) {
        const QString &id = state.selected->id();
        state.pinned = m_model.state().contains(id);
        state.copied = m_model.copyActions().copiedID() == id;
        m_share->setUrl(state.selected->url());
    }
    state.isCopying = m_model.copyActions().isCopying();
    state.isCopyingText = m_model.copyActions().isCopyingText();
    m_actionBar->setState(state);
}

void GalleryView::renderFooter()
{
    GalleryFooter::State state;
    state.toast = m_model.toasts().message();
    state.toastStyle = m_model.toasts().style();
    state.canUndo = m_model.trashUndo().canUndo();
    state.connected = m_model.connected();
    state.textIndexStatus = m_model.textIndexStatus();
    state.isIndexing = m_model.textIndex().isIndexing();
    state.hasConnectedFolder = m_preferences.hasConnectedFolder();
    state.folderName = QFileInfo(m_preferences.folderURL().toLocalFile()).fileName();
    state.shortcutLabel = m_preferences.shortcut().label();
    m_footer->setState(state);
    if (state.toast != m_shownToast) {
        if (state.toast)
            fadeIn(m_footer->leftPart(), kToastFadeMs);
        m_shownToast = state.toast;
    }
}

void GalleryView::fadeIn(QWidget *widget, int durationMs)
{
    if (m_accessibility.reduceMotion() || !isVisible())
        return;
    auto *effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(0.0);
    widget->setGraphicsEffect(effect);
    auto *animation = new QPropertyAnimation(effect, "opacity", effect);
    animation->setDuration(durationMs);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    // The effect costs an offscreen pass per paint: drop it once the fade is done.
    connect(animation, &QPropertyAnimation::finished, widget,
            [widget] { widget->setGraphicsEffect(nullptr); });
    animation->start();
}

void GalleryView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const qreal inset = kOutlineWidth / 2;
    const QRectF bounds = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    GlassSurface::strokeOutline(painter, bounds, BrimfoldDesign::galleryRadius,
                                QPen(QColor::fromRgbF(1, 1, 1, kOutlineOpacity), kOutlineWidth));
}
