#pragma once

#include <QFuture>

namespace FontConfiguration {

// Reads the system's font configuration and font caches on a background thread. The first text
// a window draws waits for them, and Qt only reads them once its application object exists;
// started before that, the reading overlaps the connection to the display. Call it at most once,
// before the first font is used; Qt's font database then finds the configuration loaded.
QFuture<void> preload();

} // namespace FontConfiguration
