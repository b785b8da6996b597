#include "platform/ColorScheme.h"

#include "platform/PortalSettings.h"

#include <QDBusConnection>
#include <QDBusVariant>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

} // namespace

PortalColorScheme::PortalColorScheme(QObject *parent)
    : ColorScheme(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    PortalSettings::read(kGroup, kKey, this, [this](const QVariant &value) { set(interpret(value)); });
}

PortalColorScheme::~PortalColorScheme()
{
    QDBusConnection::sessionBus().disconnect(kService, kPath, kInterface, QStringLiteral("SettingChanged"),
                                             this, SLOT(onSettingChanged(QString, QString, QDBusVariant)));
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
