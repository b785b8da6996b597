#pragma once

#include "core/Screenshot.h"
#include "ui/preview/PreviewHighlights.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <optional>

class BusySpinner;
class ImageServices;
class QScreen;

// A large look at one screenshot: the image fitted to the screen's usable area on a dark
// rounded backdrop, titled and captioned with the file name. It floats above the gallery
// panel and takes focus; Space, Escape or a click closes it.
//
// Opened from a search, it marks the words the search found. A picture larger than the window
// then opens at its own size, moved to the first of them; Return or Tab moves on to the next
// (with Shift, back), and the wheel moves the picture.
//
// The user switches between the fitted picture and its own size with F (or Ctrl+0, -) and
// 1 (or +), Ctrl with the wheel, or a double-click, which keeps the spot clicked under the
// pointer; a single click still closes, once no second click can follow. While the picture is
// shown larger than fitted the caption says how large ("100%"). Any picture may be zoomed so;
// its full pixels are decoded then.
//
// The image is decoded on the window's own threads at no more than the screen can show, so a
// huge file never stalls the interface: the window opens at once with a spinner and the
// picture replaces it when ready. A result for an item no longer shown is dropped, and the
// picture is let go as soon as the window hides.
class PreviewWindow final : public QWidget
{
    Q_OBJECT

public:
    enum class Content { none, loading, image, unavailable };
    enum class Zoom { fit, actualSize };

    explicit PreviewWindow(const ImageServices &images, QWidget *parent = nullptr);
    // Waits for a decode still running (one screen's worth at most).
    ~PreviewWindow() override;

    using QWidget::show;
    // Shows the item centred on the usable area of `screen` (none: the screen under the
    // pointer), replacing whatever was shown. `highlights` are the boxes of the words a search
    // found, as fractions of the picture, in reading order.
    void show(const Screenshot &item, QScreen *screen = nullptr, QList<QRectF> highlights = {});
    // Shows the item, or closes the window when it is already showing that item.
    void toggle(const Screenshot &item, QScreen *screen = nullptr, QList<QRectF> highlights = {});

    const std::optional<Screenshot> &item() const { return m_item; }
    Content content() const { return m_content; }
    // The decoded picture; null while loading, when unavailable and once hidden.
    const QImage &image() const { return m_image; }
    // True while a decode is queued or running, stale ones included.
    bool isDecoding() const { return m_decodes > 0; }
    const PreviewHighlights &highlights() const { return m_highlights; }
    // Where the picture is drawn and where its highlights are, in the window's coordinates;
    // empty unless a picture is shown.
    QRectF pictureRect() const;
    QList<QRectF> highlightRects() const;
    // The part of the window pictures are shown in.
    QRect imageRect() const;

    Zoom zoom() const { return m_zoom; }
    void setZoom(Zoom zoom) { applyZoom(zoom, std::nullopt); }
    // How large the picture is shown, as "100%" of its own pixels, while that is larger than
    // fitted; empty otherwise. The caption shows it.
    QString zoomLabel() const;

signals:
    // The window was hidden, by the user or by code; once per showing.
    void closed();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void startDecode(const QString &path, int maxPixelSize);
    void finishDecode(quint64 generation, int maxPixelSize, std::optional<QImage> image);
    // The picture's own size in pixels as shown at 1:1, bounded as decodes are.
    QSize actualPixels() const;
    // The picture's logical size at its own size; how it is drawn depends on the zoom.
    QSizeF pictureSize() const { return QSizeF(actualPixels()) / m_pixelRatio; }
    // `anchor`: a point of the window whose spot of the picture stays under it.
    void applyZoom(Zoom zoom, std::optional<QPointF> anchor);
    // Decodes the picture whole when it is shown at its own size from fewer pixels.
    void ensureResolution();
    void panBy(QPointF delta);
    // Sizes the window for a picture of `pixels` (empty: unknown) and centres it on m_area.
    void place(QSize pixels);
    // Moves to another highlighted word, and the picture with it.
    void stepHighlight(int by);
    void paintCaption(QPainter &painter) const;

    const ImageServices &m_images;
    std::optional<Screenshot> m_item;
    Content m_content = Content::none;
    QImage m_image;
    PreviewHighlights m_highlights;
    Zoom m_zoom = Zoom::fit;
    QPointF m_pan;         // the wheel's move of a zoomed picture, from its place
    bool m_imageWhole = false;  // m_image has every pixel the picture is shown with at 1:1
    int m_requestedSide = 0;    // the largest decode asked for the item shown
    QTimer m_clickClose;   // a click closes unless it turns out to be half of a double-click
    QRect m_area;          // usable area of the target screen
    qreal m_pixelRatio = 1.0;
    QPoint m_target;       // where the window belongs on that area
    bool m_placementPending = false;
    BusySpinner *m_spinner;
    // Read by decoding threads to skip a job that went stale while queued.
    std::atomic<quint64> m_generation{0};
    int m_decodes = 0;
    QThreadPool m_pool;
};
