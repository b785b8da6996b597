#include "library/GallerySnapshot.h"

#include "core/ScreenshotTextSearch.h"

#include <algorithm>

namespace {

// Same answer as matching "name text" joined by one space: tokens never hold a space, so none
// can straddle the join. Spares copying every recognised text on every keystroke.
bool nameOrTextHoldsAllTokens(QStringView name, QStringView text, const QStringList &tokens)
{
    for (const QString &token : tokens) {
        if (!name.contains(token) && !text.contains(token))
            return false;
    }
    return true;
}

} // namespace

GallerySnapshot::GallerySnapshot(const QList<Screenshot> &items, const LibraryState &state,
                                 bool pinnedOnly, const QString &query,
                                 const QHash<QString, QString> &normalizedText)
{
    const QStringList tokens = ScreenshotTextSearch::tokens(query);
    const QSet<QString> &pins = state.pinnedPaths();
    // Ids already seen: a path listed twice is shown and counted once, which keeps the index
    // one-to-one with the items.
    QSet<QString> seen;
    seen.reserve(items.size());
    m_indices.reserve(items.size());

    for (const Screenshot &item : items) {
        // One lookup: the set grows only for an id it did not hold.
        const qsizetype before = seen.size();
        seen.insert(item.id());
        if (seen.size() == before)
            continue;
        const bool pinned = pins.contains(item.id());
        if (pinned)
            ++m_pinnedCount;
        if (pinnedOnly && !pinned)
            continue;
        if (!tokens.isEmpty()) {
            const auto text = normalizedText.constFind(item.cacheKey());
            const QStringView textView = text == normalizedText.cend() ? QStringView() : *text;
            if (!nameOrTextHoldsAllTokens(item.searchName(), textView, tokens))
                continue;
        }
        m_indices.insert(item.id(), int(m_items.size()));
        m_items.append(item);
    }
}

std::optional<Screenshot> GallerySnapshot::selected(const std::optional<QString> &id) const
{
    if (m_items.isEmpty())
        return std::nullopt;
    if (id) {
        const auto found = m_indices.constFind(*id);
        if (found != m_indices.cend())
            return m_items.at(*found);
    }
    return m_items.first();
}

std::optional<QString> GallerySnapshot::movingSelection(const std::optional<QString> &from,
                                                        int by) const
{
    if (m_items.isEmpty())
        return std::nullopt;
    const qint64 current = from ? m_indices.value(*from, 0) : 0;
    const qint64 target = std::clamp<qint64>(current + by, 0, m_items.size() - 1);
    return m_items.at(target).id();
}

bool GallerySnapshot::isConsistent() const
{
    if (m_indices.size() != m_items.size())
        return false;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        const auto found = m_indices.constFind(m_items.at(i).id());
        if (found == m_indices.cend() || *found != i)
            return false;
    }
    return true;
}
