#include "ui/gallery/grid/ScreenshotThumbnail.h"

#include "ui/design/KeptPicture.h"
#include "ui/design/SymbolIcons.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>
#include <QThread>

#include <cmath>
#include <optional>

ScreenshotThumbnail::ScreenshotThumbnail(ThumbnailCache &cache, const Screenshot &item,
                                         int pixels, bool fit, QWidget *parent)
    : QWidget(parent)
    , m_cache(&cache)
    , m_item(item)
    , m_pixels(pixels)
    , m_fit(fit)
    , m_placeholder(SymbolIcons::icon(QStringLiteral("photo")))
{
    // Decoration within whatever shows it: the tile or button carries the description.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QString ScreenshotThumbnail::identity() const
{
    return m_item.cacheKey() + QLatin1Char(':') + QString::number(m_pixels);
}

void ScreenshotThumbnail::setItem(const Screenshot &item)
{
    m_item = item;
    if (isVisible())
        restart();
}

void ScreenshotThumbnail::setPixels(int pixels)
{
    m_pixels = pixels;
    if (isVisible())
        restart();
}

void ScreenshotThumbnail::setFit(bool fit)
{
    if (fit == m_fit)
        return;
    m_fit = fit;
    update();
}

void ScreenshotThumbnail::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    update();
}

void ScreenshotThumbnail::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    restart();
}

void ScreenshotThumbnail::restart()
{
    const QString current = identity();
    if (current == m_loadedIdentity)
        return;
    m_loadedIdentity = current;
    const quint64 generation = ++m_loadGeneration;
    setImage(std::nullopt);
    if (!m_cache || m_item.cacheKey().isEmpty())
        return;
    // A cached thumbnail shows at once, without a frame of placeholder.
    if (std::optional<QImage> cached = m_cache->cachedImage(m_item, m_pixels)) {
        setImage(std::move(cached));
        return;
    }
    m_cache->image(m_item, m_pixels).then(this, [this, generation](std::optional<QImage> result) {
        // Another identity was asked for meanwhile: this result belongs to it no longer.
        if (generation != m_loadGeneration)
            return;
        if (result)
            setImage(std::move(result));
        else
            // Failures are not cached; showing the view again tries again.
            m_loadedIdentity.clear();
    });
}

void ScreenshotThumbnail::setImage(std::optional<QImage> image)
{
    if (!image && !m_image)
        return;
    m_image = std::move(image);
    update();
    Q_EMIT imageChanged();
}

namespace {

// The tinted well behind a picture or the placeholder, with later drawing clipped to it.
void paintWell(QPainter &painter, const QRectF &rect, const QColor &well, qreal cornerRadius)
{
    painter.setRenderHint(QPainter::Antialiasing);
    if (cornerRadius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(rect, cornerRadius, cornerRadius);
        painter.setClipPath(clip, Qt::IntersectClip);
    }
    painter.fillRect(rect, well);
}

// The thumbnail drawn into `rect`: the well, and the picture scaled and clipped to the rounded
// shape. Scaling and the antialiased clip are the costly part of painting a tile.
void paintPicture(QPainter &painter, const QRectF &rect, const QColor &well, const QImage &image,
                  bool fit, qreal cornerRadius)
{
    paintWell(painter, rect, well, cornerRadius);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF scaled = QSizeF(image.size()).scaled(rect.size(), fit ? Qt::KeepAspectRatio
                                                                         : Qt::KeepAspectRatioByExpanding);
    const QRectF target(rect.center().x() - scaled.width() / 2.0,
                        rect.center().y() - scaled.height() / 2.0, scaled.width(), scaled.height());
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.drawImage(target, image);
}

// The same, made once per picture, size and look and kept in the pixmap cache, so showing the
// gallery again copies pixels instead of scaling every tile anew.
std::optional<QPixmap> renderedPicture(const QRectF &rect, qreal dpr, const QColor &well,
                                       const QImage &image, bool fit, qreal cornerRadius)
{
    const QSize device(qRound(rect.width() * dpr), qRound(rect.height() * dpr));
    if (device.isEmpty())
        return std::nullopt;
    const QString key = QStringLiteral("brimfold-tile:%1:%2x%3:%4:%5:%6")
                            .arg(image.cacheKey())
                            .arg(device.width())
                            .arg(device.height())
                            .arg(well.rgba())
                            .arg(fit)
                            .arg(cornerRadius * dpr);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap(device);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        // Pre-scaled with the smooth filter: copied 1:1 afterwards.
        const QImage scaled = image.scaled(
            QSizeF(image.size()).scaled(QSizeF(device), fit ? Qt::KeepAspectRatio : Qt::KeepAspectRatioByExpanding)
                .toSize(),
            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        paintPicture(painter, QRectF(QPointF(0, 0), rect.size()), well, scaled.isNull() ? image : scaled, fit,
                     cornerRadius);
    }
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace

void ScreenshotThumbnail::paint(QPainter &painter, const QRectF &rect, const QPalette &palette,
                                const std::optional<QImage> &image, bool fit,
                                const QIcon &placeholder, qreal cornerRadius)
{
    painter.save();
    const QColor well = BrimfoldDesign::primary(palette, BrimfoldDesign::thumbnailBackgroundOpacity);
    if (image && !image->isNull()) {
        const QTransform &transform = painter.worldTransform();
        const QPointF origin = transform.map(rect.topLeft());
        // A picture copied 1:1 needs whole device pixels; anything else is drawn directly.
        const bool copyable = transform.type() <= QTransform::TxTranslate && painter.device()
            && qFuzzyCompare(origin.x(), std::round(origin.x())) && qFuzzyCompare(origin.y(), std::round(origin.y()))
            && QThread::currentThread() == QCoreApplication::instance()->thread();
        std::optional<QPixmap> rendered;
        if (copyable)
            rendered = renderedPicture(rect, painter.device()->devicePixelRatioF(), well, *image, fit, cornerRadius);
        if (rendered) {
            // A 1:1 copy (restored below): smooth transforms would make Qt blend it span by span.
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter.drawPixmap(rect.topLeft(), *rendered);
        }
        else
            paintPicture(painter, rect, well, *image, fit, cornerRadius);
    } else {
        // Every tile still waiting for its picture has the same well: its rounded clip made
        // Qt fill it span by span, so it is drawn once and copied after that.
        if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
            KeptPicture::paint(painter, rect, QStringLiteral("well:%1:%2").arg(well.rgba()).arg(cornerRadius),
                               [&](QPainter &target, const QRectF &box) { paintWell(target, box, well, cornerRadius); });
        } else {
            paintWell(painter, rect, well, cornerRadius);
        }
        SymbolIcons::paint(painter, rect, placeholder, BrimfoldDesign::placeholderSymbolSize,
                           BrimfoldDesign::tertiary(palette));
    }
    painter.restore();
}

void ScreenshotThumbnail::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QRectF(rect()), palette(), m_image, m_fit, m_placeholder, m_cornerRadius);
}
