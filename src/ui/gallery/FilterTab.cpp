#include "ui/gallery/FilterTab.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/design/KeptPicture.h"
#include "ui/design/SymbolIcons.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kHeight = 30;
constexpr int kTabPadding = 12;
constexpr int kGap = 5;
constexpr int kSymbolSide = 10;
constexpr qreal kSelectedOpacity = 0.085;
constexpr qreal kHoverOpacity = 0.045;

QFont titleFont(bool selected)
{
    return BrimfoldDesign::font(12, selected ? QFont::DemiBold : QFont::Medium);
}

QFont countFont()
{
    return BrimfoldDesign::font(10, QFont::Medium);
}

} // namespace

FilterTab::FilterTab(const QString &title, const QString &symbol, QWidget *parent)
    : QAbstractButton(parent)
    , m_title(title)
{
    setCheckable(true);
    setAutoExclusive(false);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    // Hover events repaint; painting asks underMouse().
    setAttribute(Qt::WA_Hover);
    if (!symbol.isEmpty())
        m_icon = SymbolIcons::icon(symbol);
    updateAccessibleName();
}

void FilterTab::setCount(int count)
{
    if (count == m_count)
        return;
    m_count = count;
    updateAccessibleName();
    updateGeometry();
    update();
}

void FilterTab::setSelected(bool selected)
{
    if (selected == isChecked())
        return;
    setChecked(selected);
    updateGeometry();
    update();
}

void FilterTab::updateAccessibleName()
{
    setAccessibleName(QStringLiteral("%1, %2").arg(m_title).arg(m_count));
}

QSize FilterTab::sizeHint() const
{
    // Measured with the selected (wider) title so switching tabs doesn't shift the row.
    int width = QFontMetrics(titleFont(true)).horizontalAdvance(m_title) + kGap
        + QFontMetrics(countFont()).horizontalAdvance(QString::number(m_count)) + 2 * kTabPadding;
    if (!m_icon.isNull())
        width += kSymbolSide + kGap;
    return {width, kHeight};
}

void FilterTab::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool selected = isChecked();
    const QRectF bounds(rect());
    if (selected || underMouse()) {
        const QColor fill = BrimfoldDesign::primary(palette(), selected ? kSelectedOpacity : kHoverOpacity);
        KeptPicture::paint(painter, bounds, QStringLiteral("capsule:%1").arg(fill.rgba()),
                           [&](QPainter &target, const QRectF &box) {
                               QPainterPath capsule;
                               capsule.addRoundedRect(box, box.height() / 2, box.height() / 2);
                               target.fillPath(capsule, fill);
                           });
    }
    const QColor ink = selected ? BrimfoldDesign::primary(palette())
                                : BrimfoldDesign::secondary(palette());
    const QFont title = titleFont(selected);
    const QFont count = countFont();
    const QFontMetrics titleMetrics(title);
    const QFontMetrics countMetrics(count);
    const QString countText = QString::number(m_count);

    int content = titleMetrics.horizontalAdvance(m_title) + kGap
        + countMetrics.horizontalAdvance(countText);
    if (!m_icon.isNull())
        content += kSymbolSide + kGap;
    qreal x = (width() - content) / 2.0;
    const qreal midY = height() / 2.0;
    if (!m_icon.isNull()) {
        SymbolIcons::paint(painter, QRectF(x, midY - kSymbolSide / 2.0, kSymbolSide, kSymbolSide),
                           m_icon, kSymbolSide, ink);
        x += kSymbolSide + kGap;
    }
    const qreal baseline = midY + (titleMetrics.ascent() - titleMetrics.descent()) / 2.0;
    painter.setPen(ink);
    painter.setFont(title);
    painter.drawText(QPointF(x, baseline), m_title);
    x += titleMetrics.horizontalAdvance(m_title) + kGap;
    painter.setFont(count);
    QColor countInk = ink;
    countInk.setAlphaF(ink.alphaF() * 0.8f);
    painter.setPen(countInk);
    painter.drawText(QPointF(x, baseline), countText);
}
