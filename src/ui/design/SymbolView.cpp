#include "ui/design/SymbolView.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/design/SymbolIcons.h"

#include <QPainter>

SymbolView::SymbolView(const QString &symbol, int size, QWidget *parent)
    : QWidget(parent)
    , m_size(size)
    , m_frame(size)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(sizeHint());
    setSymbol(symbol);
}

void SymbolView::setSymbol(const QString &symbol)
{
    if (symbol == m_symbol && !m_icon.isNull())
        return;
    m_symbol = symbol;
    m_icon = SymbolIcons::icon(symbol);
    update();
}

void SymbolView::setColour(std::optional<QColor> colour)
{
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

void SymbolView::setInkOpacity(std::optional<qreal> opacity)
{
    if (opacity == m_inkOpacity)
        return;
    m_inkOpacity = opacity;
    update();
}

void SymbolView::setFrameSide(int side)
{
    m_frame = std::max(side, m_size);
    setFixedSize(sizeHint());
}

QSize SymbolView::sizeHint() const
{
    return {m_frame, m_frame};
}

void SymbolView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = m_colour.value_or(
        m_inkOpacity ? BrimfoldDesign::primary(palette(), *m_inkOpacity)
                     : BrimfoldDesign::secondary(palette()));
    SymbolIcons::paint(painter, QRectF(rect()), m_icon, m_size, colour);
}
