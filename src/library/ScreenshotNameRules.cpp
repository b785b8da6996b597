#include "library/ScreenshotNameRules.h"

#include "platform/freedesktop/ScreenshotNames.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isAscii(const char *text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    }
    return true;
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}


// The prefixes that are pure ASCII, for names that are pure ASCII: for those, ASCII
// lower-casing is the full Unicode lower-casing and no other prefix can match. Grouped by
// their first letter, so that a name is compared with the few prefixes that can match it.
struct AsciiPrefixes
{
    std::vector<std::string> byFirstByte[128];
};

const AsciiPrefixes &asciiPrefixes()
{
    static const AsciiPrefixes prefixes = [] {
        AsciiPrefixes groups;
        for (const QString &prefix : ScreenshotNameRules::screenshotNamePrefixes()) {
            const QByteArray utf8 = prefix.toUtf8();
            if (!utf8.isEmpty() && isAscii(utf8.constData(), std::size_t(utf8.size())))
                groups.byFirstByte[static_cast<unsigned char>(utf8.front())].emplace_back(
                    utf8.constData(), std::size_t(utf8.size()));
        }
        return groups;
    }();
    return prefixes;
}

bool asciiHasScreenshotName(const char *name, std::size_t length)
{
    if (length == 0)
        return false;
    for (const std::string &prefix : asciiPrefixes().byFirstByte[static_cast<unsigned char>(asciiLower(name[0]))]) {
        if (length < prefix.size())
            continue;
        std::size_t i = 1;
        while (i < prefix.size() && asciiLower(name[i]) == prefix[i])
            ++i;
        if (i == prefix.size())
            return true;
    }
    return false;
}

// The prefixes grouped by their first UTF-16 unit, for names that are not pure ASCII.
const QHash<char16_t, QStringList> &prefixesByFirstUnit()
{
    static const QHash<char16_t, QStringList> groups = [] {
        QHash<char16_t, QStringList> result;
        for (const QString &prefix : ScreenshotNameRules::screenshotNamePrefixes())
            result[prefix.front().unicode()].append(prefix);
        return result;
    }();
    return groups;
}

} // namespace

namespace ScreenshotNameRules {

const QStringList &imageExtensions()
{
    static const QStringList extensions = {
        QStringLiteral("png"),  QStringLiteral("jpg"), QStringLiteral("jpeg"),
        QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("tif"),
        QStringLiteral("tiff"), QStringLiteral("webp"),
    };
    return extensions;
}

const QStringList &screenshotNamePrefixes()
{
    static const QStringList prefixes = [] {
        // Each spelling of "é" in the French name that the capturing system has used is listed
        // on its own, so that the common cases match without normalising the name.
        QStringList list = {
            QStringLiteral("screenshot"),
            QStringLiteral("screen shot"),
            QStringLiteral("screen capture"),
            QStringLiteral("bildschirmfoto"),
            QStringLiteral("capture d\u2019\u00e9cran"),
            QStringLiteral("capture d'e\u0301cran"),
            QStringLiteral("capture d'\u00e9cran"),
            QStringLiteral("captura de pantalla"),
            QStringLiteral("captura de tela"),
            QStringLiteral("schermata"),
            QStringLiteral("schermafbeelding"),
            QStringLiteral("\u30b9\u30af\u30ea\u30fc\u30f3\u30b7\u30e7\u30c3\u30c8"), // Japanese
            QStringLiteral("\u5c4f\u5e55\u622a\u56fe"), // Chinese, simplified
            QStringLiteral("\u87a2\u5e55\u622a\u5716"), // Chinese, traditional
            QStringLiteral("\u0644\u0642\u0637\u0629 \u0634\u0627\u0634\u0629"), // Arabic
        };
        // Then what the Linux tools name their files in each language, lower-cased as names
        // are; one that begins with an earlier prefix could never decide anything.
        for (const ScreenshotNames::Entry &entry : ScreenshotNames::filePrefixes()) {
            const QString prefix = entry.text.toLower().normalized(QString::NormalizationForm_C);
            const bool covered = std::any_of(list.cbegin(), list.cend(), [&](const QString &earlier) {
                return prefix.startsWith(earlier);
            });
            if (!prefix.isEmpty() && !covered)
                list.append(prefix);
        }
        return list;
    }();
    return prefixes;
}

bool hasScreenshotName(const QString &fileName, const ScreenshotNamePatterns &patterns)
{
    auto matches = [](const QString &lowered) {
        if (lowered.isEmpty())
            return false;
        const auto group = prefixesByFirstUnit().constFind(lowered.front().unicode());
        if (group == prefixesByFirstUnit().constEnd())
            return false;
        for (const QString &prefix : *group) {
            if (lowered.startsWith(prefix))
                return true;
        }
        return false;
    };
    const QString lowered = fileName.toLower();
    if (matches(lowered))
        return true;
    // Names are compared up to canonical equivalence: a name stored decomposed (as some file
    // systems and copying tools do) also matches the composed spellings.
    const QString composed = lowered.normalized(QString::NormalizationForm_C);
    return (composed != lowered && matches(composed)) || patterns.matches(fileName);
}

// No character outside ASCII lower-cases to one of the extensions' letters, so comparing the
// bytes case-insensitively gives the same answer as a full Unicode lower-casing.
bool hasImageExtension(const char *name, std::size_t length)
{
    const char *dot = static_cast<const char *>(::memrchr(name, '.', length));
    if (!dot || dot == name)
        return false;
    const std::size_t extLength = length - std::size_t(dot + 1 - name);
    if (extLength < 3 || extLength > 4)
        return false;
    char lowered[4];
    for (std::size_t i = 0; i < extLength; ++i)
        lowered[i] = asciiLower(dot[1 + i]);
    const std::string_view ext(lowered, extLength);
    for (const QString &known : ScreenshotNameRules::imageExtensions()) {
        if (ext.size() == std::size_t(known.size())
            && std::equal(ext.begin(), ext.end(), known.begin(),
                          [](char a, QChar b) { return b.unicode() == static_cast<unsigned char>(a); }))
            return true;
    }
    return false;
}

bool hasScreenshotName(const char *name, std::size_t length, const ScreenshotNamePatterns &patterns)
{
    return isAscii(name, length)
        ? asciiHasScreenshotName(name, length) || patterns.matchesAscii(name, length)
        : hasScreenshotName(QString::fromUtf8(name, qsizetype(length)), patterns);
}

} // namespace ScreenshotNameRules
