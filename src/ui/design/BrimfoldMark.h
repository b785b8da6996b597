#pragma once

#include "ui/design/BrimfoldDesign.h"

#include <QImage>
#include <QWidget>

#include <optional>

// The product mark: the application icon scaled to fit, or, without one, the glyph stroked in
// coral. It sits centred in a `size` × `size` frame and is decoration only: screen readers skip
// it, the texts beside it carry the meaning.
class BrimfoldMark final : public QWidget
{
    Q_OBJECT

public:
    explicit BrimfoldMark(int size = BrimfoldDesign::markSize, QWidget *parent = nullptr);
    // With an explicit icon (none: the coral glyph) instead of the installed one.
    BrimfoldMark(int size, std::optional<QImage> icon, QWidget *parent = nullptr);

    int markSize() const { return m_size; }
    QSize sizeHint() const override;

    // Draws the mark for `size` centred in `rect`.
    static void paint(QPainter &painter, const QRectF &rect, qreal size,
                      const std::optional<QImage> &icon);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_size;
    std::optional<QImage> m_icon;
};
