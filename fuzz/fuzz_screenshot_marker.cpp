// The capture marker's value comes from a file's extended attribute, which anyone can set.
#include "platform/freedesktop/ScreenshotMarker.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ScreenshotMarker::valueIsTrue(reinterpret_cast<const char *>(data), size);
    return 0;
}
