#include "ui/design/KeptPicture.h"

#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>

#include <cmath>

void KeptPicture::paint(QPainter &painter, const QRectF &bounds, const QString &look,
                        const std::function<void(QPainter &, const QRectF &)> &draw)
{
    if (painter.worldTransform().type() > QTransform::TxTranslate || bounds.isEmpty()) {
        draw(painter, bounds);
        return;
    }
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // Drawn at the same position within its pixel as it is shown, so antialiased edges match.
    const QPointF device = painter.worldTransform().map(bounds.topLeft()) * dpr;
    const QPointF offset(device.x() - std::floor(device.x()), device.y() - std::floor(device.y()));
    const QSize pixels(int(std::ceil(bounds.width() * dpr + offset.x())),
                       int(std::ceil(bounds.height() * dpr + offset.y())));
    const QString key = QStringLiteral("brimfold-kept:%1:%2x%3:%4,%5:%6:%7")
                            .arg(look)
                            .arg(pixels.width())
                            .arg(pixels.height())
                            .arg(offset.x())
                            .arg(offset.y())
                            .arg(dpr)
                            .arg(int(painter.renderHints()));
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QPixmap(pixels);
        pixmap.fill(Qt::transparent);
        QPainter target(&pixmap);
        target.setRenderHints(painter.renderHints());
        target.translate(offset);
        target.scale(dpr, dpr);
        draw(target, QRectF(QPointF(0, 0), bounds.size()));
        target.end();
        pixmap.setDevicePixelRatio(dpr);
        QPixmapCache::insert(key, pixmap);
    }
    // A 1:1 copy: with smooth transforms on, Qt would blend it span by span again.
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawPixmap(bounds.topLeft() - offset / dpr, pixmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}
