#include "platform/portal/PortalColorScheme.h"

#include "platform/portal/PortalSettings.h"

#include <QDBusVariant>

namespace {

const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
const char *const kChangedSlot = SLOT(onSettingChanged(QString, QString, QDBusVariant));

} // namespace

PortalColorScheme::PortalColorScheme(QObject *parent)
    : ColorScheme(parent)
{
    PortalSettings::whenBusReady(this, [this] {
        if (!PortalSettings::watch(this, kChangedSlot))
            return;
        PortalSettings::read(kGroup, kKey, this, [this](const QVariant &value) { set(interpret(value)); });
    });
}

PortalColorScheme::~PortalColorScheme()
{
    PortalSettings::unwatch(this, kChangedSlot);
}

ColorScheme::Preference PortalColorScheme::interpret(const QVariant &value)
{
    bool ok = false;
    const uint number = PortalSettings::unwrapped(value).toUInt(&ok);
    if (!ok)
        return Preference::none;
    return number == 1 ? Preference::dark : number == 2 ? Preference::light : Preference::none;
}

void PortalColorScheme::onSettingChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    if (group == kGroup && key == kKey)
        set(interpret(QVariant::fromValue(value)));
}

void PortalColorScheme::set(Preference preference)
{
    if (m_preference == preference)
        return;
    m_preference = preference;
    emit changed();
}
