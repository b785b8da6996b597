#include "ui/gallery/grid/GalleryItemModel.h"

#include "library/LibraryModel.h"
#include "text/ScreenshotTextIndex.h"
#include "core/ScreenshotTextSearch.h"

#include <QMimeData>
#include <QUrl>

GalleryItemModel::GalleryItemModel(LibraryModel &model, QObject *parent)
    : QAbstractListModel(parent)
    , m_model(model)
{
    m_items = m_model.visibleItems();
    for (int row = 0; row < m_items.size(); ++row)
        m_rows.insert(m_items.at(row).id(), row);
    m_selectedID = m_model.selectedID();
    m_copiedID = m_model.copyActions().copiedID();
    m_pinned = m_model.state().pinnedPaths();

    connect(&m_model, &LibraryModel::snapshotChanged, this, &GalleryItemModel::snapshotChanged);
    connect(&m_model, &LibraryModel::selectedIDChanged, this,
            &GalleryItemModel::selectionChanged);
    connect(&m_model.copyActions(), &CopyActions::copiedIDChanged, this,
            &GalleryItemModel::copiedChanged);
    connect(&m_model, &LibraryModel::stateChanged, this, &GalleryItemModel::pinsChanged);
    connect(&m_model.textIndex(), &ScreenshotTextIndex::changed, this,
            &GalleryItemModel::refreshSnippets);
    connect(&m_model, &LibraryModel::queryChanged, this, &GalleryItemModel::refreshSnippets);
}

int GalleryItemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

std::optional<Screenshot> GalleryItemModel::itemAt(int row) const
{
    if (row < 0 || row >= m_items.size())
        return std::nullopt;
    return m_items.at(row);
}

QString GalleryItemModel::accessibilityLabel(const Screenshot &item, bool pinned,
                                             const std::optional<QString> &snippet)
{
    QString label = item.displayName() + QStringLiteral(", ") + item.dimensions();
    if (pinned)
        label += tr(", pinned");
    if (snippet)
        label += tr(", matching text: ") + *snippet;
    return label;
}

const GalleryItemModel::Snippet &GalleryItemModel::snippet(int row) const
{
    auto cached = m_snippets.constFind(row);
    if (cached != m_snippets.cend())
        return *cached;
    Snippet value{m_model.textSnippet(m_items.at(row))};
    if (value.text)
        value.match = ScreenshotTextSearch::firstMatchingWord(
            *value.text, ScreenshotTextSearch::tokens(m_model.query())).value_or(0);
    return *m_snippets.insert(row, std::move(value));
}

QVariant GalleryItemModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Screenshot &item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return item.displayName();
    case Qt::AccessibleTextRole:
        return accessibilityLabel(item, m_pinned.contains(item.id()), snippet(index.row()).text);
    case ScreenshotRole:
        return QVariant::fromValue(item);
    case IdRole:
        return item.id();
    case CreatedAtRole:
        return item.createdAt();
    case DimensionsRole:
        return item.dimensions();
    case SelectedRole:
        return m_selectedID == item.id();
    case PinnedRole:
        return m_pinned.contains(item.id());
    case CopiedRole:
        return m_copiedID == item.id();
    case SnippetRole: {
        const std::optional<QString> &text = snippet(index.row()).text;
        return text ? QVariant(*text) : QVariant();
    }
    case SnippetMatchRole:
        return int(snippet(index.row()).match);
    default:
        return {};
    }
}

Qt::ItemFlags GalleryItemModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled
        | Qt::ItemNeverHasChildren;
}

QHash<int, QByteArray> GalleryItemModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(ScreenshotRole, "screenshot");
    names.insert(IdRole, "id");
    names.insert(CreatedAtRole, "createdAt");
    names.insert(DimensionsRole, "dimensions");
    names.insert(SelectedRole, "selected");
    names.insert(PinnedRole, "pinned");
    names.insert(CopiedRole, "copied");
    names.insert(SnippetRole, "snippet");
    names.insert(SnippetMatchRole, "snippetMatch");
    return names;
}

QStringList GalleryItemModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData *GalleryItemModel::mimeData(const QModelIndexList &indexes) const
{
    QList<QUrl> urls;
    for (const QModelIndex &index : indexes) {
        if (const std::optional<Screenshot> item = itemAt(index.row()))
            urls.append(item->url());
    }
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

Qt::DropActions GalleryItemModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

void GalleryItemModel::emitRowChanged(int row, const QList<int> &roles)
{
    if (row < 0 || row >= m_items.size())
        return;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, roles);
}

void GalleryItemModel::snapshotChanged()
{
    const QList<Screenshot> &next = m_model.visibleItems();
    // Snapshots are rebuilt for every text revision; an unchanged list keeps the rows (and
    // with them the scroll position and hover).
    if (next == m_items) {
        refreshSnippets();
        return;
    }
    beginResetModel();
    m_items = next;
    m_rows.clear();
    m_rows.reserve(m_items.size());
    for (int row = 0; row < m_items.size(); ++row)
        m_rows.insert(m_items.at(row).id(), row);
    m_snippets.clear();
    m_selectedID = m_model.selectedID();
    m_copiedID = m_model.copyActions().copiedID();
    m_pinned = m_model.state().pinnedPaths();
    endResetModel();
}

void GalleryItemModel::selectionChanged()
{
    const std::optional<QString> previous = std::exchange(m_selectedID, m_model.selectedID());
    if (previous == m_selectedID)
        return;
    const QList<int> roles{SelectedRole};
    if (previous)
        emitRowChanged(rowOf(*previous), roles);
    if (m_selectedID)
        emitRowChanged(rowOf(*m_selectedID), roles);
}

void GalleryItemModel::copiedChanged()
{
    const std::optional<QString> previous = std::exchange(m_copiedID, m_model.copyActions().copiedID());
    if (previous == m_copiedID)
        return;
    const QList<int> roles{CopiedRole};
    if (previous)
        emitRowChanged(rowOf(*previous), roles);
    if (m_copiedID)
        emitRowChanged(rowOf(*m_copiedID), roles);
}

void GalleryItemModel::pinsChanged()
{
    const QSet<QString> previous = std::exchange(m_pinned, m_model.state().pinnedPaths());
    const QList<int> roles{PinnedRole, Qt::AccessibleTextRole};
    for (const QString &id : previous) {
        if (!m_pinned.contains(id))
            emitRowChanged(rowOf(id), roles);
    }
    for (const QString &id : std::as_const(m_pinned)) {
        if (!previous.contains(id))
            emitRowChanged(rowOf(id), roles);
    }
}

void GalleryItemModel::refreshSnippets()
{
    // Only rows that were shown hold a snippet; the others compute theirs when painted.
    const QHash<int, Snippet> cached = std::exchange(m_snippets, {});
    const QList<int> roles{SnippetRole, SnippetMatchRole, Qt::AccessibleTextRole};
    for (auto it = cached.cbegin(); it != cached.cend(); ++it) {
        if (it.key() >= m_items.size())
            continue;
        if (snippet(it.key()) != it.value())
            emitRowChanged(it.key(), roles);
    }
}
