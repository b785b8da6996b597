#include "ui/floating/FloatingButton.h"

#include "library/LibraryModel.h"
#include "platform/Accessibility.h"
#include "settings/Preferences.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BrimfoldGlyph.h"
#include "ui/floating/FloatingMoveButton.h"
#include "ui/design/GlassSurface.h"
#include "ui/gallery/grid/ScreenshotThumbnail.h"
#include "ui/design/SymbolIcons.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QRegion>
#include <QTransform>
#include <QVariantAnimation>

#include <cmath>

namespace {

// Proportions of the button's side.
constexpr qreal kGlassRadius = 0.31;
constexpr qreal kBackWidth = 0.64, kBackHeight = 0.47, kBackRadius = 0.12;
constexpr qreal kFrontWidth = 0.66, kFrontHeight = 0.49, kFrontRadius = 0.1;
constexpr qreal kGlyphSide = 0.6;

constexpr QPointF kBackOffset(-2, 3);
constexpr qreal kBackTilt = -10;
constexpr qreal kBackOpacity = 0.09;
constexpr qreal kFrontBorderWidth = 0.5;
constexpr qreal kFrontBorderOpacity = 0.3;
// The glyph's stroke on the glass: the status-bar weight (1.35 on 18 units), a touch bolder
// so it holds up at the button's size.
constexpr qreal kGlyphLineWidth = 1.35 / 18.0 * 1.15;
constexpr qreal kGlyphOpacity = 0.72;

constexpr qreal kDotSide = 9;
constexpr QPointF kDotOffset(-2, 2);
constexpr qreal kDotBorderWidth = 1.5;
constexpr qreal kDotBorderOpacity = 0.85;

// A w × h rectangle around `centre` with whole-pixel edges, so untilted cards stay crisp.
QRectF snappedRect(const QPointF &centre, qreal width, qreal height)
{
    const qreal w = std::round(width);
    const qreal h = std::round(height);
    return QRectF(std::round(centre.x() - w / 2.0), std::round(centre.y() - h / 2.0), w, h);
}

void rotateAbout(QPainter &painter, const QPointF &centre, qreal degrees)
{
    painter.translate(centre);
    painter.rotate(degrees);
    painter.translate(-centre);
}

} // namespace

FloatingButton::FloatingButton(LibraryModel &model, Preferences &preferences,
                               const Accessibility &accessibility, ThumbnailCache &thumbnails,
                               QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_preferences(preferences)
    , m_accessibility(&accessibility)
    , m_thumbnails(thumbnails)
    , m_moveButton(new FloatingMoveButton(this))
    , m_placeholder(SymbolIcons::icon(QStringLiteral("photo")))
    , m_latest(model.latest())
    , m_scaleAnimation(new QVariantAnimation(this))
    , m_tiltAnimation(new QVariantAnimation(this))
{
    if (isWindow())
        setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);

    for (QVariantAnimation *animation : {m_scaleAnimation, m_tiltAnimation}) {
        animation->setEasingCurve(BrimfoldDesign::springCurve());
        animation->setDuration(BrimfoldDesign::springDurationMs());
    }
    connect(m_scaleAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_scale = value.toReal();
        update();
        updateWindowShape();
    });
    connect(m_tiltAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_tilt = value.toReal();
        update();
    });

    // A monotonic, precise wait: the pulse is short enough that timer slack would show.
    m_arrivalTimer.setSingleShot(true);
    m_arrivalTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_arrivalTimer, &QTimer::timeout, this, [this] { setArrival(false); });

    m_moveButton->installEventFilter(this);
    m_moveButton->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_moveButton, &QWidget::customContextMenuRequested, this,
            &FloatingButton::showContextMenu);
    connect(m_moveButton, &FloatingMoveButton::openRequested, this, &FloatingButton::openRequested);
    connect(m_moveButton, &FloatingMoveButton::moveStarted, this, &FloatingButton::moveStarted);
    connect(m_moveButton, &FloatingMoveButton::moveEnded, this, &FloatingButton::moveEnded);

    connect(&model, &LibraryModel::itemsChanged, this, &FloatingButton::itemsChanged);
    connect(&model, &LibraryModel::hasNewScreenshotsChanged, this, [this] {
        refreshInteraction();
        update();
        updateWindowShape();
    });
    connect(&model, &LibraryModel::arrivalCountChanged, this, &FloatingButton::pulse);
    connect(&preferences, &Preferences::buttonSizeChanged, this, &FloatingButton::applySize);
    connect(&preferences, &Preferences::shortcutChanged, this, &FloatingButton::refreshInteraction);
    connect(&thumbnails, &ThumbnailCache::thumbnailLoaded, this,
            [this](const QString &key, const QImage &) { thumbnailLoaded(key); });
    connect(&accessibility, &Accessibility::changed, this, [this] {
        if (m_accessibility && m_accessibility->reduceMotion()) {
            // Settle at once: no animation may still be running with motion reduced.
            m_scaleAnimation->stop();
            m_tiltAnimation->stop();
            m_scale = targetScale(m_arrival, hovered());
            m_tilt = hovered() ? 0.0 : restingTilt;
        }
        update();
        updateWindowShape();
    });

    applySize();
    refreshInteraction();
}

