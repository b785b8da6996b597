#pragma once

#include "library/LibraryState.h"
#include "core/Screenshot.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// What the gallery shows at one moment: the scanned items filtered by tab and query, in
// scan order, with a position index for selection and keyboard movement.
class GallerySnapshot final
{
public:
    GallerySnapshot() = default;
    // `normalizedText` maps `Screenshot::cacheKey` to the normalised recognised text.
    explicit GallerySnapshot(const QList<Screenshot> &items, const LibraryState &state = {},
                             bool pinnedOnly = false, const QString &query = {},
                             const QHash<QString, QString> &normalizedText = {});

    const QList<Screenshot> &items() const { return m_items; }
    // Pinned items among all scanned ones, including those the tab or query hide.
    int pinnedCount() const { return m_pinnedCount; }
    const QHash<QString, int> &indices() const { return m_indices; }

    bool contains(const QString &id) const { return m_indices.contains(id); }
    // The shown item with that id; else the first shown item; none when nothing is shown.
    std::optional<Screenshot> selected(const std::optional<QString> &id) const;
    // The id `by` positions away from `from` (or from the first item when `from` isn't
    // shown), clamped to the list; none when nothing is shown.
    std::optional<QString> movingSelection(const std::optional<QString> &from, int by) const;

    // `indices` has exactly one entry per item and each maps back to its item.
    bool isConsistent() const;

    friend bool operator==(const GallerySnapshot &, const GallerySnapshot &) = default;

private:
    QList<Screenshot> m_items;
    int m_pinnedCount = 0;
    QHash<QString, int> m_indices;
};
