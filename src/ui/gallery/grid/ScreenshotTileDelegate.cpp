#include "ui/gallery/grid/ScreenshotTileDelegate.h"

#include "core/Screenshot.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/KeptPicture.h"
#include "ui/gallery/grid/GalleryItemModel.h"
#include "ui/gallery/grid/ScreenshotThumbnail.h"
#include "ui/design/SymbolIcons.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPixmapCache>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QFont timeFont()
{
    return BrimfoldDesign::font(11, QFont::Medium);
}

QFont smallFont()
{
    return BrimfoldDesign::font(10);
}

QRectF cardRect(const QRect &tile)
{
    return QRectF(tile.x(), tile.y(), tile.width(),
                  ScreenshotTileDelegate::imageHeight + 2 * ScreenshotTileDelegate::imageInset);
}

struct SnippetLayout final
{
    QStringList lines;
    // How many characters of the text the lines show.
    qsizetype shown = 0;
};

SnippetLayout layOutSnippet(const QString &text, const QFont &font, qreal width)
{
    // Every line but the last wraps at a word; the last ends in an ellipsis.
    SnippetLayout result;
    QTextLayout layout(text, font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(textOption);
    layout.beginLayout();
    for (int n = 1; n < ScreenshotTileDelegate::snippetLines && result.shown < text.size(); ++n) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        result.lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
        result.shown = line.textStart() + line.textLength();
    }
    layout.endLayout();
    if (result.shown < text.size()) {
        const QString rest = text.mid(result.shown);
        const QString last = QFontMetricsF(font).elidedText(rest, Qt::ElideRight, width);
        result.lines.append(last);
        result.shown += last == rest ? rest.size() : std::max<qsizetype>(last.size() - 1, 0);
    }
    return result;
}

} // namespace

ScreenshotTileDelegate::ScreenshotTileDelegate(ThumbnailCache &thumbnails, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_thumbnails(thumbnails)
    , m_placeholder(SymbolIcons::icon(QStringLiteral("photo")))
    , m_pin(SymbolIcons::icon(QStringLiteral("pin.fill")))
    , m_check(SymbolIcons::icon(QStringLiteral("checkmark")))
{
    connect(&m_thumbnails, &ThumbnailCache::thumbnailLoaded, this,
            [this](const QString &key, const QImage &) { thumbnailLoaded(key); });
    // A failed load leaves the placeholder; the next paint of the tile asks again.
    connect(&m_thumbnails, &ThumbnailCache::thumbnailFailed, this,
            [this](const QString &key) { m_waiting.remove(key); });
}

QString ScreenshotTileDelegate::dayLabel(const QDateTime &createdAt, const QDateTime &now,
                                         const QLocale &locale)
{
    const QDate day = createdAt.toLocalTime().date();
    const QDate today = now.toLocalTime().date();
    if (day == today)
        return tr("Today");
    if (day == today.addDays(-1))
        return tr("Yesterday");
    return locale.toString(day, QStringLiteral("MMM d"));
}

QString ScreenshotTileDelegate::timeLabel(const QDateTime &createdAt, const QLocale &locale)
{
    // Hours and minutes: some locales' short format still carries seconds (":ss", ".s"). Cut by
    // hand: compiling a pattern for it cost the first paint more than all its tiles' labels.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    for (qsizetype at = 0; at + 1 < format.size();) {
        if ((format[at] == u':' || format[at] == u'.') && format[at + 1] == u's')
            format.remove(at, at + 2 < format.size() && format[at + 2] == u's' ? 3 : 2);
        else
            ++at;
    }
    return locale.toString(createdAt.toLocalTime().time(), format);
}

QDateTime ScreenshotTileDelegate::now() const
{
    if (m_now)
        return m_now();
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    if (!m_localNow.isValid() || std::abs(at - m_localNowAt) >= 1000) {
        m_localNow = QDateTime::currentDateTime();
        m_localNowAt = at;
    }
    return m_localNow;
}

ScreenshotTileDelegate::Labels &ScreenshotTileDelegate::labels(const QDateTime &createdAt) const
{
    const QDateTime today = now().toLocalTime();
    // Checked when the time was read again, not at every tile.
    if (m_now || m_labelsCheckedAt != m_localNowAt) {
        m_labelsCheckedAt = m_localNowAt;
        const QString context = QStringLiteral("%1/%2/%3")
                                    .arg(today.date().toJulianDay())
                                    .arg(today.offsetFromUtc())
                                    .arg(QLocale().name());
        if (context != m_labelsContext) {
            m_labels.clear();
            m_labelsContext = context;
        }
    }
    const qint64 key = createdAt.toMSecsSinceEpoch();
    auto found = m_labels.find(key);
    if (found == m_labels.end()) {
        Labels made;
        made.day = dayLabel(createdAt, today);
        made.time = timeLabel(createdAt);
        found = m_labels.insert(key, std::move(made));
    }
    return *found;
}

