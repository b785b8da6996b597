#pragma once

#include "platform/freedesktop/ScreenshotNamePatterns.h"

#include <QString>
#include <QStringList>

#include <cstddef>

// Which file names count: image extensions, and the names screenshot tools give their files.
namespace ScreenshotNameRules {

// Lower-case file extensions of the image files considered at all.
const QStringList &imageExtensions();
// Lower-case beginnings of the names the capturing system gives screenshots, per language,
// then those the Linux screenshot tools give in their translations.
const QStringList &screenshotNamePrefixes();

// True when the lower-cased name begins with one of the screenshot name prefixes, up to
// canonical equivalence (either spelling of an accented letter matches), or is a name one
// of `patterns` gives (by default the tools' translations that put the date first).
bool hasScreenshotName(const QString &fileName, const ScreenshotNamePatterns &patterns = ScreenshotNamePatterns());
// The same for a name as the folder listing gives it (UTF-8 bytes), without making a QString
// for the common pure-ASCII name.
bool hasScreenshotName(const char *name, std::size_t length, const ScreenshotNamePatterns &patterns);
// Whether a listed name ends in one of imageExtensions(), in any case.
bool hasImageExtension(const char *name, std::size_t length);

} // namespace ScreenshotNameRules
