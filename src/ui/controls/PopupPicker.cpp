#include "ui/controls/PopupPicker.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/controls/SettingsStyle.h"

#include <QActionGroup>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPadding = 12;
constexpr int kChevron = 8;
constexpr int kChevronGap = 10;
constexpr int kHeight = 30;
constexpr qreal kPickerRadius = 8;
} // namespace

PopupPicker::PopupPicker(const QStringList &titles, const QString &accessibleName, QWidget *parent)
    : QAbstractButton(parent)
    , m_menu(new QMenu(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(BrimfoldDesign::font(12, QFont::Medium));
    setAccessibleName(accessibleName);
    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    for (const QString &title : titles) {
        QAction *action = m_menu->addAction(title);
        action->setCheckable(true);
        group->addAction(action);
        const int index = int(m_actions.size());
        connect(action, &QAction::triggered, this, [this, index] {
            setCurrentIndex(index);
            emit activated(index);
        });
        m_actions.append(action);
    }
    connect(this, &QAbstractButton::clicked, this, &PopupPicker::openMenu);
}

void PopupPicker::setCurrentIndex(int index)
{
    if (index < 0 || index >= count())
        index = -1;
    m_current = index;
    for (int i = 0; i < count(); ++i)
        m_actions.at(i)->setChecked(i == index);
    setText(index >= 0 ? m_actions.at(index)->text() : QString());
    update();
}

QSize PopupPicker::sizeHint() const
{
    const QFontMetrics metrics(font());
    int widest = 0;
    for (const QAction *action : m_actions)
        widest = std::max(widest, metrics.horizontalAdvance(action->text()));
    return {widest + kChevronGap + kChevron + 2 * kPadding, kHeight};
}

void PopupPicker::openMenu()
{
    // A menu is a window of its own and inherits nothing. Every role is set on it explicitly:
    // roles the picker merely inherited would otherwise resolve to the application's colours.
    const QPalette &from = palette();
    QPalette colours;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto r = QPalette::ColorRole(role);
            colours.setBrush(group, r, from.brush(group, r));
        }
    }
    m_menu->setPalette(colours);
    m_menu->setFont(BrimfoldDesign::font(13));
    if (m_current >= 0)
        m_menu->setActiveAction(m_actions.at(m_current));
    m_menu->popup(mapToGlobal(QPoint(0, height() + 4)));
}

void PopupPicker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    if (!isEnabled())
        painter.setOpacity(0.45);
    const QRectF bounds = QRectF(rect()).adjusted(1, 1, -1, -1);
    QPainterPath shape;
    shape.addRoundedRect(bounds, kPickerRadius, kPickerRadius);
    const qreal tint = 0.065 + (isDown() ? 0.05 : underMouse() ? 0.025 : 0.0);
    painter.fillPath(shape, BrimfoldDesign::primary(colours, tint));
    if (hasFocus()) {
        painter.setPen(QPen(SettingsStyle::focusRing(), 1.5));
        painter.drawPath(shape);
    }

    painter.setFont(font());
    painter.setPen(BrimfoldDesign::primary(colours, 0.85));
    const QRectF textRect(kPadding, 0, width() - 2 * kPadding - kChevronGap - kChevron, height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());

    // An up-and-down chevron, as pop-up choices are marked.
    const qreal cx = width() - kPadding - kChevron / 2.0;
    const qreal cy = height() / 2.0;
    QPen pen(BrimfoldDesign::primary(colours, 0.55), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal half = kChevron / 2.0;
    QPainterPath up;
    up.moveTo(cx - half * 0.8, cy - 1.5);
    up.lineTo(cx, cy - 1.5 - half * 0.75);
    up.lineTo(cx + half * 0.8, cy - 1.5);
    QPainterPath down;
    down.moveTo(cx - half * 0.8, cy + 1.5);
    down.lineTo(cx, cy + 1.5 + half * 0.75);
    down.lineTo(cx + half * 0.8, cy + 1.5);
    painter.drawPath(up);
    painter.drawPath(down);
}