void ScreenshotTileDelegate::setTileWidth(int width)
{
    m_tileWidth = std::max(10, width);
}

void ScreenshotTileDelegate::setShowsSnippets(bool showsSnippets)
{
    m_showsSnippets = showsSnippets;
}

int ScreenshotTileDelegate::tileHeight() const
{
    const QFontMetricsF time(timeFont());
    const QFontMetricsF small(smallFont());
    qreal height = imageHeight + 2 * imageInset + spacing
        + std::max(time.height(), small.height());
    if (m_showsSnippets)
        height += spacing + snippetLines * small.lineSpacing();
    return int(std::ceil(height));
}

void ScreenshotTileDelegate::setHover(const QModelIndex &index, qreal progress)
{
    m_hovered = index;
    m_hoverProgress = std::clamp(progress, 0.0, 1.0);
}

QSize ScreenshotTileDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return {m_tileWidth, tileHeight()};
}

void ScreenshotTileDelegate::thumbnailLoaded(const QString &key)
{
    const QList<QPersistentModelIndex> tiles = m_waiting.take(key);
    for (const QPersistentModelIndex &tile : tiles) {
        if (tile.isValid())
            emit repaintNeeded(tile);
    }
}

void ScreenshotTileDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    const QVariant value = index.data(GalleryItemModel::ScreenshotRole);
    if (!value.canConvert<Screenshot>())
        return;
    const Screenshot item = value.value<Screenshot>();
    const bool selected = index.data(GalleryItemModel::SelectedRole).toBool();
    const QPalette &palette = option.palette;

    qreal hover = 0;
    if (index == m_hovered)
        hover = m_hoverProgress;
    else if (!m_hovered.isValid() && (option.state & QStyle::State_MouseOver))
        hover = 1;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);

    const QRectF card = cardRect(option.rect);
    paintCard(*painter, card, palette, selected, hover);

    const QRectF imageRect = card.adjusted(imageInset, imageInset, -imageInset, -imageInset);
    std::optional<QImage> image =
        m_thumbnails.cachedImage(item, BrimfoldDesign::thumbnailPixels);
    if (!image) {
        m_thumbnails.request(item, BrimfoldDesign::thumbnailPixels);
        QList<QPersistentModelIndex> &tiles =
            m_waiting[ThumbnailCache::key(item, BrimfoldDesign::thumbnailPixels)];
        if (!tiles.contains(QPersistentModelIndex(index)))
            tiles.append(QPersistentModelIndex(index));
    }
    ScreenshotThumbnail::paint(*painter, imageRect, palette, image, true, m_placeholder,
                               imageRadius);

    if (index.data(GalleryItemModel::PinnedRole).toBool())
        paintBadge(*painter, card);
    if (index.data(GalleryItemModel::CopiedRole).toBool())
        paintCopied(*painter, card);

    const QRectF texts(option.rect.x() + textSidePadding, card.bottom() + spacing,
                       option.rect.width() - 2 * textSidePadding,
                       option.rect.bottom() + 1 - card.bottom() - spacing);
    paintTexts(*painter, texts, palette, item, index);
    painter->restore();
}

void ScreenshotTileDelegate::paintCard(QPainter &painter, const QRectF &card,
                                       const QPalette &palette, bool selected, qreal hover) const
{
    QColor fill;
    QColor stroke;
    qreal width = 0.5;
    if (selected) {
        fill = BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.11);
        stroke = BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.9);
        width = 1.5;
    } else {
        fill = BrimfoldDesign::primary(palette, 0.025 + 0.025 * hover);
        stroke = BrimfoldDesign::primary(palette, BrimfoldDesign::hairlineOpacity);
    }
    const auto draw = [&](QPainter &target, const QRectF &rect) {
        target.setPen(Qt::NoPen);
        target.setBrush(fill);
        target.drawRoundedRect(rect, cardRadius, cardRadius);
        // An inside border: the stroke's outer edge lies on the card's edge.
        const qreal half = width / 2;
        target.setPen(QPen(stroke, width));
        target.setBrush(Qt::NoBrush);
        target.drawRoundedRect(rect.adjusted(half, half, -half, -half), cardRadius - half, cardRadius - half);
    };
    // Every tile has the same few cards, and every paint of the grid (each frame of the gallery's
    // entrance too) draws them all: their antialiased outlines were most of a paint.
    KeptPicture::paint(painter, card,
                       QStringLiteral("card:%1:%2:%3").arg(fill.rgba()).arg(stroke.rgba()).arg(width), draw);
}

void ScreenshotTileDelegate::paintBadge(QPainter &painter, const QRectF &card) const
{
    const qreal side = badgeSymbolSize + 2 * badgePadding;
    const QRectF circle(card.right() - badgeInset - side, card.top() + badgeInset, side, side);
    painter.setPen(Qt::NoPen);
    painter.setBrush(BrimfoldDesign::accent());
    painter.drawEllipse(circle);
    SymbolIcons::paint(painter, circle, m_pin, badgeSymbolSize, Qt::white);
}

