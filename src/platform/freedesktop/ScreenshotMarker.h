#pragma once

#include <QString>

#include <cstddef>

// The screen-capture marker that the capturing system leaves on the image files it writes.
// Files copied to Linux with their attributes carry it in the "user." namespace.
class ScreenshotMarker final
{
public:
    static constexpr const char *attributeName = "user.com.apple.metadata:kMDItemIsScreenCapture";
    // Larger values are not a marker anyone wrote; never read them.
    static constexpr std::size_t maxBytes = 4095;

    // True when the file carries the marker and its property-list value means "yes".
    // A symbolic link at the end of the path is not followed. Every failure answers false.
    static bool isSet(const QString &path);
    // The same for a path already in the file system's encoding (the scanner's fast path).
    static bool isSet(const char *nativePath);

    // How a stored marker value reads: a boolean, the number 0 or 1, or the text "true"
    // (any letter case) or "1". Everything else, including bytes that are no property list,
    // is false.
    static bool valueIsTrue(const char *bytes, std::size_t size);

    ScreenshotMarker() = delete;
};
