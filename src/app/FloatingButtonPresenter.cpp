#include "app/FloatingButtonPresenter.h"

#include "app/AppServices.h"
#include "core/FloatingPlacement.h"
#include "core/PanelPlacement.h"
#include "platform/Accessibility.h"
#include "platform/Displays.h"
#include "settings/FloatingButtonSize.h"
#include "settings/FloatingPosition.h"
#include "settings/Preferences.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/floating/FloatingButton.h"
#include "ui/floating/FloatingMoveButton.h"

#include <QVariantAnimation>

FloatingButtonPresenter::FloatingButtonPresenter(const AppServices &services, Preferences &preferences,
                                                 LibraryModel &model, ThumbnailCache &thumbnails,
                                                 QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_preferences(preferences)
    , m_model(model)
    , m_thumbnails(thumbnails)
{
}

FloatingButtonPresenter::~FloatingButtonPresenter()
{
    if (m_animation)
        m_animation->stop();
}

void FloatingButtonPresenter::start()
{
    // Queued: the setting's writer finishes before the panel changes.
    connect(&m_preferences, &Preferences::showFloatingButtonChanged, this,
            &FloatingButtonPresenter::update, Qt::QueuedConnection);
    connect(&m_preferences, &Preferences::buttonSizeChanged, this, [this] { position(false); },
            Qt::QueuedConnection);
    connect(m_services.displays.get(), &Displays::changed, this, [this] { position(false); },
            Qt::QueuedConnection);
    update();
}

int FloatingButtonPresenter::panelSide() const
{
    return int(FloatingPlacement::buttonPanelSide(side(m_preferences.buttonSize())));
}

void FloatingButtonPresenter::createPanel()
{
    m_button = new FloatingButton(m_model, m_preferences, *m_services.accessibility, m_thumbnails);
    const int buttonSide = side(m_preferences.buttonSize());
    m_panel = std::make_unique<BrimfoldPanel>(m_button, false, *m_services.accessibility,
                                              buttonSide * 0.31, int(FloatingPlacement::panelPadding / 2));
    m_panel->setWindowTitle(tr("Brimfold button"));
    FloatingButton *button = m_button;
    Displays *displays = m_services.displays.get();
    button->moveButton()->setPrimaryButtonProbe([displays] { return displays->primaryButtonPressed(); });
    m_panel->setSurfaceShape([button] { return button->surfaceShape(); });
    connect(button, &FloatingButton::surfaceShapeChanged, m_panel.get(), &BrimfoldPanel::updateMask);
    connect(button, &FloatingButton::openRequested, this, &FloatingButtonPresenter::openRequested);
    connect(button, &FloatingButton::settingsRequested, this, &FloatingButtonPresenter::settingsRequested);
    connect(button, &FloatingButton::moveStarted, this, &FloatingButtonPresenter::moveStarted);
    connect(button, &FloatingButton::moveEnded, this, &FloatingButtonPresenter::finishMoving);
    connect(button, &FloatingButton::resetPositionRequested, this, &FloatingButtonPresenter::resetPosition);
}

void FloatingButtonPresenter::update()
{
    if (!m_preferences.showFloatingButton()) {
        if (m_panel)
            m_panel->hide();
        return;
    }
    if (!m_panel)
        createPanel();
    position(false);
    m_panel->present();
}

void FloatingButtonPresenter::position(bool reset)
{
    Displays &displays = *m_services.displays;
    std::optional<Displays::Display> display;
    std::optional<FloatingPosition> remembered;
    if (reset) {
        display = displays.activeDisplay();
    } else if (const std::optional<FloatingPosition> &stored = m_preferences.floatingPosition()) {
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

    const double side = panelSide();
    const QSizeF size(side, side);
    QRectF frame;
    if (remembered) {
        frame = remembered->frame(size, display->visibleFrame);
    } else {
        const bool leftEdge = !reset && m_preferences.legacyEdge() == QLatin1String("left");
        frame = FloatingPlacement::defaultButtonFrame(display->visibleFrame, side, leftEdge);
        m_preferences.setFloatingPosition(FloatingPosition::fromFrame(display->id, frame, display->visibleFrame));
    }
    if (m_panel) {
        if (m_animation)
            m_animation->stop();
        m_panel->place(PanelPlacement::roundedRect(displays.toScreenRect(frame)));
    }
}

void FloatingButtonPresenter::finishMoving()
{
    if (!m_panel)
        return;
    Displays &displays = *m_services.displays;
    const QRectF frame = displays.fromScreenRect(QRectF(m_panel->geometry()));
    std::optional<Displays::Display> display = displays.displayContaining(frame.center());
    if (!display)
        display = displays.activeDisplay();
    if (!display)
        return;

    const QRectF settled = FloatingPlacement::settled(frame, display->visibleFrame, m_preferences.snapToEdges());
    m_preferences.setFloatingPosition(FloatingPosition::fromFrame(display->id, settled, display->visibleFrame));

    const QRect to = PanelPlacement::roundedRect(displays.toScreenRect(settled));
    if (m_animation)
        m_animation->stop();
    if (m_services.accessibility->reduceMotion()) {
        m_panel->place(to);
        return;
    }
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(m_panel->geometry());
    animation->setEndValue(to);
    animation->setDuration(int(FloatingPlacement::settleAnimation.count()));
    animation->setEasingCurve(QEasingCurve::OutCubic);
    BrimfoldPanel *panel = m_panel.get();
    connect(animation, &QVariantAnimation::valueChanged, panel,
            [panel](const QVariant &value) { panel->place(value.toRect()); });
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
