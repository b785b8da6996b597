// The floating button's panel: showing it, placing it from the remembered display and
// fractions, settling it after a drag and resetting it.
#include "app/AppController.h"

#include "core/FloatingPlacement.h"
#include "library/LibraryModel.h"
#include "platform/Accessibility.h"
#include "platform/Displays.h"
#include "settings/FloatingButtonSize.h"
#include "settings/FloatingPosition.h"
#include "settings/Preferences.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/floating/FloatingButton.h"
#include "ui/floating/FloatingMoveButton.h"

#include <QVariantAnimation>

namespace {

QRect toRect(const QRectF &rect)
{
    return QRect(qRound(rect.x()), qRound(rect.y()), qRound(rect.width()), qRound(rect.height()));
}

} // namespace

int AppController::floatingPanelSide() const
{
    return int(FloatingPlacement::buttonPanelSide(side(m_preferences->buttonSize())));
}

std::optional<Displays::Display> AppController::activeScreen() const
{
    return m_services.displays->activeDisplay();
}

void AppController::createFloatingPanel()
{
    m_floatingButton = new FloatingButton(model(), *m_preferences, *m_services.accessibility,
                                          *m_thumbnails);
    const int buttonSide = side(m_preferences->buttonSize());
    m_floatingPanel = std::make_unique<BrimfoldPanel>(
        m_floatingButton, false, *m_services.accessibility, buttonSide * 0.31,
        int(FloatingPlacement::panelPadding / 2));
    m_floatingPanel->setWindowTitle(tr("Brimfold button"));
    FloatingButton *button = m_floatingButton;
    Displays *displays = m_services.displays.get();
    button->moveButton()->setPrimaryButtonProbe([displays] { return displays->primaryButtonPressed(); });
    m_floatingPanel->setSurfaceShape([button] { return button->surfaceShape(); });
    connect(button, &FloatingButton::surfaceShapeChanged, m_floatingPanel.get(),
            &BrimfoldPanel::updateMask);
    connect(m_floatingButton, &FloatingButton::openRequested, this, [this] { toggleGallery(true); });
    connect(m_floatingButton, &FloatingButton::settingsRequested, this, &AppController::showSettings);
    connect(m_floatingButton, &FloatingButton::moveStarted, this, [this] { hideGallery(false); });
    connect(m_floatingButton, &FloatingButton::moveEnded, this,
            &AppController::finishMovingFloatingButton);
    connect(m_floatingButton, &FloatingButton::resetPositionRequested, this,
            [this] { positionFloatingButton(true); });
}

void AppController::updateFloatingButton()
{
    if (!m_preferences->showFloatingButton()) {
        if (m_floatingPanel)
            m_floatingPanel->hide();
        return;
    }
    if (!m_floatingPanel)
        createFloatingPanel();
    positionFloatingButton(false);
    m_floatingPanel->present();
}

void AppController::positionFloatingButton(bool reset)
{
    Displays &displays = *m_services.displays;
    std::optional<Displays::Display> display;
    std::optional<FloatingPosition> remembered;
    if (reset) {
        display = activeScreen();
    } else if (const std::optional<FloatingPosition> &stored = m_preferences->floatingPosition()) {
        remembered = stored;
        for (const Displays::Display &candidate : displays.displays()) {
            if (candidate.id == stored->displayID) {
                display = candidate;
                break;
            }
        }
        // The display is away: the same fractions on the main one, until it comes back.
        if (!display)
            display = displays.mainDisplay();
    } else {
        display = displays.mainDisplay();
    }
    if (!display && !displays.displays().isEmpty())
        display = displays.displays().first();
    if (!display)
        return;

    const double panelSide = floatingPanelSide();
    const QSizeF size(panelSide, panelSide);
    QRectF frame;
    if (remembered) {
        frame = remembered->frame(size, display->visibleFrame);
    } else {
        const bool leftEdge = !reset && m_preferences->legacyEdge() == QLatin1String("left");
        frame = FloatingPlacement::defaultButtonFrame(display->visibleFrame, panelSide, leftEdge);
        m_preferences->setFloatingPosition(
            FloatingPosition::fromFrame(display->id, frame, display->visibleFrame));
    }
    if (m_floatingPanel) {
        if (m_floatingAnimation)
            m_floatingAnimation->stop();
        m_floatingPanel->place(toRect(displays.toScreenRect(frame)));
    }
}

void AppController::finishMovingFloatingButton()
{
    if (!m_floatingPanel)
        return;
    Displays &displays = *m_services.displays;
    const QRectF frame = displays.fromScreenRect(QRectF(m_floatingPanel->geometry()));
    std::optional<Displays::Display> display = displays.displayContaining(frame.center());
    if (!display)
        display = activeScreen();
    if (!display)
        return;

    const QRectF settled = FloatingPlacement::settled(frame, display->visibleFrame,
                                                      m_preferences->snapToEdges());
    m_preferences->setFloatingPosition(
        FloatingPosition::fromFrame(display->id, settled, display->visibleFrame));

    const QRect to = toRect(displays.toScreenRect(settled));
    if (m_floatingAnimation)
        m_floatingAnimation->stop();
    if (m_services.accessibility->reduceMotion()) {
        m_floatingPanel->place(to);
        return;
    }
    const QRect from = m_floatingPanel->geometry();
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(int(FloatingPlacement::settleAnimation.count()));
    animation->setEasingCurve(QEasingCurve::OutCubic);
    BrimfoldPanel *panel = m_floatingPanel.get();
    connect(animation, &QVariantAnimation::valueChanged, panel,
            [panel](const QVariant &value) { panel->place(value.toRect()); });
    m_floatingAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
