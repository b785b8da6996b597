#pragma once

#include <QWidget>

class FilterTab;
class GallerySearchField;

// The row above the grid: the "Recent" and "Pinned" tabs with their counts, and the search
// field.
class GalleryFilters final : public QWidget
{
    Q_OBJECT

public:
    explicit GalleryFilters(QWidget *parent = nullptr);

    FilterTab *recentTab() const { return m_recent; }
    FilterTab *pinnedTab() const { return m_pinned; }
    GallerySearchField *searchField() const { return m_search; }

    void setCounts(int recent, int pinned);
    void setPinnedOnly(bool pinnedOnly);

signals:
    // A tab was pressed: false for Recent, true for Pinned.
    void pinnedOnlyRequested(bool pinnedOnly);

private:
    FilterTab *m_recent;
    FilterTab *m_pinned;
    GallerySearchField *m_search;
};
