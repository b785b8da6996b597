#include "ui/gallery/grid/GalleryGridAccessible.h"

#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/grid/GalleryGrid.h"
#include "ui/gallery/grid/GalleryItemModel.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// The named actions besides press, in the order the tile offers them.
constexpr GalleryAction kTileActions[] = {GalleryAction::copy, GalleryAction::copyText,
                                          GalleryAction::preview};

// One tile: a single element, its painted parts are not children.
class GalleryTileAccessible final : public QAccessibleInterface, public QAccessibleActionInterface
{
    Q_DECLARE_TR_FUNCTIONS(GalleryTileAccessible)

public:
    GalleryTileAccessible(GalleryGrid *grid, int row)
        : m_grid(grid)
        , m_row(row)
    {
    }

    GalleryGrid *grid() const { return m_grid; }
    int row() const { return m_row; }

    bool isValid() const override
    {
        return m_grid && m_row < m_grid->itemModel().rowCount();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        return m_grid ? m_grid->window()->windowHandle() : nullptr;
    }

    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_grid ? QAccessible::queryAccessibleInterface(m_grid.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        switch (t) {
        case QAccessible::Name:
            return index().data(Qt::AccessibleTextRole).toString();
        case QAccessible::Description:
            return index().data(Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect local = m_grid->visualRect(index());
        return QRect(m_grid->viewport()->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::Role role() const override { return QAccessible::Button; }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        const QModelIndex here = index();
        state.focusable = true;
        state.selectable = true;
        state.selected = here.data(GalleryItemModel::SelectedRole).toBool();
        state.focused = m_grid->hasFocus() && m_grid->currentIndex() == here;
        if (!m_grid->isVisible())
            state.invisible = true;
        else if (!m_grid->viewport()->rect().intersects(m_grid->visualRect(here)))
            state.offscreen = true;
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    // The names are the action set's labels, as the bar shows them; being texts of this
    // program they are already in the user's language.
    QStringList actionNames() const override
    {
        if (!isValid())
            return {};
        QStringList names{pressAction()};
        for (const GalleryAction action : kTileActions)
            names.append(m_grid->actions().label(action));
        return names;
    }

    QString localizedActionName(const QString &name) const override
    {
        return tileAction(name) ? name : QAccessibleActionInterface::localizedActionName(name);
    }

    QString localizedActionDescription(const QString &name) const override
    {
        if (name == pressAction())
            return tr("Selects the screenshot");
        if (const std::optional<GalleryAction> action = tileAction(name)) {
            switch (*action) {
            case GalleryAction::copy: return tr("Copies the image");
            case GalleryAction::copyText: return tr("Copies the recognised text");
            case GalleryAction::preview: return tr("Opens the preview");
            default: break;
            }
        }
        return QAccessibleActionInterface::localizedActionDescription(name);
    }

    void doAction(const QString &name) override
    {
        if (!isValid())
            return;
        if (name == pressAction())
            m_grid->selectRow(m_row);
        else if (const std::optional<GalleryAction> action = tileAction(name))
            m_grid->actions().trigger(*action, m_grid->itemModel().itemAt(m_row));
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QModelIndex index() const { return m_grid->itemModel().index(m_row); }

    std::optional<GalleryAction> tileAction(const QString &name) const
    {
        if (!m_grid)
            return std::nullopt;
        for (const GalleryAction action : kTileActions) {
            if (m_grid->actions().label(action) == name)
                return action;
        }
        return std::nullopt;
    }

    QPointer<GalleryGrid> m_grid;
    int m_row;
};

} // namespace

GalleryGridAccessible::GalleryGridAccessible(GalleryGrid *grid)
    : QAccessibleWidget(grid, QAccessible::List)
{
    const GalleryItemModel *items = &grid->itemModel();
    const auto drop = [this] { dropTiles(); };
    QObject::connect(items, &QAbstractItemModel::modelAboutToBeReset, &m_connections, drop);
    QObject::connect(items, &QAbstractItemModel::modelReset, &m_connections, drop);
    QObject::connect(items, &QAbstractItemModel::layoutChanged, &m_connections, drop);
    QObject::connect(items, &QAbstractItemModel::rowsInserted, &m_connections, drop);
    QObject::connect(items, &QAbstractItemModel::rowsRemoved, &m_connections, drop);
    QObject::connect(items, &QAbstractItemModel::rowsMoved, &m_connections, drop);
    QObject::connect(items, &QAbstractItemModel::dataChanged, &m_connections,
                     [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                         tilesChanged(from.row(), to.row(), roles);
                     });
}

GalleryGridAccessible::~GalleryGridAccessible()
{
    dropTiles();
}

void GalleryGridAccessible::install()
{
    // Registered once per process: Qt keeps the factory list for the application's lifetime.
    static const bool installed = [] {
        QAccessible::installFactory(&GalleryGridAccessible::create);
        return true;
    }();
    Q_UNUSED(installed);
}

QAccessibleInterface *GalleryGridAccessible::create(const QString &className, QObject *object)
{
    if (className != QLatin1String(GalleryGrid::staticMetaObject.className()))
        return nullptr;
    auto *grid = qobject_cast<GalleryGrid *>(object);
    return grid ? new GalleryGridAccessible(grid) : nullptr;
}

GalleryGrid *GalleryGridAccessible::grid() const
{
    return static_cast<GalleryGrid *>(widget());
}

void GalleryGridAccessible::dropTiles()
{
    const QHash<int, QAccessible::Id> tiles = std::exchange(m_tiles, {});
    for (const QAccessible::Id id : tiles)
        QAccessible::deleteAccessibleInterface(id);
}

int GalleryGridAccessible::childCount() const
{
    return isValid() ? grid()->itemModel().rowCount() : 0;
}

QAccessibleInterface *GalleryGridAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto cached = m_tiles.constFind(index); cached != m_tiles.cend())
        return QAccessible::accessibleInterface(*cached);
    auto *tile = new GalleryTileAccessible(grid(), index);
    m_tiles.insert(index, QAccessible::registerAccessibleInterface(tile));
    return tile;
}

int GalleryGridAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *tile = dynamic_cast<const GalleryTileAccessible *>(child);
    if (!tile || tile->grid() != grid())
        return -1;
    const auto cached = m_tiles.constFind(tile->row());
    return cached != m_tiles.cend() && QAccessible::accessibleInterface(*cached) == child
        ? tile->row()
        : -1;
}

QAccessibleInterface *GalleryGridAccessible::childAt(int x, int y) const
{
    if (!isValid())
        return nullptr;
    const QWidget *viewport = grid()->viewport();
    const QPoint local = viewport->mapFromGlobal(QPoint(x, y));
    if (!viewport->rect().contains(local))
        return nullptr;
    const QModelIndex index = grid()->indexAt(local);
    return index.isValid() ? child(index.row()) : nullptr;
}

QAccessibleInterface *GalleryGridAccessible::focusChild() const
{
    if (!isValid() || !grid()->hasFocus())
        return nullptr;
    return child(grid()->currentIndex().row());
}

void GalleryGridAccessible::tilesChanged(int first, int last, const QList<int> &roles)
{
    if (!QAccessible::isActive() || !isValid())
        return;
    const bool renamed = roles.isEmpty() || roles.contains(Qt::AccessibleTextRole);
    const bool reselected = roles.isEmpty() || roles.contains(GalleryItemModel::SelectedRole);
    for (int row = std::max(0, first); row <= last && row < childCount(); ++row) {
        QAccessibleInterface *tile = child(row);
        if (renamed) {
            QAccessibleEvent event(tile, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
        }
        if (reselected) {
            QAccessible::State changed;
            changed.selected = true;
            QAccessibleStateChangeEvent event(tile, changed);
            QAccessible::updateAccessibility(&event);
        }
    }
}
