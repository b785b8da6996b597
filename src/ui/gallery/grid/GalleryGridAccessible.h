#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QObject>

class GalleryGrid;

// What assistive technology sees of the gallery grid: a list whose children are the tiles,
// one element each (a button named like the tile, selected with the library's selection),
// with the tile's actions: press selects, "Copy", "Copy text" and "Preview" do what the
// context menu does. Qt's own item-view support shows the rows but has no room for the
// named actions, hence this interface.
//
// Tile interfaces are made on first use and kept per row; any change to the rows drops them
// all, since a row number may then name another screenshot.
class GalleryGridAccessible final : public QAccessibleWidget
{
public:
    explicit GalleryGridAccessible(GalleryGrid *grid);
    ~GalleryGridAccessible() override;

    // Makes every GalleryGrid use this interface; repeated calls do nothing.
    static void install();

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

private:
    static QAccessibleInterface *create(const QString &className, QObject *object);
    GalleryGrid *grid() const;
    void dropTiles();
    void tilesChanged(int first, int last, const QList<int> &roles);

    // Ids registered with QAccessible, which owns the interfaces; this drops them.
    mutable QHash<int, QAccessible::Id> m_tiles;
    // Context of the model connections, so they end with this interface.
    QObject m_connections;
};
