#include "ui/design/BrimfoldMark.h"

#include "ui/design/BrimfoldGlyph.h"

#include <QPainter>

BrimfoldMark::BrimfoldMark(int size, QWidget *parent)
    : BrimfoldMark(size, BrimfoldDesign::appIcon(), parent)
{
}

BrimfoldMark::BrimfoldMark(int size, std::optional<QImage> icon, QWidget *parent)
    : QWidget(parent)
    , m_size(std::max(1, size))
    , m_icon(std::move(icon))
{
    setFixedSize(m_size, m_size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    // Decoration: nothing for a screen reader to announce.
    setAccessibleName(QString());
    setAccessibleDescription(QString());
}

QSize BrimfoldMark::sizeHint() const
{
    return QSize(m_size, m_size);
}

void BrimfoldMark::paint(QPainter &painter, const QRectF &rect, qreal size,
                         const std::optional<QImage> &icon)
{
    const QRectF frame(rect.center().x() - size / 2.0, rect.center().y() - size / 2.0, size, size);
    if (icon && !icon->isNull()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QSizeF fitted = QSizeF(icon->size()).scaled(frame.size(), Qt::KeepAspectRatio);
        const QRectF target(frame.center().x() - fitted.width() / 2.0,
                            frame.center().y() - fitted.height() / 2.0, fitted.width(),
                            fitted.height());
        painter.drawImage(target, *icon);
        painter.restore();
        return;
    }
    BrimfoldGlyph::stroke(painter, frame, BrimfoldDesign::coral(),
                          size * BrimfoldDesign::markLineWidthFactor);
}

void BrimfoldMark::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QRectF(rect()), m_size, m_icon);
}
