#include "platform/freedesktop/ScreenshotNames.h"

#include "platform/freedesktop/UserLanguages.h"

#include "ScreenshotNamesTable.h"

#include <algorithm>

namespace {

struct Table
{
    QList<ScreenshotNames::Entry> prefixes;
    QList<ScreenshotNames::Entry> folders;
    QList<ScreenshotNames::Template> templates;
};

const Table &table()
{
    static const Table parsed = [] {
        Table result;
        ScreenshotNames::parse(QString::fromUtf8(screenshotNamesTable), result.prefixes, result.folders,
                               &result.templates);
        return result;
    }();
    return parsed;
}

} // namespace

const QList<ScreenshotNames::Entry> &ScreenshotNames::filePrefixes()
{
    return table().prefixes;
}

const QList<ScreenshotNames::Entry> &ScreenshotNames::folderNames()
{
    return table().folders;
}

const QList<ScreenshotNames::Template> &ScreenshotNames::templates()
{
    return table().templates;
}

QStringList ScreenshotNames::folderNamesFor(const QStringList &languages)
{
    QStringList names;
    for (const QString &language : languages) {
        for (const QString &variant : UserLanguages::variants(language)) {
            const auto found = std::find_if(folderNames().cbegin(), folderNames().cend(),
                                            [&](const Entry &entry) { return entry.language == variant; });
            if (found == folderNames().cend())
                continue;
            if (!names.contains(found->text))
                names.append(found->text);
            break;
        }
    }
    return names;
}

QStringList ScreenshotNames::userLanguages()
{
    return UserLanguages::fromEnvironment();
}

void ScreenshotNames::parse(QStringView text, QList<Entry> &prefixes, QList<Entry> &folders,
                            QList<Template> *templates)
{
    for (QStringView line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QList<QStringView> fields = line.split(QLatin1Char('\t'));
        if (fields.size() == 4 && fields.at(0) == QLatin1String("template")) {
            // Kept as written: a leading or trailing space is part of the name the tool writes.
            if (templates && !fields.at(1).isEmpty() && !fields.at(2).isEmpty() && !fields.at(3).isEmpty())
                templates->append({fields.at(1).toString(), fields.at(2).toString(),
                                   fields.at(3).toString().normalized(QString::NormalizationForm_C)});
            continue;
        }
        if (fields.size() != 3 || fields.at(1).isEmpty() || fields.at(2).trimmed().isEmpty())
            continue;
        Entry entry{fields.at(1).toString(),
                    fields.at(2).toString().normalized(QString::NormalizationForm_C)};
        if (fields.at(0) == QLatin1String("prefix"))
            prefixes.append(std::move(entry));
        else if (fields.at(0) == QLatin1String("folder"))
            folders.append(std::move(entry));
    }
}
