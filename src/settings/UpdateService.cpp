#include "settings/UpdateService.h"

#include "settings/ReleaseInfo.h"

UpdateService::UpdateService(QObject *parent)
    : QObject(parent)
{
}

void UpdateService::start(bool demo)
{
    if (m_configured || ReleaseInfo::isLocal() || demo || !ReleaseInfo::configuration().updatesConfigured())
        return;
    // A configured release build would create its updater here. None exists for this desktop,
    // so the service stays unconfigured and the menu and settings show no update controls.
}

void UpdateService::check()
{
    if (!m_canCheck || !m_configured)
        return;
}

void UpdateService::setAutomaticChecks(bool)
{
    // Without an updater there is no setting to change.
}
