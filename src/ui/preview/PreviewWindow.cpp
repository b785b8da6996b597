#include "ui/preview/PreviewWindow.h"

#include "core/WhenFinished.h"
#include "platform/ImageServices.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BusySpinner.h"
#include "ui/design/GlassSurface.h"
#include "ui/design/SymbolIcons.h"
#include "ui/preview/PreviewCaption.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleHints>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace {

constexpr int kMargin = 14;         // backdrop edge to picture
constexpr int kCaptionHeight = 38;  // the file name row under the picture
constexpr qreal kRadius = 16;
constexpr qreal kImageRadius = 8;
constexpr qreal kAreaShare = 0.92;  // of the usable area, so the desktop still frames it
constexpr int kSpinnerSide = 28;
constexpr int kUnavailableSymbolSide = 40;
const QSize kMinimumSize(360, 260);
const QSize kUnknownSize(640, 440);   // loading a picture whose size is not known yet
const QSize kUnavailableSize(420, 300);
// A stale decode may still be running while the next one starts.
constexpr int kDecodingThreads = 2;
// A zoomed picture is decoded whole up to this side (about 100 MB at 6K by 4K), not beyond.
constexpr int kZoomPixelLimit = 6144;

// The backdrop is dark in light and dark appearances alike, as photo viewers are: the
// picture's own colours read truest on it. So its inks are fixed, not taken from the palette.
const QColor kBackdrop(24, 24, 27, 250);
const QColor kRim(255, 255, 255, 26);
const QColor kPictureWell(255, 255, 255, 10);

QPainterPath rounded(const QRectF &box, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(box, radius, radius);
    return path;
}

using PreviewCaption::white;

} // namespace

