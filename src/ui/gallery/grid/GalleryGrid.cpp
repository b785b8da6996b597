#include "ui/gallery/grid/GalleryGrid.h"

#include "library/LibraryModel.h"
#include "platform/Accessibility.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/grid/GalleryGridAccessible.h"
#include "ui/gallery/grid/GalleryItemModel.h"
#include "ui/gallery/grid/ScreenshotTileDelegate.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QVariantAnimation>

#include <algorithm>

GalleryGrid::GalleryGrid(LibraryModel &model, ThumbnailCache &thumbnails, GalleryActions &actions,
                         QWidget *parent)
    : QListView(parent)
    , m_model(model)
    , m_thumbnails(thumbnails)
    , m_actions(actions)
    , m_items(new GalleryItemModel(model, this))
    , m_delegate(new ScreenshotTileDelegate(thumbnails, this))
    , m_hoverAnimation(new QVariantAnimation(this))
    , m_scrollAnimation(new QVariantAnimation(this))
{
    // Before anything below announces a change and so fixes this grid's accessible interface.
    GalleryGridAccessible::install();
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionRectVisible(false);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDragEnabled(true);
    setDefaultDropAction(Qt::CopyAction);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The grid scrolls by wheel and keys; indicators would break the glass.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Screenshots"));

    setModel(m_items);
    setItemDelegate(m_delegate);
    m_delegate->setShowsSnippets(!m_model.query().isEmpty());

    connect(m_delegate, &ScreenshotTileDelegate::repaintNeeded, this,
            [this](const QModelIndex &index) { update(index); });
    connect(&m_model, &LibraryModel::selectedIDChanged, this,
            &GalleryGrid::syncSelectionFromModel);
    connect(m_items, &QAbstractItemModel::modelReset, this, [this] {
        m_hovered = QPersistentModelIndex();
        m_delegate->setHover({}, 0);
        syncSelectionFromModel();
    });
    connect(&m_model, &LibraryModel::queryChanged, this, [this] {
        const bool shows = !m_model.query().isEmpty();
        if (shows != m_delegate->showsSnippets()) {
            m_delegate->setShowsSnippets(shows);
            updateGridSize();
        }
    });
    // A selection made by assistive technology goes to the model like a click.
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (m_syncing || !current.isValid())
                    return;
                if (const std::optional<Screenshot> item = m_items->itemAt(current.row()))
                    m_model.select(*item);
            });

    m_hoverAnimation->setStartValue(0.0);
    m_hoverAnimation->setEndValue(1.0);
    m_hoverAnimation->setDuration(BrimfoldDesign::hoverDurationMs);
    m_hoverAnimation->setEasingCurve(BrimfoldDesign::hoverCurve());
    connect(m_hoverAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_delegate->setHover(m_hovered, v.toReal());
        if (m_hovered.isValid())
            update(m_hovered);
    });

    m_scrollAnimation->setDuration(BrimfoldDesign::hoverDurationMs);
    m_scrollAnimation->setEasingCurve(BrimfoldDesign::hoverCurve());
    connect(m_scrollAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { verticalScrollBar()->setValue(value.toInt()); });

    updateGridSize();
    syncSelectionFromModel();
}

GalleryGrid::~GalleryGrid() = default;

void GalleryGrid::setAccessibility(const Accessibility *accessibility)
{
    m_accessibility = accessibility;
}

int GalleryGrid::rowOf(const QString &id) const
{
    return m_items->rowOf(id);
}

bool GalleryGrid::selectRow(int row)
{
    const std::optional<Screenshot> item = m_items->itemAt(row);
    if (!item)
        return false;
    m_model.select(*item);
    return true;
}

std::optional<Screenshot> GalleryGrid::itemAt(const QPoint &viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? m_items->itemAt(index.row()) : std::nullopt;
}

void GalleryGrid::updateGridSize()
{
    // Three equal columns across the width, 12 apart; each grid cell carries half the gap on
    // either side of its tile, so the outer margins are the side margin less that half.
    const int half = columnSpacing / 2;
    setViewportMargins(sideMargin - half, topMargin, sideMargin - half, 0);
    const int available = std::max(columnCount, viewport()->width());
    // WORKAROUND(qt): icon mode wraps a cell that ends exactly on the right edge, so the
    // three cells keep one pixel to spare.
    const int cell = std::max(10 + columnSpacing, (available - 1) / columnCount);
    m_delegate->setTileWidth(cell - columnSpacing);
    setGridSize(QSize(cell, m_delegate->tileHeight() + rowSpacing));
    doItemsLayout();
}

void GalleryGrid::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    updateGridSize();
}

