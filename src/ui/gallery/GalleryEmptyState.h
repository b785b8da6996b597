#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

class BusySpinner;
class GalleryButton;
class QLabel;
class SymbolView;

// What the gallery area shows instead of the grid: a spinner or a symbol, a title, a detail
// line and, for a search that found nothing, a "Clear search" button; centred in the area.
class GalleryEmptyState final : public QWidget
{
    Q_OBJECT

public:
    struct Content
    {
        bool spinner = false;     // a spinner instead of the symbol
        QString symbol;
        int symbolSize = 36;
        QString title;
        qreal titleSize = 17;
        bool roundedTitle = false; // the friendlier rounded face where the system has one
        QString detail;
        int spacing = 12;
        bool clearSearch = false;

        friend bool operator==(const Content &, const Content &) = default;
    };

    explicit GalleryEmptyState(QWidget *parent = nullptr);

    const Content &content() const { return m_content; }
    void setContent(const Content &content);

    SymbolView *symbolView() const { return m_symbol; }
    QLabel *titleLabel() const { return m_title; }
    QLabel *detailLabel() const { return m_detail; }
    GalleryButton *clearButton() const { return m_clear; }

signals:
    void clearSearchRequested();

private:
    Content m_content;
    BusySpinner *m_spinner;
    SymbolView *m_symbol;
    QLabel *m_title;
    QLabel *m_detail;
    GalleryButton *m_clear;
    class QVBoxLayout *m_stack;
};
