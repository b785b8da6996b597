#pragma once

#include "settings/ReleaseConfiguration.h"

class UrlOpener;

#include <QString>

// What this build knows about itself. The values are compiled in from CMake options of the
// same names (BrimfoldReleaseLabel, BrimfoldDistribution, …; see the top-level CMakeLists.txt).
namespace ReleaseInfo {

QString version();  // marketing version, "0.1.0" unless set
QString build();    // build number, "—" unless set
QString label();    // release channel, "Beta" unless set
// True unless the distribution is exactly "beta": builds made on a developer's machine or by
// a packager who did not say otherwise never look for updates.
bool isLocal();
const ReleaseConfiguration &configuration();
// "0.1.0 · Beta · Build —"
QString displayVersion();

// Where ReleaseNotes.html is installed: the program's data folder (share/brimfold) beside the
// binary's prefix, else the source tree's data folder for an uninstalled build. Empty when
// neither holds it.
QString releaseNotesPath();
// Opens the release notes in the desktop's handler for HTML; does nothing when they are missing.
void showReleaseNotes(UrlOpener &opener);

// The build-time values, checked the way the accessors above check them; exposed for tests.
bool isLocalDistribution(const QString &distribution);

} // namespace ReleaseInfo