void GalleryGrid::syncSelectionFromModel()
{
    const std::optional<QString> id = m_model.selectedID();
    const int row = id ? m_items->rowOf(*id) : -1;
    m_syncing = true;
    if (row < 0) {
        selectionModel()->clear();
    } else {
        const QModelIndex index = m_items->index(row);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
    m_syncing = false;
    if (row < 0)
        return;

    // Smallest movement that shows the whole tile, eased unless motion is reduced.
    const QRect tile = visualRect(m_items->index(row));
    QScrollBar *bar = verticalScrollBar();
    int target = bar->value();
    if (tile.top() < 0)
        target += tile.top();
    else if (tile.bottom() > viewport()->height())
        target += std::min(tile.top(), tile.bottom() - viewport()->height() + bottomMargin);
    target = std::clamp(target, bar->minimum(), bar->maximum());
    // A new selection during a running scroll continues from where that one got to.
    m_scrollAnimation->stop();
    if (target == bar->value())
        return;
    if (m_accessibility && m_accessibility->reduceMotion()) {
        bar->setValue(target);
        return;
    }
    m_scrollAnimation->setStartValue(bar->value());
    m_scrollAnimation->setEndValue(target);
    m_scrollAnimation->start();
}

void GalleryGrid::setHoveredRow(int row)
{
    const QModelIndex index = row >= 0 ? m_items->index(row) : QModelIndex();
    if (index == m_hovered)
        return;
    const QPersistentModelIndex previous = m_hovered;
    m_hovered = index;
    m_hoverAnimation->stop();
    if (previous.isValid())
        update(previous);
    const bool animate = m_hovered.isValid()
        && !(m_accessibility && m_accessibility->reduceMotion());
    m_delegate->setHover(m_hovered, animate ? 0.0 : 1.0);
    if (animate)
        m_hoverAnimation->start();
    else if (m_hovered.isValid())
        update(m_hovered);
}

bool GalleryGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::HoverLeave)
        setHoveredRow(-1);
    return QListView::viewportEvent(event);
}

void GalleryGrid::leaveEvent(QEvent *event)
{
    setHoveredRow(-1);
    QListView::leaveEvent(event);
}

void GalleryGrid::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    const QModelIndex index = indexAt(event->position().toPoint());
    const std::optional<Screenshot> item = index.isValid() ? m_items->itemAt(index.row())
                                                           : std::nullopt;
    m_tilePressed = event->button() == Qt::LeftButton && item.has_value();
    if (!m_tilePressed)
        return;
    // The gallery takes focus from the search field first, then the model selects; the view
    // then notes the press so that moving far enough starts its drag.
    emit itemClicked();
    m_model.select(*item);
    QListView::mousePressEvent(event);
}

QItemSelectionModel::SelectionFlags GalleryGrid::selectionCommand(const QModelIndex &index,
                                                                  const QEvent *) const
{
    return index.isValid() ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate;
}

void GalleryGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::NoButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        setHoveredRow(index.isValid() ? index.row() : -1);
    } else if (!m_tilePressed) {
        return;
    }
    QListView::mouseMoveEvent(event);
}

void GalleryGrid::mouseReleaseEvent(QMouseEvent *event)
{
    m_tilePressed = false;
    QListView::mouseReleaseEvent(event);
    event->accept();
}

void GalleryGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (const std::optional<Screenshot> item = itemAt(event->position().toPoint())) {
        m_model.select(*item);
        m_actions.trigger(GalleryAction::preview, item);
    }
    event->accept();
}

void GalleryGrid::startDrag(Qt::DropActions supportedActions)
{
    // The model builds the payload; the view adds the picture.
    const QModelIndexList indexes = selectedIndexes();
    if (indexes.isEmpty())
        return;
    QMimeData *data = m_items->mimeData(indexes);
    if (!data)
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    // The tile as it looks, scaled down, so the drop target shows what is being moved.
    const QRect rect = visualRect(indexes.first());
    if (rect.isValid()) {
        QPixmap picture = viewport()->grab(rect);
        const QPixmap small = picture.scaledToWidth(std::min(120, picture.width()),
                                                    Qt::SmoothTransformation);
        drag->setPixmap(small);
        drag->setHotSpot(QPoint(small.width() / 2, small.height() / 2));
    }
    drag->exec(supportedActions, defaultDropAction());
}

QMenu *GalleryGrid::createContextMenu(const Screenshot &item)
{
    auto *menu = new QMenu(this);
    for (const GalleryAction action : {GalleryAction::copy, GalleryAction::copyText,
                                       GalleryAction::preview, GalleryAction::pin,
                                       GalleryAction::showInFiles})
        menu->addAction(m_actions.createAction(action, item, menu));
    menu->addSeparator();
    menu->addAction(m_actions.createAction(GalleryAction::trash, item, menu));
    return menu;
}

void GalleryGrid::contextMenuEvent(QContextMenuEvent *event)
{
    const QPoint pos = event->reason() == QContextMenuEvent::Mouse
        ? event->pos() // the list view receives it from its viewport, in viewport coordinates
        : visualRect(currentIndex()).center();
    const std::optional<Screenshot> item = event->reason() == QContextMenuEvent::Mouse
        ? itemAt(pos)
        : m_items->itemAt(currentIndex().row());
    if (!item)
        return;
    QMenu *menu = createContextMenu(*item);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(pos));
    event->accept();
}

void GalleryGrid::keyPressEvent(QKeyEvent *event)
{
    // The arrow keys move the library's selection, which the application's key routing does
    // for the whole gallery; here they must not scroll instead.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            event->ignore();
            return;
        default:
            break;
        }
    }
    // Page keys scroll; everything else belongs to the panel's routing.
    QAbstractScrollArea::keyPressEvent(event);
}