PreviewWindow::PreviewWindow(const ImageServices &images, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint)
    , m_images(images)
    , m_spinner(new BusySpinner(kSpinnerSide, 1.0, this))
{
    setObjectName(QStringLiteral("previewWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The corners outside the rounded backdrop stay clear (and are masked off, for desktops
    // without a compositor).
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleDescription(tr("F fits the picture, 1 shows it at its own size; a double-click "
                                "switches between them"));
    m_clickClose.setSingleShot(true);
    connect(&m_clickClose, &QTimer::timeout, this, [this] { hide(); });
    QPalette spinnerInk = m_spinner->palette();
    spinnerInk.setColor(QPalette::WindowText, white(0.85));
    m_spinner->setPalette(spinnerInk);
    m_spinner->hide();
    m_pool.setMaxThreadCount(kDecodingThreads);
}

PreviewWindow::~PreviewWindow()
{
    // Queued jobs see the new generation and return at once.
    ++m_generation;
    m_pool.waitForDone();
}

void PreviewWindow::toggle(const Screenshot &item, QScreen *screen, QList<QRectF> highlights)
{
    if (isVisible() && m_item && m_item->id() == item.id()) {
        hide();
        return;
    }
    show(item, screen, std::move(highlights));
}

void PreviewWindow::show(const Screenshot &item, QScreen *screen, QList<QRectF> highlights)
{
    if (!screen)
        screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    m_area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    m_pixelRatio = screen ? screen->devicePixelRatio() : 1.0;

    ++m_generation;
    m_item = item;
    m_image = QImage();
    m_content = Content::loading;
    m_highlights = PreviewHighlights(std::move(highlights));
    // Opened from a search, a large picture shows the words found at its own size.
    m_zoom = m_highlights.isEmpty() ? Zoom::fit : Zoom::actualSize;
    m_pan = QPointF();
    m_imageWhole = false;
    m_clickClose.stop();
    const QString name = item.url().fileName();
    setWindowTitle(name);
    setAccessibleName(tr("Preview of %1").arg(name));

    const QSize known(item.width(), item.height());
    place(known.isEmpty() ? QSize() : known);
    // Decode only what the picture area can show: a 5K file costs no more than a screenful.
    const QSize room = imageRect().size();
    const QSize fitted = known.isEmpty() ? room : known.scaled(room, Qt::KeepAspectRatio);
    int side = int(std::ceil(std::max(fitted.width(), fitted.height()) * m_pixelRatio));
    // Shown at its own size, all of its pixels are needed.
    if (m_zoom == Zoom::actualSize && !known.isEmpty())
        side = std::max(side, std::min(std::max(known.width(), known.height()), kZoomPixelLimit));
    m_requestedSide = side;
    startDecode(item.id(), side);

    m_spinner->setVisible(true);
    if (!isVisible()) {
        QWidget::show();
        m_placementPending = true;
    }
    raise();
    activateWindow();
    update();
}

void PreviewWindow::startDecode(const QString &path, int maxPixelSize)
{
    ++m_decodes;
    const quint64 generation = m_generation;
    const ImageServices *images = &m_images;
    const std::atomic<quint64> *latest = &m_generation;
    const auto decoding = QtConcurrent::run(&m_pool, [images, latest, generation, path, maxPixelSize] {
        // Another item was asked for (or the window closed) while this job waited.
        if (latest->load() != generation)
            return std::optional<QImage>();
        const std::optional<QImage> decoded = images->downscaledImage(path, maxPixelSize);
        if (!decoded || decoded->isNull())
            return std::optional<QImage>();
        return std::optional<QImage>(decoded->convertToFormat(
            decoded->hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                       : QImage::Format_RGB32));
    });
    whenFinished(decoding, this, [this, generation, maxPixelSize](std::optional<QImage> image) {
        finishDecode(generation, maxPixelSize, std::move(image));
    });
}

void PreviewWindow::finishDecode(quint64 generation, int maxPixelSize, std::optional<QImage> image)
{
    --m_decodes;
    if (generation != m_generation)
        return;
    m_spinner->hide();
    if (image) {
        const bool first = m_content != Content::image;
        m_image = std::move(*image);
        m_content = Content::image;
        const int longest = std::max(m_image.width(), m_image.height());
        const int known = std::max(m_item->width(), m_item->height());
        m_imageWhole = longest < maxPixelSize || (known > 0 && longest >= known);
        // The decoded picture is upright; the recorded size may not be (or may be unknown).
        // A sharper decode for the zoom replaces the picture where it is.
        if (first)
            place(m_image.size());
        ensureResolution();
    } else if (m_content != Content::image) { // a failed sharper decode keeps the picture shown
        m_content = Content::unavailable;
        resize(kUnavailableSize.boundedTo(m_area.size()));
        m_target = m_area.center() - rect().center();
        move(m_target);
    }
    update();
}

void PreviewWindow::place(QSize pixels)
{
    const QSize bound = (QSizeF(m_area.size()) * kAreaShare).toSize();
    QSize size = kUnknownSize;
    if (!pixels.isEmpty()) {
        const QSize frame(2 * kMargin, kMargin + kCaptionHeight);
        QSize logical = (QSizeF(pixels) / m_pixelRatio).toSize().expandedTo(QSize(1, 1));
        if (logical.width() > bound.width() - frame.width()
            || logical.height() > bound.height() - frame.height())
            logical = logical.scaled(bound - frame, Qt::KeepAspectRatio);
        size = (logical + frame).expandedTo(kMinimumSize);
    }
    resize(size.boundedTo(bound));
    m_target = m_area.center() - rect().center();
    move(m_target);
}

QRect PreviewWindow::imageRect() const
{
    return QRect(kMargin, kMargin, width() - 2 * kMargin, height() - kMargin - kCaptionHeight);
}

QSize PreviewWindow::actualPixels() const
{
    if (m_image.isNull() || m_imageWhole || !m_item)
        return m_image.size();
    QSize known(m_item->width(), m_item->height());
    if (known.isEmpty())
        return m_image.size();
    // The recorded size may be the stored picture's, turned from the upright one.
    if ((known.width() > known.height()) != (m_image.width() > m_image.height()))
        known.transpose();
    if (std::max(known.width(), known.height()) > kZoomPixelLimit)
        known.scale(kZoomPixelLimit, kZoomPixelLimit, Qt::KeepAspectRatio);
    return known;
}

QRectF PreviewWindow::pictureRect() const
{
    if (m_content != Content::image)
        return {};
    return m_highlights.pictureRect(pictureSize(), QRectF(imageRect()), m_zoom == Zoom::actualSize,
                                    m_pan);
}

QString PreviewWindow::zoomLabel() const
{
    if (m_content != Content::image || m_zoom != Zoom::actualSize)
        return {};
    const QSizeF picture = pictureSize();
    const QSizeF room = imageRect().size();
    if (picture.width() <= room.width() && picture.height() <= room.height())
        return {};
    // Of the file's own pixels, which a picture beyond the decoding limit does not reach.
    int own = std::max(m_item->width(), m_item->height());
    if (own <= 0)
        own = std::max(m_image.width(), m_image.height());
    const qreal shown = std::max(picture.width(), picture.height()) * m_pixelRatio;
    return tr("%1%").arg(qRound(100 * shown / own));
}

void PreviewWindow::applyZoom(Zoom zoom, std::optional<QPointF> anchor)
{
    if (zoom == m_zoom)
        return;
    const QRectF before = pictureRect();
    m_zoom = zoom;
    m_pan = QPointF();
    if (anchor && before.contains(*anchor)) {
        const QPointF share((anchor->x() - before.left()) / before.width(),
                            (anchor->y() - before.top()) / before.height());
        const QRectF after = pictureRect();
        panBy(*anchor - QPointF(share.x() * after.width(), share.y() * after.height())
              - after.topLeft());
    }
    ensureResolution();
    update();
}

void PreviewWindow::ensureResolution()
{
    if (m_content != Content::image || m_zoom != Zoom::actualSize || m_imageWhole)
        return;
    const int known = std::max(m_item->width(), m_item->height());
    const int needed = known > 0 ? std::min(known, kZoomPixelLimit) : kZoomPixelLimit;
    if (needed <= m_requestedSide || std::max(m_image.width(), m_image.height()) >= needed)
        return;
    m_requestedSide = needed;
    startDecode(m_item->id(), needed);
}

void PreviewWindow::panBy(QPointF delta)
{
    if (m_content != Content::image)
        return;
    const QSizeF picture = pictureSize();
    const QRectF room(imageRect());
    const bool actual = m_zoom == Zoom::actualSize;
    const QRectF resting = m_highlights.pictureRect(picture, room, actual);
    // Only what the picture's edges allow counts, so turning back moves it at once.
    const QPointF pan = m_highlights.pictureRect(picture, room, actual, m_pan + delta).topLeft()
        - resting.topLeft();
    if (pan != m_pan) {
        m_pan = pan;
        update();
    }
}

QList<QRectF> PreviewWindow::highlightRects() const
{
    return m_content == Content::image ? m_highlights.placed(pictureRect()) : QList<QRectF>();
}

void PreviewWindow::stepHighlight(int by)
{
    if (m_highlights.isEmpty())
        return;
    m_highlights.step(by);
    m_pan = QPointF();
    update();
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    setMask(GlassSurface::windowShape(rounded(QRectF(rect()), kRadius)));
    QRect spinner(QPoint(), m_spinner->size());
    spinner.moveCenter(imageRect().center());
    m_spinner->move(spinner.topLeft());
}

void PreviewWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    // WORKAROUND(qt): under a window manager Qt 6.4 may report a tool window at (0,0) right
    // after its first show; put it back where it belongs, once per showing.
    if (m_placementPending && pos() != m_target) {
        m_placementPending = false;
        move(m_target);
    }
}

void PreviewWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    // Whole pixels of the window's shape: without a compositor a partly covered edge pixel
    // would show darkened rather than blended with the desktop.
    for (const QRect &pixels : GlassSurface::windowShape(rounded(bounds, kRadius)))
        painter.fillRect(pixels, kBackdrop);
    painter.setPen(QPen(kRim, 1.0));
    painter.drawPath(rounded(bounds.adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5));

    const QRect well = imageRect();
    switch (m_content) {
    case Content::image: {
        // Never enlarged: a small screenshot shows at its own size in the middle.
        const QRectF target = pictureRect();
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setClipPath(rounded(target & QRectF(well), kImageRadius));
        painter.drawImage(target, m_image);
        PreviewCaption::paintHighlights(painter, m_highlights.placed(target), m_highlights.current());
        painter.restore();
        break;
    }
    case Content::unavailable: {
        painter.fillPath(rounded(QRectF(well), kImageRadius), kPictureWell);
        const QPointF centre = QRectF(well).center();
        SymbolIcons::paint(painter,
                           QRectF(centre.x() - kUnavailableSymbolSide / 2.0,
                                  centre.y() - kUnavailableSymbolSide - 6, kUnavailableSymbolSide,
                                  kUnavailableSymbolSide),
                           SymbolIcons::icon(QStringLiteral("photo")), kUnavailableSymbolSide,
                           white(0.45));
        painter.setFont(BrimfoldDesign::font(15, QFont::Medium));
        painter.setPen(white(0.88));
        painter.drawText(QRectF(well.left(), centre.y() + 4, well.width(), 22), Qt::AlignCenter,
                         tr("Preview unavailable"));
        painter.setFont(BrimfoldDesign::font(12));
        painter.setPen(white(0.5));
        painter.drawText(QRectF(well.left(), centre.y() + 28, well.width(), 18), Qt::AlignCenter,
                         tr("This file could not be read as an image."));
        break;
    }
    case Content::loading:
        painter.fillPath(rounded(QRectF(well), kImageRadius), kPictureWell);
        break;
    case Content::none:
        break;
    }

    paintCaption(painter);
}

