#pragma once

#include <QDateTime>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QLocale>
#include <QPersistentModelIndex>
#include <QSet>
#include <QStaticText>
#include <QStyledItemDelegate>

#include <functional>

class Screenshot;
class ThumbnailCache;

// Paints one gallery tile from the roles of GalleryItemModel: the thumbnail on its rounded
// card (faint, brighter under the pointer, accent-ringed when selected), the pin badge, a
// "Copied" mark, the capture time with its day, and the matching line of text during a search.
//
// Thumbnails come from the cache while painting; a miss asks the cache to load and the tile
// is repainted (`repaintNeeded`) once the image arrives. Every tile has the same size, which
// the grid sets from its column width.
class ScreenshotTileDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr qreal cardRadius = 13;
    static constexpr qreal imageRadius = 10;
    static constexpr int imageInset = 3;
    static constexpr int imageHeight = 107;
    static constexpr int spacing = 7;
    static constexpr int textSidePadding = 3;
    static constexpr int badgeInset = 8;
    static constexpr int badgeSymbolSize = 9;
    static constexpr int badgePadding = 6;
    static constexpr int snippetLines = 2;

    explicit ScreenshotTileDelegate(ThumbnailCache &thumbnails, QObject *parent = nullptr);

    // "Today", "Yesterday", or the abbreviated month and day ("Mar 4") in `locale`, by the
    // local calendar days of `createdAt` and `now`.
    static QString dayLabel(const QDateTime &createdAt, const QDateTime &now,
                            const QLocale &locale = QLocale());
    // The capture time in the locale's short time format.
    static QString timeLabel(const QDateTime &createdAt, const QLocale &locale = QLocale());

    // The snippet as a tile shows it, in at most snippetLines lines of `width`: the first
    // broken at a word, the last elided. When the word at `matchAt` (the first that matched)
    // would be cut off, the text starts a few words before it, after "…".
    static QStringList shownSnippet(const QString &snippet, qsizetype matchAt, const QFont &font,
                                    qreal width);

    // The tile's width (the grid's column width less the spacing).
    void setTileWidth(int width);
    int tileWidth() const { return m_tileWidth; }
    // Whether tiles reserve room for a snippet (while a search is active).
    void setShowsSnippets(bool showsSnippets);
    bool showsSnippets() const { return m_showsSnippets; }
    int tileHeight() const;

    // The tile the pointer is over and how far its hover highlight has faded in (0 to 1).
    void setHover(const QModelIndex &index, qreal progress);

    // The clock the day labels are relative to; the current time when unset.
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // True while a tile waits for its thumbnail.
    bool isWaitingFor(const QString &thumbnailKey) const { return m_waiting.contains(thumbnailKey); }

signals:
    // The thumbnail of this tile arrived: repaint it.
    void repaintNeeded(const QModelIndex &index);

private:
    void thumbnailLoaded(const QString &key);
    void paintCard(QPainter &painter, const QRectF &card, const QPalette &palette, bool selected,
                   qreal hover) const;
    void paintBadge(QPainter &painter, const QRectF &card) const;
    void paintCopied(QPainter &painter, const QRectF &card) const;
    void paintTexts(QPainter &painter, const QRectF &rect, const QPalette &palette,
                    const Screenshot &item, const QModelIndex &index) const;

    ThumbnailCache &m_thumbnails;
    QIcon m_placeholder;
    QIcon m_pin;
    QIcon m_check;
    int m_tileWidth = 160;
    bool m_showsSnippets = false;
    QPersistentModelIndex m_hovered;
    qreal m_hoverProgress = 0;
    std::function<QDateTime()> m_now;
    // The current local time, read again when a second has passed: every tile of every paint
    // asks, and the time-zone conversion showed in paint profiles.
    QDateTime now() const;
    mutable QDateTime m_localNow;
    mutable qint64 m_localNowAt = 0;
    // Each tile's day and time labels, kept while the day, the time zone's offset and the
    // locale stay what they were made for.
    struct Labels
    {
        QString day;
        QString time;
        // Fitted to a row of `fittedWidth` in these fonts, and laid out once: eliding and laying
        // out every tile's two labels at every paint showed in the grid's paint profiles.
        qreal fittedWidth = -1;
        QFont timeFont;
        QFont smallFont;
        qreal dayWidth = 0;
        QStaticText dayText;
        QStaticText timeText;
    };
    Labels &labels(const QDateTime &createdAt) const;
    mutable QHash<qint64, Labels> m_labels;
    mutable QString m_labelsContext;
    mutable qint64 m_labelsCheckedAt = -1;
    // Tiles painted without their thumbnail, by thumbnail key: repainted when it arrives.
    mutable QHash<QString, QList<QPersistentModelIndex>> m_waiting;
};
