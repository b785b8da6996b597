#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

// The desktop portal: one bus name and object path, many interfaces.
namespace DesktopPortal {

QString service(); // org.freedesktop.portal.Desktop
QString path();    // /org/freedesktop/portal/desktop

} // namespace DesktopPortal

// The desktop portal's Settings interface (org.freedesktop.portal.Settings): the desktop's
// shared preferences (colour scheme, animations, contrast), whatever the desktop.
namespace PortalSettings {

// The value a Read or SettingChanged carries; portals wrap it in one variant, older ones in two.
QVariant unwrapped(QVariant value);

// Reads one setting without blocking: a missing or slow portal must not hold up the first
// paint. `done` runs on `context`'s thread with the value, or is not called when the portal
// has no such setting or no session bus exists.
void read(const QString &group, const QString &key, QObject *context,
          std::function<void(const QVariant &value)> done);

// Runs `work` on `context`'s thread once the session bus is connected (or found missing),
// without blocking it meanwhile: the connection is made on another thread as the program starts,
// and the first window does not wait for it.
void whenBusReady(QObject *context, std::function<void()> work);

// Connects the portal's SettingChanged signal to `slot` of `receiver`, a slot taking
// (QString group, QString key, QDBusVariant value), written as SLOT(name(QString, QString,
// QDBusVariant)); false when there is no session bus. `unwatch` undoes it.
bool watch(QObject *receiver, const char *slot);
void unwatch(QObject *receiver, const char *slot);

} // namespace PortalSettings
