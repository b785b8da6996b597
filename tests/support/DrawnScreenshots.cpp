#include "DrawnScreenshots.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace DrawnScreenshots {

WordPage wordPage(QSize size, const QList<WordLine> &lines, int pixelSize)
{
    WordPage page{QImage(size, QImage::Format_RGB32), {}};
    page.image.fill(QColor(250, 250, 252));
    QPainter p(&page.image);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(QColor(28, 28, 32));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    p.setFont(font);
    const QFontMetrics metrics(font);
    const int margin = pixelSize * 2;
    const int space = metrics.horizontalAdvance(QLatin1Char(' '));
    int baseline = margin + metrics.ascent();
    for (const WordLine &line : lines) {
        int x = line.rightToLeft ? size.width() - margin : margin;
        for (const QString &word : line.words) {
            const int advance = metrics.horizontalAdvance(word);
            const int left = line.rightToLeft ? x - advance : x;
            p.drawText(QPoint(left, baseline), word);
            page.words.append({word, metrics.tightBoundingRect(word).translated(left, baseline)});
            x = line.rightToLeft ? left - space : left + advance + space;
        }
        baseline += metrics.height() * 2;
    }
    return page;
}

} // namespace DrawnScreenshots
