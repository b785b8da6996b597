#include "ui/preview/PreviewCaption.h"

#include "ui/design/BrimfoldDesign.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int kDetailSpacing = 12;   // between the caption's details
constexpr qreal kBadgePadding = 6;   // around the zoom level's text
constexpr qreal kBadgeHeight = 18;
constexpr qreal kHighlightPadding = 3;
constexpr qreal kHighlightRadius = 4;
const QColor kBadge(255, 255, 255, 34);

} // namespace

namespace PreviewCaption {

QColor white(qreal opacity)
{
    return QColor::fromRgbF(1, 1, 1, float(opacity));
}

void paint(QPainter &painter, const QRect &caption, const QString &name, const QList<Detail> &details)
{
    const QFont detailFont = BrimfoldDesign::font(11, QFont::Normal);
    const QFontMetrics detailMetrics(detailFont);
    painter.setFont(detailFont);
    qreal right = caption.right() + 1;
    for (const Detail &detail : details) {
        const qreal width = detailMetrics.horizontalAdvance(detail.text);
        const qreal pad = detail.badge ? kBadgePadding : 0;
        QRectF box(right - pad - width, caption.top(), width, caption.height());
        if (detail.badge) {
            const QRectF chip(box.left() - pad, box.center().y() - kBadgeHeight / 2,
                              width + 2 * pad, kBadgeHeight);
            painter.setPen(Qt::NoPen);
            painter.setBrush(kBadge);
            painter.drawRoundedRect(chip, kBadgeHeight / 2, kBadgeHeight / 2);
        }
        painter.setPen(detail.ink);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, detail.text);
        right = box.left() - pad - kDetailSpacing;
    }
    const QFont nameFont = BrimfoldDesign::font(12, QFont::Medium);
    const QRectF nameBox(caption.left(), caption.top(), std::max(0.0, right - caption.left()),
                         caption.height());
    painter.setFont(nameFont);
    painter.setPen(white(0.75));
    painter.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(nameFont).elidedText(name, Qt::ElideMiddle, int(nameBox.width())));
}

void paintHighlights(QPainter &painter, const QList<QRectF> &boxes, qsizetype current)
{
    const QColor accent = BrimfoldDesign::accent();
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        const bool isCurrent = i == current;
        const QRectF box = boxes.at(i).adjusted(-kHighlightPadding, -kHighlightPadding,
                                                kHighlightPadding, kHighlightPadding);
        QColor fill = accent;
        fill.setAlphaF(isCurrent ? 0.30f : 0.18f);
        QColor rim = accent;
        rim.setAlphaF(isCurrent ? 1.0f : 0.6f);
        painter.setBrush(fill);
        painter.setPen(QPen(rim, isCurrent ? 2.0 : 1.25));
        painter.drawRoundedRect(box, kHighlightRadius, kHighlightRadius);
    }
}

} // namespace PreviewCaption
