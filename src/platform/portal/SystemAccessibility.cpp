#include "platform/portal/SystemAccessibility.h"

#include "platform/portal/PortalSettings.h"

#include "platform/x11/X11.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

namespace {

const char *const kPortalChangedSlot = SLOT(onPortalSettingChanged(QString, QString, QDBusVariant));

struct PortalKey
{
    const char *group;
    const char *key;
};

const PortalKey kPortalKeys[] = {
    {"org.gnome.desktop.interface", "enable-animations"},
    {"org.kde.kdeglobals.KDE", "AnimationDurationFactor"},
    {"org.freedesktop.appearance", "contrast"},
    {"org.gnome.desktop.a11y.interface", "high-contrast"},
};

// Every interval the compositor is asked about again; one round trip to the X server.
constexpr int kCompositorPollMs = 4000;

std::optional<double> asNumber(const QVariant &value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

// True when a compositing manager runs. Outside X11 (Wayland compositors always composite; the
// offscreen platform draws into memory) translucency works, so the answer is true.
bool compositorRunning()
{
    return X11::compositorRunning().value_or(true);
}

} // namespace

SystemAccessibility::SystemAccessibility(QObject *parent)
    : Accessibility(parent)
    , m_compositorPoll(new QTimer(this))
{
    readKdeglobals();
    m_reduceMotion = m_kdeglobalsAnimationsOff;

    if (X11::connection()) {
        // Answered on a thread of its own by the time the first window needs it: the question
        // takes two round trips to an X server still busy with Qt's own requests at start, and
        // the GUI thread waiting for them held up the first frame by a millisecond or more.
        m_compositorAnswer = std::async(std::launch::async, [question = X11::askCompositorRunning()] {
            return X11::compositorAnswer(question);
        });
        m_compositorPoll->setInterval(kCompositorPollMs);
        connect(m_compositorPoll, &QTimer::timeout, this, [this] {
            settleCompositor();
            m_compositing = compositorRunning();
            update();
        });
        m_compositorPoll->start();
    }
    PortalSettings::whenBusReady(this, [this] { readPortal(); });
}

SystemAccessibility::~SystemAccessibility()
{
    // An answer still pending is waited for by its future.
    PortalSettings::unwatch(this, kPortalChangedSlot);
}

void SystemAccessibility::settleCompositor() const
{
    if (!m_compositorAnswer.valid())
        return;
    m_compositing = m_compositorAnswer.get().value_or(true);
    // Unannounced: nobody has read the value this replaces.
    m_reduceTransparency = reduceTransparencyNow();
}

bool SystemAccessibility::reduceMotion() const
{
    return m_reduceMotion;
}

bool SystemAccessibility::reduceTransparency() const
{
    settleCompositor();
    return m_reduceTransparency;
}

void SystemAccessibility::refresh()
{
    readKdeglobals();
    settleCompositor();
    m_compositing = compositorRunning();
    update();
}

std::optional<SystemAccessibility::PortalReading>
SystemAccessibility::interpretPortalSetting(const QString &group, const QString &key,
                                            const QVariant &wrapped)
{
    const QVariant value = PortalSettings::unwrapped(wrapped);
    if (!value.isValid())
        return std::nullopt;
    const int type = value.userType();
    if (group == QLatin1String("org.gnome.desktop.interface")
        && key == QLatin1String("enable-animations") && type == QMetaType::Bool)
        return PortalReading{Preference::ReduceMotion, !value.toBool()};
    if (group == QLatin1String("org.kde.kdeglobals.KDE")
        && key == QLatin1String("AnimationDurationFactor")) {
        // KDE stores a number; some portal versions hand it over as its text.
        if (const std::optional<double> factor = asNumber(value))
            return PortalReading{Preference::ReduceMotion, *factor <= 0.0};
        return std::nullopt;
    }
    if (group == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("contrast")
        && type != QMetaType::Bool) {
        // 0: no preference, 1: higher contrast.
        if (const std::optional<double> contrast = asNumber(value))
            return PortalReading{Preference::ReduceTransparency, *contrast == 1.0};
        return std::nullopt;
    }
    if (group == QLatin1String("org.gnome.desktop.a11y.interface")
        && key == QLatin1String("high-contrast") && type == QMetaType::Bool)
        return PortalReading{Preference::ReduceTransparency, value.toBool()};
    return std::nullopt;
}

std::optional<double> SystemAccessibility::kdeAnimationFactor(const QString &kdeglobalsPath)
{
    const QSettings settings(kdeglobalsPath, QSettings::IniFormat);
    const QVariant value = settings.value(QStringLiteral("KDE/AnimationDurationFactor"));
    return value.isValid() ? asNumber(value) : std::nullopt;
}

void SystemAccessibility::readPortal()
{
    if (!PortalSettings::watch(this, kPortalChangedSlot))
        return;
    for (const PortalKey &entry : kPortalKeys) {
        const QString group = QString::fromLatin1(entry.group);
        const QString key = QString::fromLatin1(entry.key);
        PortalSettings::read(group, key, this, [this, group, key](const QVariant &value) {
            applyPortalSetting(group, key, value);
        });
    }
}

void SystemAccessibility::onPortalSettingChanged(const QString &group, const QString &key,
                                                 const QDBusVariant &value)
{
    applyPortalSetting(group, key, QVariant::fromValue(value));
}

void SystemAccessibility::applyPortalSetting(const QString &group, const QString &key,
                                             const QVariant &value)
{
    const std::optional<PortalReading> reading = interpretPortalSetting(group, key, value);
    if (!reading)
        return;
    m_portal.insert(group + QLatin1Char('/') + key, *reading);
    update();
}

void SystemAccessibility::readKdeglobals()
{
    // The user's file overrides the system's, as KDE reads them.
    const QStringList files =
        QStandardPaths::locateAll(QStandardPaths::GenericConfigLocation,
                                  QStringLiteral("kdeglobals"));
    m_kdeglobalsAnimationsOff = false;
    for (const QString &file : files) {
        if (const std::optional<double> factor = kdeAnimationFactor(file)) {
            m_kdeglobalsAnimationsOff = *factor <= 0.0;
            break;
        }
    }
}

bool SystemAccessibility::reduceTransparencyNow() const
{
    bool highContrast = false;
    for (const PortalReading &reading : std::as_const(m_portal)) {
        if (reading.on && reading.preference == Preference::ReduceTransparency)
            highContrast = true;
    }
    return !m_compositing || highContrast;
}

void SystemAccessibility::update()
{
    settleCompositor();
    bool reduceMotion = m_kdeglobalsAnimationsOff;
    for (const PortalReading &reading : std::as_const(m_portal)) {
        if (reading.on && reading.preference == Preference::ReduceMotion)
            reduceMotion = true;
    }
    const bool reduceTransparency = reduceTransparencyNow();
    if (reduceMotion == m_reduceMotion && reduceTransparency == m_reduceTransparency)
        return;
    m_reduceMotion = reduceMotion;
    m_reduceTransparency = reduceTransparency;
    Q_EMIT changed();
}

void SystemAccessibility::requestBlurBehind(quint64 window, const QList<QRect> &rects) const
{
    X11::setBlurBehind(window, rects);
}