FloatingButton::~FloatingButton() = default;

int FloatingButton::side() const
{
    return ::side(m_preferences.buttonSize());
}

bool FloatingButton::showsDot() const
{
    return m_model.hasNewScreenshots();
}

QString FloatingButton::label() const
{
    QString text = tr("Open Brimfold, %1 screenshots").arg(m_model.items().size());
    if (m_model.hasNewScreenshots())
        text += tr(", new screenshots available");
    return text;
}

QString FloatingButton::help() const
{
    return tr("Click to open · ") + m_preferences.shortcut().label()
        + tr("\nDrag to move · Right-click for options");
}

qreal FloatingButton::targetScale(bool arrival, bool hovered)
{
    return arrival ? arrivalScale : hovered ? hoverScale : 1.0;
}

QSize FloatingButton::sizeHint() const
{
    return QSize(side() + 2 * margin, side() + 2 * margin);
}

QMenu *FloatingButton::createContextMenu()
{
    auto *menu = new QMenu(this);
    menu->addAction(tr("Open Brimfold"), this, &FloatingButton::openRequested);
    if (const std::optional<Screenshot> latest = m_model.latest()) {
        menu->addAction(tr("Copy latest screenshot"), this,
                        [this, item = *latest] { m_model.copyActions().copy(item); });
    }
    menu->addSeparator();
    menu->addAction(tr("Reset position"), this, &FloatingButton::resetPositionRequested);
    menu->addAction(tr("Hide floating button"), this,
                    [this] { m_preferences.setShowFloatingButton(false); });
    menu->addAction(tr("Settings…"), this, &FloatingButton::settingsRequested);
    return menu;
}

void FloatingButton::showContextMenu(const QPoint &pos)
{
    QMenu *menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_moveButton->mapToGlobal(pos));
}

void FloatingButton::itemsChanged()
{
    m_latest = m_model.latest();
    refreshInteraction();
    update();
}

void FloatingButton::refreshInteraction()
{
    const QString help = this->help();
    m_moveButton->setAccessibleName(label());
    m_moveButton->setAccessibleDescription(help);
    m_moveButton->setToolTip(help);
}

void FloatingButton::applySize()
{
    const int s = side();
    setFixedSize(s + 2 * margin, s + 2 * margin);
    m_moveButton->setGeometry(margin, margin, s, s);
    updateGeometry();
    update();
    updateWindowShape();
}

bool FloatingButton::hovered() const
{
    return m_moveButton->underMouse();
}

void FloatingButton::setArrival(bool arrival)
{
    if (arrival == m_arrival)
        return;
    m_arrival = arrival;
    retarget();
    Q_EMIT arrivalChanged(arrival);
}

void FloatingButton::pulse()
{
    // A newer arrival cuts the running pulse short and starts its own.
    m_arrivalTimer.stop();
    setArrival(false);
    if (m_model.arrivalCount() < 1 || (m_accessibility && m_accessibility->reduceMotion()))
        return;
    setArrival(true);
    m_arrivalTimer.start(arrivalPulseMs);
}

void FloatingButton::retarget()
{
    animate(m_scaleAnimation, m_scale, targetScale(m_arrival, hovered()));
    animate(m_tiltAnimation, m_tilt, hovered() ? 0.0 : restingTilt);
}

void FloatingButton::animate(QVariantAnimation *animation, qreal &value, qreal target)
{
    animation->stop();
    if (!isVisible() || (m_accessibility && m_accessibility->reduceMotion())) {
        value = target;
        update();
        updateWindowShape();
        return;
    }
    animation->setStartValue(value);
    animation->setEndValue(target);
    animation->start();
}

void FloatingButton::thumbnailLoaded(const QString &key)
{
    if (m_latest && key == ThumbnailCache::key(*m_latest, side() * 2))
        update();
}

bool FloatingButton::glassIsOpaque() const
{
    return m_accessibility && m_accessibility->reduceTransparency();
}

