#include "ui/PreviewWindow.h"

#include "platform/ImageServices.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

PreviewWindow::PreviewWindow(const ImageServices &images, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_images(images)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
}

void PreviewWindow::toggle(const Screenshot &item)
{
    if (isVisible() && m_item && m_item->id() == item.id()) {
        hide();
        return;
    }
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const QSize bound = area.size() * 0.9;
    // Decode only what the screen can show; a huge file costs no more than a screenful.
    const int side = std::max(bound.width(), bound.height()) * int(std::ceil(devicePixelRatioF()));
    m_image = m_images.downscaledImage(item.id(), side).value_or(QImage());
    m_item = item;
    setWindowTitle(item.url().fileName());

    QSize size = m_image.isNull() ? QSize(480, 320) : m_image.size() / devicePixelRatioF();
    size = size.scaled(bound, Qt::KeepAspectRatio).boundedTo(size.expandedTo(QSize(240, 160)));
    resize(size);
    move(area.center() - rect().center());
    show();
    raise();
    activateWindow();
}

void PreviewWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(18, 18, 20));
    if (m_image.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize fitted = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    QRect target(QPoint(), fitted);
    target.moveCenter(rect().center());
    painter.drawImage(target, m_image);
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Space) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PreviewWindow::mousePressEvent(QMouseEvent *)
{
    hide();
}
