// Queries are typed by the user and texts come from file names and recognition: both go through
// the one normalisation. Input: text, NUL, query.
#include "FuzzSupport.h"
#include "text/ScreenshotText.h"
#include "core/ScreenshotTextSearch.h"

#include <cstddef>
#include <cstdint>

namespace {

// What the normalisation promises about its result.
void requireNormalForm(const QString &normalized)
{
    FuzzSupport::require(!normalized.startsWith(QLatin1Char(' ')) && !normalized.endsWith(QLatin1Char(' ')),
                         "no space at either end");
    FuzzSupport::require(!normalized.contains(QStringLiteral("  ")), "spaces collapsed");
    for (const char32_t c : normalized.toUcs4())
        FuzzSupport::require(c == U' ' || !ScreenshotTextSearch::isWhiteSpace(c),
                             "only plain spaces are left");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = FuzzSupport::parts(data, size);
    const QString text = QString::fromUtf8(parts.value(0));
    const QString query = QString::fromUtf8(parts.value(1));

    const QString normalizedText = ScreenshotTextSearch::normalize(text);
    requireNormalForm(normalizedText);
    const QStringList tokens = ScreenshotTextSearch::tokens(query);
    for (const QString &token : tokens)
        FuzzSupport::require(!token.isEmpty() && !token.contains(QLatin1Char(' ')), "tokens are words");
    ScreenshotTextSearch::matches(normalizedText, tokens);

    const ScreenshotText recognised(text);
    if (const std::optional<QString> snippet = recognised.snippet(query))
        FuzzSupport::require(recognised.text().contains(*snippet), "the snippet is a line of the text");
    return 0;
}
