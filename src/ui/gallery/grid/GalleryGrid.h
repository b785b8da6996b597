#pragma once

#include "core/Screenshot.h"

#include <QListView>
#include <QPersistentModelIndex>
#include <QPointer>

#include <optional>

class Accessibility;
class GalleryActions;
class GalleryItemModel;
class LibraryModel;
class QMenu;
class ScreenshotTileDelegate;
class ThumbnailCache;
class QVariantAnimation;

// The gallery's grid of screenshot tiles: three flexible columns, 12 pixels apart, 16 between
// rows, over the model's visible items. Only the tiles in view are painted, so a full library
// costs what a screenful does.
//
// The grid's selection is the model's `selectedID`, both ways: a click selects through the
// model, and a selection made elsewhere (arrow keys, a new scan) is shown and scrolled into
// view. Double-click selects and previews; dragging a tile selects it and carries the file
// out; the context menu holds the tile's actions, taken from the gallery's action set.
class GalleryGrid final : public QListView
{
    Q_OBJECT

public:
    static constexpr int columnCount = 3;
    static constexpr int columnSpacing = 12;
    static constexpr int rowSpacing = 16;
    static constexpr int sideMargin = 22;
    static constexpr int topMargin = 3;
    static constexpr int bottomMargin = 18;

    // `model`, `thumbnails` and `actions` must outlive the grid.
    GalleryGrid(LibraryModel &model, ThumbnailCache &thumbnails, GalleryActions &actions,
                QWidget *parent = nullptr);
    ~GalleryGrid() override;

    GalleryItemModel &itemModel() const { return *m_items; }
    ScreenshotTileDelegate &tileDelegate() const { return *m_delegate; }
    GalleryActions &actions() const { return m_actions; }

    // Reduce motion skips the hover fade; none means animations are on.
    void setAccessibility(const Accessibility *accessibility);

    // The tile's context menu for `item`, parented to the grid (the caller deletes it).
    QMenu *createContextMenu(const Screenshot &item);

    // The model row of the item with `id`; -1 when it isn't shown.
    int rowOf(const QString &id) const;

    // Selects the tile at `row` as a click does, without taking focus (assistive technology's
    // press); false when no tile is there.
    bool selectRow(int row);

signals:
    // A tile was clicked (and selected): the gallery moves focus away from the search field.
    void itemClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // The model's drag data, with the tile's picture.
    void startDrag(Qt::DropActions supportedActions) override;
    bool viewportEvent(QEvent *event) override;
    // A press selects its tile alone, whatever modifiers are held: the model holds one
    // selection and the view mirrors it.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;

private:
    void updateGridSize();
    void syncSelectionFromModel();
    void setHoveredRow(int row);
    std::optional<Screenshot> itemAt(const QPoint &viewportPos) const;

    LibraryModel &m_model;
    ThumbnailCache &m_thumbnails;
    GalleryActions &m_actions;
    const Accessibility *m_accessibility = nullptr;
    GalleryItemModel *m_items = nullptr;
    ScreenshotTileDelegate *m_delegate = nullptr;
    QPersistentModelIndex m_hovered;
    QVariantAnimation *m_hoverAnimation = nullptr;
    QVariantAnimation *m_scrollAnimation = nullptr;
    // Only a press on a tile hands the button to the view's drag handling; one between the
    // tiles must not sweep a selection across them.
    bool m_tilePressed = false;
    bool m_syncing = false;
};
