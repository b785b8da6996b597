#include "platform/freedesktop/ScreenshotMarker.h"

#include <QFile>

#include <plist/plist.h>

#include <cstring>
#include <memory>
#include <sys/xattr.h>

namespace {

struct PlistDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPointer = std::unique_ptr<void, PlistDeleter>;

} // namespace

bool ScreenshotMarker::isSet(const QString &path)
{
    return isSet(QFile::encodeName(path).constData());
}

bool ScreenshotMarker::isSet(const char *nativePath)
{
    const ssize_t size = ::lgetxattr(nativePath, attributeName, nullptr, 0);
    if (size < 1 || std::size_t(size) > maxBytes)
        return false;
    // The size was checked above, so the read can never go past the buffer; if the value grew
    // in between, the kernel refuses (ERANGE) rather than truncating.
    char buffer[maxBytes];
    const ssize_t read = ::lgetxattr(nativePath, attributeName, buffer, std::size_t(size));
    if (read != size)
        return false;
    return valueIsTrue(buffer, std::size_t(read));
}

bool ScreenshotMarker::valueIsTrue(const char *bytes, std::size_t size)
{
    if (!bytes || size == 0 || size > maxBytes)
        return false;
    // The parser is handed a terminated copy so that no text scan can run past the value.
    char terminated[maxBytes + 1];
    std::memcpy(terminated, bytes, size);
    terminated[size] = '\0';
    plist_t parsed = nullptr;
    plist_from_memory(terminated, uint32_t(size), &parsed);
    const PlistPointer root(parsed);
    if (!root)
        return false;

    switch (plist_get_node_type(root.get())) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(root.get(), &value);
        return value != 0;
    }
    case PLIST_UINT: {
        // Signed values arrive two's-complement, so only a genuine 1 reads as true.
        uint64_t value = 0;
        plist_get_uint_val(root.get(), &value);
        return value == 1;
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(root.get(), &value);
        return value == 1.0;
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(root.get(), &length);
        if (!text || length > maxBytes)
            return false;
        const QString value = QString::fromUtf8(text, qsizetype(length));
        return value == QLatin1String("1") || value.toLower() == QLatin1String("true");
    }
    default:
        return false;
    }
}
