#pragma once

#include "core/Screenshot.h"
#include "ui/design/BrimfoldDesign.h"

#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <optional>

class ThumbnailCache;

// A screenshot's downscaled image, loaded off the main thread through the thumbnail cache, on
// a faint background; the "photo" symbol stands in until it arrives (or when it cannot be
// made). Loading starts when the view is shown and starts over whenever its identity (the
// file's cacheKey and the pixel size) changes; a result for an earlier identity is dropped.
class ScreenshotThumbnail final : public QWidget
{
    Q_OBJECT

public:
    // `pixels`: longest side of the decoded image. `fit`: letterbox the whole image (true) or
    // fill the view and crop (false). A default-constructed item shows the placeholder only.
    ScreenshotThumbnail(ThumbnailCache &cache, const Screenshot &item = Screenshot(),
                        int pixels = BrimfoldDesign::thumbnailPixels, bool fit = true,
                        QWidget *parent = nullptr);

    const Screenshot &item() const { return m_item; }
    int pixels() const { return m_pixels; }
    bool fit() const { return m_fit; }
    const std::optional<QImage> &image() const { return m_image; }
    // cacheKey followed by the pixel size.
    QString identity() const;

    void setItem(const Screenshot &item);
    void setPixels(int pixels);
    void setFit(bool fit);
    // Corner radius the view clips its background and image to (0: square corners).
    void setCornerRadius(qreal radius);

    // Draws what the view shows into `rect`; for paint code that cannot host a widget.
    // `placeholder` is the "photo" symbol icon (resolve it once and keep it).
    static void paint(QPainter &painter, const QRectF &rect, const QPalette &palette,
                      const std::optional<QImage> &image, bool fit, const QIcon &placeholder,
                      qreal cornerRadius = 0);

signals:
    // The image arrived or was cleared.
    void imageChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void restart();
    void setImage(std::optional<QImage> image);

    QPointer<ThumbnailCache> m_cache;
    Screenshot m_item;
    int m_pixels;
    bool m_fit;
    qreal m_cornerRadius = 0;
    QIcon m_placeholder;
    std::optional<QImage> m_image;
    QString m_loadedIdentity; // the identity the current load (or image) belongs to
    quint64 m_loadGeneration = 0;
};
