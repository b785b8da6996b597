#pragma once

#include <QAbstractButton>
#include <QFont>
#include <QIcon>

#include <optional>

class QPainter;
class QPainterPath;

// The gallery's text buttons, drawn in the house style rather than the desktop's:
// - plain: accent-coloured text on nothing ("Reconnect", "Undo", "Retry", "Clear search");
// - soft: primary text on a faint rounded tint ("Copy text");
// - prominent: white text on the accent gradient in a rounded rectangle ("Copy");
// - capsule: the prominent look in a capsule ("Connect screenshot folder").
// Content, left to right: an optional symbol, the title, an optional hint at 55 % opacity.
class GalleryButton final : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Kind { plain, soft, prominent, capsule };

    GalleryButton(Kind kind, const QString &title, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    const QString &symbol() const { return m_symbol; }
    QString title() const { return text(); }
    const QString &hint() const { return m_hint; }

    void setSymbol(const QString &symbol);
    void setTitle(const QString &title);
    void setHint(const QString &hint);
    // Type size and weight of the title (the hint uses the same).
    void setTypeSize(qreal size, QFont::Weight weight);
    // Colour of a plain button's content (none: the accent colour).
    void setInk(std::optional<QColor> ink);
    // 0: as tall as the content needs.
    void setFixedContentHeight(int height);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // The prominent fill: the accent gradient down `shape` with a faint light rim, a shade
    // darker while pressed and lighter under the pointer. The settings window's prominent
    // buttons are filled with it too, so the two windows' main actions look alike.
    static void paintProminentFill(QPainter &painter, const QPainterPath &shape, bool down,
                                   bool hovered);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int horizontalPadding() const;
    int symbolSide() const;

    Kind m_kind;
    QString m_symbol;
    QIcon m_icon;
    QString m_hint;
    QFont m_font;
    std::optional<QColor> m_ink;
    int m_height = 0;
};
