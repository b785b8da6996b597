#pragma once

#include <QString>

// The names the program is known by on the desktop: its settings and data folders, its bus
// name, its desktop entry. A demo copy uses its own, so it never touches the user's files.
namespace AppIdentity {

inline QString applicationId() { return QStringLiteral("app.vellum.screenshots"); }
inline QString demoId() { return QStringLiteral("app.vellum.demo"); }
inline QString id(bool demo) { return demo ? demoId() : applicationId(); }
// The D-Bus object path named after the id: its dots become slashes.
inline QString objectPath() { return QLatin1Char('/') + applicationId().replace(QLatin1Char('.'), QLatin1Char('/')); }
// The desktop entry's file name: launcher, autostart entry.
inline QString desktopEntry() { return applicationId() + QStringLiteral(".desktop"); }

} // namespace AppIdentity
