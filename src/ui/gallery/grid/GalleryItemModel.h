#pragma once

#include "core/Screenshot.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

class LibraryModel;

// The library's visible items as a list model for the gallery grid: one row per screenshot of
// the current snapshot, with the tile's state (selected, pinned, copied, snippet) as roles.
//
// A new snapshot with different items resets the rows; one with the same items (a text index
// revision, a pin that keeps the tab's list) only refreshes what changed. Selection, copy and
// pin changes touch the rows they affect and nothing else. Snippets are computed on first use
// and kept per row, so only tiles that were shown pay for them.
class GalleryItemModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        ScreenshotRole = Qt::UserRole + 1, // Screenshot
        IdRole,                            // QString
        CreatedAtRole,                     // QDateTime
        DimensionsRole,                    // QString
        SelectedRole,                      // bool
        PinnedRole,                        // bool
        CopiedRole,                        // bool
        SnippetRole,                       // QString; invalid QVariant when there is none
        SnippetMatchRole,                  // int: where the snippet's first matching word begins
    };

    // `model` must outlive this adapter.
    explicit GalleryItemModel(LibraryModel &model, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;
    // A dragged tile carries its file's URL, which other programs copy; the file stays put.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    const QList<Screenshot> &items() const { return m_items; }
    std::optional<Screenshot> itemAt(int row) const;
    // -1 when the item isn't shown.
    int rowOf(const QString &id) const { return m_rows.value(id, -1); }

    // What a screen reader says for a tile: display name, ", ", dimensions, then ", pinned"
    // when pinned, then ", matching text: " and the snippet when there is one.
    static QString accessibilityLabel(const Screenshot &item, bool pinned,
                                      const std::optional<QString> &snippet);

private:
    void snapshotChanged();
    void selectionChanged();
    void copiedChanged();
    void pinsChanged();
    void refreshSnippets();
    void emitRowChanged(int row, const QList<int> &roles);
    struct Snippet final
    {
        std::optional<QString> text;
        qsizetype match = 0;

        friend bool operator==(const Snippet &, const Snippet &) = default;
    };
    const Snippet &snippet(int row) const;

    LibraryModel &m_model;
    QList<Screenshot> m_items;
    QHash<QString, int> m_rows;
    // The values the last notifications were about, so a change touches only its rows.
    std::optional<QString> m_selectedID;
    std::optional<QString> m_copiedID;
    QSet<QString> m_pinned;
    // Per row, once asked for; cleared on reset.
    mutable QHash<int, Snippet> m_snippets;
};
