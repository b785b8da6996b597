#include "ui/gallery/grid/ScreenshotThumbnail.h"

#include "ui/design/SymbolIcons.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QPainter>
#include <QPainterPath>

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

void ScreenshotThumbnail::paint(QPainter &painter, const QRectF &rect, const QPalette &palette,
                                const std::optional<QImage> &image, bool fit,
                                const QIcon &placeholder, qreal cornerRadius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (cornerRadius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(rect, cornerRadius, cornerRadius);
        painter.setClipPath(clip, Qt::IntersectClip);
    }
    painter.fillRect(rect, BrimfoldDesign::primary(palette,
                                                   BrimfoldDesign::thumbnailBackgroundOpacity));
    if (image && !image->isNull()) {
        const QSizeF source = image->size();
        const QSizeF scaled = source.scaled(rect.size(), fit ? Qt::KeepAspectRatio
                                                             : Qt::KeepAspectRatioByExpanding);
        const QRectF target(rect.center().x() - scaled.width() / 2.0,
                            rect.center().y() - scaled.height() / 2.0, scaled.width(),
                            scaled.height());
        painter.setClipRect(rect, Qt::IntersectClip);
        painter.drawImage(target, *image);
    } else {
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
