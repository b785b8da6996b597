// Cache files sit in the user's cache folder where anything may damage or replace them. The
// input is the content of the one cache file of a screenshot, read by the real worker.
#include "FuzzSupport.h"
#include "core/Screenshot.h"
#include "text/ScreenshotText.h"
#include "core/ScreenshotTextSearch.h"
#include "text/ScreenshotTextWorker.h"

#include <QDateTime>
#include <QFileInfo>
#include <QUrl>

#include <cstddef>
#include <cstdint>

namespace {

const QString identifier = QStringLiteral("fuzz");

// Recognition is never reached: loading only reads what is cached.
class CacheOnlyRecognizer final : public ScreenshotTextRecognizing
{
public:
    CapabilitiesResult capabilities() override
    {
        return TextRecognitionCapabilities{{QStringLiteral("en-US")}, identifier};
    }
    TextResult recognize(const QString &, const TextRecognitionCapabilities &, std::stop_token) override
    {
        return TextRecognitionError::engineFailure;
    }
};

struct Fixture
{
    Fixture()
    {
        const QString image = FuzzSupport::scratchFolder() + QStringLiteral("/shot.png");
        FuzzSupport::writeFile(image, QByteArrayLiteral("not decoded"));
        const QFileInfo info(image);
        item = Screenshot(QUrl::fromLocalFile(image), info.birthTime(), info.lastModified(),
                          info.size(), 1, 1);
        const QString folder = FuzzSupport::scratchFolder() + QStringLiteral("/text");
        QDir().mkpath(folder);
        cacheFile = folder + QLatin1Char('/') + ScreenshotTextWorker::cacheFileName(identifier, item.cacheKey());
        worker = std::make_unique<ScreenshotTextWorker>(folder, std::make_unique<CacheOnlyRecognizer>());
    }

    Screenshot item;
    QString cacheFile;
    std::unique_ptr<ScreenshotTextWorker> worker;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Kept for the whole run: the worker's thread outlives every input.
    static Fixture *const fixture = new Fixture;
    FuzzSupport::writeFile(fixture->cacheFile, FuzzSupport::bytes(data, size));

    const auto loaded = fixture->worker->loadCached({fixture->item}).result();
    const auto *texts = std::get_if<ScreenshotTextWorker::CachedTexts>(&loaded);
    FuzzSupport::require(texts != nullptr, "loading cached text never fails");
    if (const auto found = texts->find(fixture->item.cacheKey()); found != texts->end()) {
        FuzzSupport::require(found->normalized() == ScreenshotTextSearch::normalize(found->text()),
                             "the search form is derived from the text");
        FuzzSupport::require(ScreenshotText(found->text()).text() == found->text(), "cached text is trimmed");
    }
    return 0;
}
