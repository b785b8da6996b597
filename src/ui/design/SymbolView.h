#pragma once

#include <QColor>
#include <QIcon>
#include <QWidget>

#include <optional>

// One symbol drawn as a tinted mask: the secondary colour unless a colour is set. Decoration
// only; screen readers skip it, the texts beside it carry the meaning.
class SymbolView final : public QWidget
{
    Q_OBJECT

public:
    // `size`: the symbol's side; the widget's frame is at least that (see setFrameSide).
    SymbolView(const QString &symbol, int size, QWidget *parent = nullptr);

    const QString &symbol() const { return m_symbol; }
    int symbolSize() const { return m_size; }
    const std::optional<QColor> &colour() const { return m_colour; }
    const std::optional<qreal> &inkOpacity() const { return m_inkOpacity; }

    void setSymbol(const QString &symbol);
    // None: the palette's secondary colour (see setInkOpacity).
    void setColour(std::optional<QColor> colour);
    // Without a colour, the palette's primary colour at this opacity instead of the
    // secondary one; read when painting, so it follows palette changes.
    void setInkOpacity(std::optional<qreal> opacity);
    void setFrameSide(int side);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    QIcon m_icon;
    int m_size;
    int m_frame;
    std::optional<QColor> m_colour;
    std::optional<qreal> m_inkOpacity;
};
