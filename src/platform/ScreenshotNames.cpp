#include "platform/ScreenshotNames.h"

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

// "ll_CC.codeset@modifier" → the names gettext looks under, most specific first.
QStringList languageVariants(const QString &language)
{
    QString name = language;
    QString modifier;
    if (const qsizetype at = name.indexOf(QLatin1Char('@')); at >= 0) {
        modifier = name.mid(at);
        name.truncate(at);
    }
    if (const qsizetype dot = name.indexOf(QLatin1Char('.')); dot >= 0)
        name.truncate(dot);
    const QString base = name.section(QLatin1Char('_'), 0, 0);
    QStringList variants;
    for (const QString &candidate : {name + modifier, name, base + modifier, base}) {
        if (!candidate.isEmpty() && !variants.contains(candidate))
            variants.append(candidate);
    }
    return variants;
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
        for (const QString &variant : languageVariants(language)) {
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
    QString locale;
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qEnvironmentVariable(variable);
        if (!locale.isEmpty())
            break;
    }
    if (locale.isEmpty() || locale == QLatin1String("C") || locale == QLatin1String("POSIX")
        || locale.startsWith(QLatin1String("C.")))
        return {};
    QStringList languages = qEnvironmentVariable("LANGUAGE").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    languages.append(locale);
    return languages;
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