QPainterPath FloatingButton::surfaceShape() const
{
    const QRectF square(margin, margin, side(), side());
    QPainterPath shape = GlassSurface::outline(square, side() * kGlassRadius);
    if (showsDot()) {
        QPainterPath dot;
        dot.addEllipse(QRectF(square.right() - kDotSide, square.top(), kDotSide, kDotSide)
                           .translated(kDotOffset));
        shape = shape.united(dot);
    }
    const QPointF centre = square.center();
    QTransform scale;
    scale.translate(centre.x(), centre.y());
    scale.scale(m_scale, m_scale);
    scale.translate(-centre.x(), -centre.y());
    return scale.map(shape);
}

void FloatingButton::updateWindowShape()
{
    // Only a window clips itself; inside a panel the panel clips, and a clip left over from
    // before the button was placed there would cut off the dot.
    if (isWindow() && glassIsOpaque())
        setMask(GlassSurface::windowShape(surfaceShape()));
    else if (!mask().isEmpty())
        clearMask();
    Q_EMIT surfaceShapeChanged();
}

bool FloatingButton::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ParentChange)
        updateWindowShape();
    return handled;
}

void FloatingButton::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateWindowShape();
    if (!m_shownOnce) {
        m_shownOnce = true;
        pulse();
    }
}

void FloatingButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateWindowShape();
}

bool FloatingButton::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_moveButton) {
        if (event->type() == QEvent::Enter || event->type() == QEvent::Leave)
            retarget();
    }
    return QWidget::eventFilter(watched, event);
}

void FloatingButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (glassIsOpaque()) {
        // Every pixel the window keeps is painted opaque first, so the dot's edge past the
        // glass blends with the glass's colour, not with the cleared buffer.
        QColor solid = palette().color(QPalette::Window);
        solid.setAlpha(255);
        for (const QRect &rect : GlassSurface::windowShape(surfaceShape()))
            painter.fillRect(rect, solid);
    }
    const QRectF square(margin, margin, side(), side());
    painter.translate(square.center());
    painter.scale(m_scale, m_scale);
    painter.translate(-square.center());

    GlassSurface::paint(painter, square, palette(), side() * kGlassRadius, glassIsOpaque(),
                        hovered());
    if (m_latest)
        paintCards(painter, square);
    else
        paintGlyph(painter, square);
    if (showsDot())
        paintDot(painter, square);
}

void FloatingButton::paintCards(QPainter &painter, const QRectF &square)
{
    const qreal s = side();
    const QPointF centre = square.center();

    const QRectF back = snappedRect(centre + kBackOffset, s * kBackWidth, s * kBackHeight);
    painter.save();
    rotateAbout(painter, back.center(), kBackTilt);
    QPainterPath backShape;
    backShape.addRoundedRect(back, s * kBackRadius, s * kBackRadius);
    painter.fillPath(backShape, BrimfoldDesign::primary(palette(), kBackOpacity));
    painter.restore();

    const QRectF front = snappedRect(centre, s * kFrontWidth, s * kFrontHeight);
    const int pixels = side() * 2;
    std::optional<QImage> image = m_thumbnails.cachedImage(*m_latest, pixels);
    if (!image)
        m_thumbnails.request(*m_latest, pixels);
    painter.save();
    rotateAbout(painter, front.center(), m_tilt);
    const qreal radius = s * kFrontRadius;
    ScreenshotThumbnail::paint(painter, front, palette(), image, true, m_placeholder, radius);
    // The border lies inside the card's shape, so it never widens the card.
    const qreal inset = kFrontBorderWidth / 2.0;
    QPainterPath border;
    border.addRoundedRect(front.adjusted(inset, inset, -inset, -inset), radius - inset,
                          radius - inset);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, float(kFrontBorderOpacity)), kFrontBorderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(border);
    painter.restore();
}

void FloatingButton::paintGlyph(QPainter &painter, const QRectF &square)
{
    const qreal glyphSide = side() * kGlyphSide;
    BrimfoldGlyph::stroke(painter, snappedRect(square.center(), glyphSide, glyphSide),
                          BrimfoldDesign::primary(palette(), kGlyphOpacity),
                          glyphSide * kGlyphLineWidth);
}

void FloatingButton::paintDot(QPainter &painter, const QRectF &square)
{
    const QRectF dot = QRectF(square.right() - kDotSide, square.top(), kDotSide, kDotSide)
                           .translated(kDotOffset);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(BrimfoldDesign::coral());
    painter.drawEllipse(dot);
    const qreal inset = kDotBorderWidth / 2.0;
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, float(kDotBorderOpacity)), kDotBorderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(dot.adjusted(inset, inset, -inset, -inset));
    painter.restore();
}
