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

    void setSymbol(const QString &symbol);
    // None: the palette's secondary colour.
    void setColour(std::optional<QColor> colour);
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
};