void PreviewWindow::paintCaption(QPainter &painter) const
{
    if (!m_item)
        return;
    // Right to left after the name: the picture's size, how large it is shown, which found
    // word is in view.
    QList<PreviewCaption::Detail> details;
    if (m_content == Content::image && m_item->width() > 0 && m_item->height() > 0)
        details.append({m_item->dimensions(), white(0.42), false});
    if (const QString zoom = zoomLabel(); !zoom.isEmpty())
        details.append({zoom, white(0.9), true});
    if (!m_highlights.isEmpty()) {
        details.append({tr("%1 of %2").arg(m_highlights.current() + 1).arg(m_highlights.count()),
                        BrimfoldDesign::accent().lighter(150), false});
    }
    PreviewCaption::paint(painter,
                          QRect(kMargin + 4, height() - kCaptionHeight, width() - 2 * (kMargin + 4),
                                kCaptionHeight),
                          m_item->url().fileName(), details);
}

bool PreviewWindow::event(QEvent *event)
{
    // Tab would look for another widget to focus; here it moves between the found words.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            stepHighlight(key == Qt::Key_Backtab ? -1 : 1);
            return true;
        }
    }
    return QWidget::event(event);
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Space:
        hide();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        stepHighlight(event->modifiers() & Qt::ShiftModifier ? -1 : 1);
        return;
    case Qt::Key_1:
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        applyZoom(Zoom::actualSize, std::nullopt);
        return;
    case Qt::Key_F:
    case Qt::Key_Minus:
        applyZoom(Zoom::fit, std::nullopt);
        return;
    case Qt::Key_0:
        if (event->modifiers() & Qt::ControlModifier) {
            applyZoom(Zoom::fit, std::nullopt);
            return;
        }
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PreviewWindow::wheelEvent(QWheelEvent *event)
{
    if (m_content != Content::image)
        return;
    if (event->modifiers() & Qt::ControlModifier) {
        if (const int turn = event->angleDelta().y(); turn != 0)
            applyZoom(turn > 0 ? Zoom::actualSize : Zoom::fit, event->position());
        return;
    }
    panBy(event->pixelDelta().isNull() ? QPointF(event->angleDelta()) / 2
                                       : QPointF(event->pixelDelta()));
}

void PreviewWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        hide();
        return;
    }
    // The first half of a double-click must not close the window it zooms.
    m_clickClose.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
}

void PreviewWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_clickClose.stop();
    if (event->button() == Qt::LeftButton)
        applyZoom(m_zoom == Zoom::fit ? Zoom::actualSize : Zoom::fit, event->position());
}

void PreviewWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // The desktop hiding it (another workspace) is not a close.
    if (event->spontaneous())
        return;
    // Drops the decode under way and lets the picture go: nothing large outlives the window.
    ++m_generation;
    m_image = QImage();
    m_content = Content::none;
    m_spinner->hide();
    m_placementPending = false;
    m_clickClose.stop();
    Q_EMIT closed();
}
