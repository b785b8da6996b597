#pragma once

#include "platform/Accessibility.h"
#include "platform/x11/X11.h"

#include <QDBusVariant>
#include <QHash>
#include <QString>
#include <QVariant>

#include <future>
#include <optional>

class QTimer;

// The Linux desktop's settings:
// - reduce motion: the desktop portal's "org.gnome.desktop.interface" "enable-animations" is
//   false, or KDE's animation speed factor ("AnimationDurationFactor", from the portal or
//   kdeglobals) is 0;
// - reduce transparency: no compositing manager owns the X11 "_NET_WM_CM_S<screen>" selection
//   (translucent windows would show garbage), or high contrast is on (the portal's
//   "org.freedesktop.appearance" "contrast", or GNOME's "high-contrast").
// Portal values arrive asynchronously and are followed through its SettingChanged signal; the
// compositor is checked again every few seconds, since one can start or stop at any time.
class SystemAccessibility final : public Accessibility
{
    Q_OBJECT

public:
    explicit SystemAccessibility(QObject *parent = nullptr);
    ~SystemAccessibility() override;

    bool reduceMotion() const override;
    bool reduceTransparency() const override;
    // KWin's blur-behind hint; other window managers ignore it.
    void requestBlurBehind(quint64 window, const QList<QRect> &rects) const override;

    // Re-reads kdeglobals and the compositor state now (portal values follow by signal).
    void refresh();

    enum class Preference { ReduceMotion, ReduceTransparency };
    struct PortalReading
    {
        Preference preference;
        bool on;
    };
    // What one portal setting says about the two preferences; none for a setting that says
    // nothing about them or has a value of an unexpected type. `value` may still be wrapped
    // in D-Bus variants, as the portal's Read returns it.
    static std::optional<PortalReading> interpretPortalSetting(const QString &group,
                                                               const QString &key,
                                                               const QVariant &value);
    // The animation factor a kdeglobals file sets in its [KDE] group; none when absent.
    static std::optional<double> kdeAnimationFactor(const QString &kdeglobalsPath);

private Q_SLOTS:
    // The portal's SettingChanged signal (connected by name: D-Bus signals have no functor form).
    void onPortalSettingChanged(const QString &group, const QString &key,
                                const QDBusVariant &value);

private:
    void readPortal();
    void applyPortalSetting(const QString &group, const QString &key, const QVariant &value);
    void readKdeglobals();
    void update();
    // Takes the answer to the compositor question asked at construction, if not taken yet.
    void settleCompositor() const;
    bool reduceTransparencyNow() const;

    QTimer *m_compositorPoll = nullptr;
    mutable std::future<std::optional<bool>> m_compositorAnswer;
    QHash<QString, PortalReading> m_portal;
    bool m_kdeglobalsAnimationsOff = false;
    mutable bool m_compositing = true;
    bool m_reduceMotion = false;
    mutable bool m_reduceTransparency = false;
};
