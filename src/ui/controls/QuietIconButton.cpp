#include "ui/controls/QuietIconButton.h"

#include "platform/Accessibility.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/SymbolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace {

constexpr qreal kActiveBackgroundOpacity = 0.14;
constexpr qreal kHoverBackgroundOpacity = 0.08;
constexpr qreal kSymbolOpacity = 0.7;

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    const auto lerp = [t](float x, float y) { return x + (y - x) * float(t); };
    return QColor::fromRgbF(lerp(a.redF(), b.redF()), lerp(a.greenF(), b.greenF()),
                            lerp(a.blueF(), b.blueF()), lerp(a.alphaF(), b.alphaF()));
}

} // namespace

QuietIconButton::QuietIconButton(const QString &symbol, const QString &label, bool isActive,
                                 const Accessibility *accessibility, QWidget *parent)
    : QAbstractButton(parent)
    , m_isActive(isActive)
    , m_accessibility(accessibility)
    , m_hoverAnimation(new QVariantAnimation(this))
{
    setCursor(Qt::ArrowCursor);
    // Keyboard use goes through the gallery's own shortcuts; the button never takes focus
    // away from the grid or the search field.
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
    setSymbol(symbol);
    setLabel(label);

    m_hoverAnimation->setDuration(BrimfoldDesign::hoverDurationMs);
    m_hoverAnimation->setEasingCurve(BrimfoldDesign::hoverCurve());
    connect(m_hoverAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_hoverProgress = value.toReal();
        update();
    });
    if (accessibility)
        connect(accessibility, &Accessibility::changed, this, qOverload<>(&QWidget::update));
}

QuietIconButton::~QuietIconButton() = default;

void QuietIconButton::setSymbol(const QString &symbol)
{
    if (symbol == m_symbol && !m_icon.isNull())
        return;
    m_symbol = symbol;
    m_icon = SymbolIcons::icon(symbol);
    update();
}

void QuietIconButton::setLabel(const QString &label)
{
    m_label = label;
    setToolTip(label);
    setAccessibleName(label);
}

void QuietIconButton::setActive(bool isActive)
{
    if (isActive == m_isActive)
        return;
    m_isActive = isActive;
    update();
}

QSize QuietIconButton::sizeHint() const
{
    return QSize(BrimfoldDesign::quietButtonSide, BrimfoldDesign::quietButtonSide);
}

QSize QuietIconButton::minimumSizeHint() const
{
    return sizeHint();
}

QColor QuietIconButton::backgroundColour(const QPalette &palette, bool isActive, bool hovered)
{
    if (isActive)
        return BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), kActiveBackgroundOpacity);
    return hovered ? BrimfoldDesign::primary(palette, kHoverBackgroundOpacity)
                   : BrimfoldDesign::primary(palette, 0.0);
}

QColor QuietIconButton::symbolColour(const QPalette &palette, bool isActive)
{
    return isActive ? BrimfoldDesign::accent() : BrimfoldDesign::primary(palette, kSymbolOpacity);
}

void QuietIconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(rect());
    const QColor background =
        m_isActive ? backgroundColour(palette(), true, false)
                   : mix(backgroundColour(palette(), false, false),
                         backgroundColour(palette(), false, true), m_hoverProgress);
    if (background.alpha() > 0) {
        QPainterPath shape;
        shape.addRoundedRect(frame, BrimfoldDesign::quietButtonRadius,
                             BrimfoldDesign::quietButtonRadius);
        painter.fillPath(shape, background);
    }
    QColor symbol = symbolColour(palette(), m_isActive);
    if (!isEnabled())
        symbol = BrimfoldDesign::withOpacity(symbol, 0.4);
    // Pressing dims the symbol a little, as borderless buttons do.
    if (isDown())
        symbol = BrimfoldDesign::withOpacity(symbol, 0.75);
    SymbolIcons::paint(painter, frame, m_icon, BrimfoldDesign::quietSymbolSize, symbol);
}

void QuietIconButton::enterEvent(QEnterEvent *event)
{
    followPointer();
    QAbstractButton::enterEvent(event);
}

void QuietIconButton::leaveEvent(QEvent *event)
{
    followPointer();
    QAbstractButton::leaveEvent(event);
}

void QuietIconButton::followPointer()
{
    const qreal target = underMouse() ? 1.0 : 0.0;
    const bool running = m_hoverAnimation->state() == QAbstractAnimation::Running;
    if ((running ? m_hoverAnimation->endValue().toReal() : m_hoverProgress) == target)
        return;
    m_hoverAnimation->stop();
    if (m_accessibility && m_accessibility->reduceMotion()) {
        m_hoverProgress = target;
        update();
        return;
    }
    m_hoverAnimation->setStartValue(m_hoverProgress);
    m_hoverAnimation->setEndValue(target);
    m_hoverAnimation->start();
}
