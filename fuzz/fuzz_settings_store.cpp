// The settings file is read at every start; the user, another version or a crash mid-write may
// have left anything in it. Read it as the program does: the store, every preference, and the
// library's own key.
#include "FuzzSupport.h"
#include "library/LibraryState.h"
#include "platform/ScreenshotLocation.h"
#include "platform/freedesktop/SettingsStore.h"
#include "settings/Preferences.h"

#include <cstddef>
#include <cstdint>

namespace {

class NoLocation final : public ScreenshotLocation
{
public:
    std::optional<QString> location() const override { return std::nullopt; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = FuzzSupport::scratchFolder() + QStringLiteral("/settings.json");
    FuzzSupport::writeFile(path, FuzzSupport::bytes(data, size));

    SettingsStore store(path);
    const NoLocation location;
    const Preferences preferences(store, location);
    preferences.folderURL();
    if (const auto state = store.data(QLatin1String(Preferences::libraryStateKey)))
        LibraryState::fromJson(*state);
    // Whatever the file held, the stored form of binary data reads back as itself.
    if (const auto object = store.object(QStringLiteral("x"))) {
        if (const auto data = SettingsStore::decodeData(*object))
            FuzzSupport::require(SettingsStore::decodeData(SettingsStore::encodeData(*data)) == data,
                                 "binary data round-trips");
    }
    return 0;
}
