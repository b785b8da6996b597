#pragma once

#include "library/Screenshot.h"

#include <QImage>
#include <QWidget>

class ImageServices;

// A large look at one screenshot: the image scaled to fit the screen's usable area, titled
// with the file name. Space, Escape or a click closes it.
class PreviewWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewWindow(const ImageServices &images, QWidget *parent = nullptr);

    // Shows the item, or closes the window when it is already showing that item.
    void toggle(const Screenshot &item);
    const std::optional<Screenshot> &item() const { return m_item; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    const ImageServices &m_images;
    std::optional<Screenshot> m_item;
    QImage m_image;
};
