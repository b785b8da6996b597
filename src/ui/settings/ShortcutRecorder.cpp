#include "ui/settings/ShortcutRecorder.h"

#include "platform/x11/KeyCodes.h"
#include "ui/design/BrimfoldDesign.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

constexpr int kHorizontalPadding = 14;
constexpr int kVerticalPadding = 8;
constexpr qreal kRadius = 9;
constexpr qreal kRestingTint = 0.065;
constexpr qreal kRecordingTint = 0.12;
constexpr qreal kRingWidth = 1.5;
constexpr quint32 kRequiredModifiers =
    VirtualKey::controlModifier | VirtualKey::altModifier | VirtualKey::superModifier;

QString pressPrompt()
{
    return RecorderButton::tr("Press shortcut…");
}

QString modifierPrompt()
{
    return RecorderButton::tr("Add Ctrl, Alt or Super");
}

} // namespace

RecorderButton::RecorderButton(QWidget *parent)
    : QPushButton(parent)
{
    setFont(BrimfoldDesign::font(12, QFont::Medium));
    setFocusPolicy(Qt::StrongFocus);
    // Sized for its titles, not stretched by the layout.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(tr("Record global shortcut"));
    setText(m_shortcut.label());
    connect(this, &QAbstractButton::clicked, this, &RecorderButton::startRecording);
}

void RecorderButton::setShortcut(const Shortcut &shortcut)
{
    m_shortcut = shortcut;
    if (!m_recording)
        setText(m_shortcut.label());
    updateGeometry();
}

void RecorderButton::startRecording()
{
    m_recording = true;
    setText(pressPrompt());
    setFocus(Qt::OtherFocusReason);
}

void RecorderButton::cancelRecording()
{
    m_recording = false;
    setText(m_shortcut.label());
}

bool RecorderButton::event(QEvent *event)
{
    if (m_recording) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Accepted, the key comes here as a press instead of triggering a shortcut of the
            // application.
            event->accept();
            return true;
        case QEvent::KeyPress:
            // Taken before QWidget would turn Tab into a focus change.
            recordKey(static_cast<const QKeyEvent &>(*event));
            return true;
        case QEvent::KeyRelease:
            return true;
        default:
            break;
        }
    }
    return QPushButton::event(event);
}

void RecorderButton::recordKey(const QKeyEvent &event)
{
    // Modifier keys on their own, and keys no shortcut can be stored for, change nothing.
    const auto code = KeyCodes::virtualKey(event);
    if (!code)
        return;
    if (*code == VirtualKey::Escape) {
        cancelRecording();
        return;
    }
    const quint32 modifiers = VirtualKey::modifierMask(event.modifiers());
    if (!(modifiers & kRequiredModifiers)) {
        setText(modifierPrompt());
        return;
    }
    QString character = VirtualKey::name(*code);
    if (character.isEmpty())
        character = VirtualKey::text(*code).toUpper();
    if (character.isEmpty())
        character = tr("Key %1").arg(*code);
    // The title stays on the current shortcut: the new one shows once it is accepted.
    cancelRecording();
    emit recorded(Shortcut{*code, modifiers, character});
}

void RecorderButton::focusOutEvent(QFocusEvent *event)
{
    if (m_recording)
        cancelRecording();
    QPushButton::focusOutEvent(event);
}

QSize RecorderButton::sizeHint() const
{
    // Wide enough for every title it shows, so the layout stays still while recording.
    const QFontMetrics metrics(font());
    int width = 0;
    for (const QString &title : {m_shortcut.label(), pressPrompt(), modifierPrompt()})
        width = std::max(width, metrics.horizontalAdvance(title));
    return {width + 2 * kHorizontalPadding, metrics.height() + 2 * kVerticalPadding};
}

void RecorderButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.55);
    const qreal inset = kRingWidth / 2;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), kRadius, kRadius);
    const QColor accent = BrimfoldDesign::accent();

    QColor ink;
    if (m_recording) {
        painter.fillPath(shape, BrimfoldDesign::withOpacity(accent, kRecordingTint));
        painter.strokePath(shape, QPen(accent, kRingWidth));
        ink = accent;
    } else {
        const qreal tint = kRestingTint + (isDown() ? 0.05 : underMouse() ? 0.025 : 0.0);
        painter.fillPath(shape, BrimfoldDesign::primary(palette(), tint));
        if (hasFocus())
            painter.strokePath(shape, QPen(BrimfoldDesign::withOpacity(accent, 0.55), kRingWidth));
        ink = BrimfoldDesign::primary(palette(), 0.85);
    }
    painter.setFont(font());
    painter.setPen(ink);
    painter.drawText(rect(), Qt::AlignCenter, text());
}