void ScreenshotTileDelegate::paintCopied(QPainter &painter, const QRectF &card) const
{
    const QFont font = BrimfoldDesign::font(10, QFont::DemiBold);
    const QFontMetricsF metrics(font);
    const QString text = tr("Copied");
    const qreal symbol = 9;
    const qreal height = 20;
    const qreal width = 8 + symbol + 4 + metrics.horizontalAdvance(text) + 9;
    const QRectF capsule(card.left() + badgeInset, card.bottom() - badgeInset - height, width,
                         height);
    painter.setPen(Qt::NoPen);
    painter.setBrush(BrimfoldDesign::accent());
    painter.drawRoundedRect(capsule, height / 2, height / 2);
    SymbolIcons::paint(painter, QRectF(capsule.left() + 8, capsule.top(), symbol, height), m_check,
                       int(symbol), Qt::white);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(capsule.left() + 8 + symbol + 4, capsule.top(),
                            metrics.horizontalAdvance(text) + 1, height),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
}

void ScreenshotTileDelegate::paintTexts(QPainter &painter, const QRectF &rect,
                                        const QPalette &palette, const Screenshot &item,
                                        const QModelIndex &index) const
{
    const QFont time = timeFont();
    const QFont small = smallFont();
    const QFontMetricsF timeMetrics(time);
    const QFontMetricsF smallMetrics(small);
    const qreal rowHeight = std::max(timeMetrics.height(), smallMetrics.height());
    const QRectF row(rect.left(), rect.top(), rect.width(), rowHeight);

    Labels &shown = labels(item.createdAt());
    if (shown.fittedWidth != row.width() || shown.timeFont != time || shown.smallFont != small) {
        shown.fittedWidth = row.width();
        shown.timeFont = time;
        shown.smallFont = small;
        shown.dayWidth = std::min(smallMetrics.horizontalAdvance(shown.day) + 1, row.width() / 2);
        const qreal timeWidth = std::max(0.0, row.width() - shown.dayWidth - 6);
        const auto laidOut = [](const QString &text, const QFont &font) {
            QStaticText laid(text);
            laid.setTextFormat(Qt::PlainText);
            laid.prepare(QTransform(), font);
            return laid;
        };
        shown.dayText = laidOut(smallMetrics.elidedText(shown.day, Qt::ElideRight, shown.dayWidth), small);
        shown.timeText = laidOut(timeMetrics.elidedText(shown.time, Qt::ElideRight, timeWidth), time);
    }
    // Where drawText would put them: the day to the right, the time to the left, both centred
    // on the row.
    painter.setFont(small);
    painter.setPen(BrimfoldDesign::secondary(palette));
    painter.drawStaticText(QPointF(row.right() - shown.dayText.size().width(),
                                   row.top() + (row.height() - smallMetrics.height()) / 2),
                           shown.dayText);
    painter.setFont(time);
    painter.setPen(BrimfoldDesign::primary(palette));
    painter.drawStaticText(QPointF(row.left(), row.top() + (row.height() - timeMetrics.height()) / 2),
                           shown.timeText);

    const QVariant snippet = index.data(GalleryItemModel::SnippetRole);
    if (!snippet.isValid() || !m_showsSnippets)
        return;
    painter.setFont(small);
    painter.setPen(BrimfoldDesign::secondary(palette));
    qreal y = row.bottom() + spacing;
    const qreal line = smallMetrics.lineSpacing();
    const QStringList lines = shownSnippet(snippet.toString(),
                                           index.data(GalleryItemModel::SnippetMatchRole).toInt(),
                                           small, rect.width());
    for (const QString &text : lines) {
        painter.drawText(QRectF(rect.left(), y, rect.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                         text);
        y += line;
    }
}

QStringList ScreenshotTileDelegate::shownSnippet(const QString &snippet, qsizetype matchAt,
                                                 const QFont &font, qreal width)
{
    const QString text = snippet.simplified();
    // Where the match is once white space is collapsed: the words before it and one space.
    const QString before = snippet.left(std::max<qsizetype>(matchAt, 0)).simplified();
    const qsizetype at = before.isEmpty() ? 0 : std::min(before.size() + 1, text.size());
    qsizetype end = text.indexOf(QLatin1Char(' '), at);
    if (end < 0)
        end = text.size();

    const SnippetLayout layout = layOutSnippet(text, font, width);
    if (layout.shown >= end || at == 0)
        return layout.lines;
    // As many whole words before the match as a third of a line holds.
    const QFontMetricsF metrics(font);
    qsizetype start = at;
    while (start > 0) {
        const qsizetype previous = text.lastIndexOf(QLatin1Char(' '), start - 2) + 1;
        if (metrics.horizontalAdvance(text.mid(previous, at - previous)) > width / 3)
            break;
        start = previous;
    }
    return layOutSnippet(QStringLiteral("\u2026") + text.mid(start), font, width).lines;
}
