#include "text/RecognitionLanguages.h"

#include "platform/freedesktop/UserLanguages.h"

#include <QStringList>

#include <algorithm>

namespace {

struct Entry
{
    const char *locales; // the gettext names that mean it, separated by spaces
    const char *tag;
    const char *code;
    const char *name;
};

// English and Arabic first (the base); the rest are the languages with engine data in Debian
// that desktops are commonly set to. Chinese follows the territory's script, plain "zh" the
// simplified one; Serbian the modifier, as gettext's sr@latin.
constexpr Entry kTable[] = {
    {"en", "en-US", "eng", "English"},
    {"ar", "ar-SA", "ara", "Arabic"},
    {"de", "de", "deu", "German"},
    {"fr", "fr", "fra", "French"},
    {"es", "es", "spa", "Spanish"},
    {"it", "it", "ita", "Italian"},
    {"pt", "pt", "por", "Portuguese"},
    {"nl", "nl", "nld", "Dutch"},
    {"pl", "pl", "pol", "Polish"},
    {"ru", "ru", "rus", "Russian"},
    {"uk", "uk", "ukr", "Ukrainian"},
    {"be", "be", "bel", "Belarusian"},
    {"bg", "bg", "bul", "Bulgarian"},
    {"tr", "tr", "tur", "Turkish"},
    {"ja", "ja", "jpn", "Japanese"},
    {"ko", "ko", "kor", "Korean"},
    {"zh zh_CN zh_SG", "zh-Hans", "chi_sim", "Chinese (Simplified)"},
    {"zh_TW zh_HK zh_MO", "zh-Hant", "chi_tra", "Chinese (Traditional)"},
    {"sv", "sv", "swe", "Swedish"},
    {"da", "da", "dan", "Danish"},
    {"nb nn no", "no", "nor", "Norwegian"},
    {"fi", "fi", "fin", "Finnish"},
    {"is", "is", "isl", "Icelandic"},
    {"et", "et", "est", "Estonian"},
    {"lv", "lv", "lav", "Latvian"},
    {"lt", "lt", "lit", "Lithuanian"},
    {"cs", "cs", "ces", "Czech"},
    {"sk", "sk", "slk", "Slovak"},
    {"sl", "sl", "slv", "Slovenian"},
    {"hr", "hr", "hrv", "Croatian"},
    {"sr", "sr", "srp", "Serbian"},
    {"sr@latin", "sr-Latn", "srp_latn", "Serbian (Latin)"},
    {"hu", "hu", "hun", "Hungarian"},
    {"ro", "ro", "ron", "Romanian"},
    {"el", "el", "ell", "Greek"},
    {"ca", "ca", "cat", "Catalan"},
    {"eu", "eu", "eus", "Basque"},
    {"gl", "gl", "glg", "Galician"},
    {"he iw", "he", "heb", "Hebrew"},
    {"fa", "fa", "fas", "Persian"},
    {"ur", "ur", "urd", "Urdu"},
    {"hi", "hi", "hin", "Hindi"},
    {"bn", "bn", "ben", "Bengali"},
    {"ta", "ta", "tam", "Tamil"},
    {"th", "th", "tha", "Thai"},
    {"vi", "vi", "vie", "Vietnamese"},
    {"id", "id", "ind", "Indonesian"},
    {"ms", "ms", "msa", "Malay"},
};
constexpr qsizetype kBaseCount = 2;

RecognitionLanguage language(const Entry &entry)
{
    return {QString::fromLatin1(entry.tag), QString::fromLatin1(entry.code), QString::fromLatin1(entry.name)};
}

const QList<RecognitionLanguage> &all()
{
    static const QList<RecognitionLanguage> languages = [] {
        QList<RecognitionLanguage> out;
        for (const Entry &entry : kTable)
            out.append(language(entry));
        return out;
    }();
    return languages;
}

const Entry *entryForName(QStringView name)
{
    const QString wanted = name.toString();
    for (const Entry &entry : kTable) {
        if (QString::fromLatin1(entry.locales).split(QLatin1Char(' ')).contains(wanted))
            return &entry;
    }
    return nullptr;
}


} // namespace

QString RecognitionLanguage::package() const
{
    return QLatin1String("tesseract-ocr-") + QString(code).replace(QLatin1Char('_'), QLatin1Char('-'));
}

const QList<RecognitionLanguage> &RecognitionLanguages::base()
{
    static const QList<RecognitionLanguage> languages = all().first(kBaseCount);
    return languages;
}

std::optional<RecognitionLanguage> RecognitionLanguages::forLocale(QStringView locale)
{
    // The table names locales as "ll", "ll_CC" and "ll@modifier", in their usual case.
    for (const QString &variant : UserLanguages::variants(locale)) {
        const qsizetype modifier = variant.indexOf(QLatin1Char('@'));
        const QString name = modifier < 0 ? variant : variant.left(modifier);
        const qsizetype territory = name.indexOf(QLatin1Char('_'));
        QString normal = territory < 0 ? name.toLower() : name.left(territory).toLower() + name.sliced(territory).toUpper();
        if (modifier >= 0)
            normal += variant.sliced(modifier).toLower();
        if (const Entry *entry = entryForName(normal))
            return ::language(*entry);
    }
    return std::nullopt;
}

QList<RecognitionLanguage> RecognitionLanguages::ofUser(const QProcessEnvironment &environment)
{
    QList<RecognitionLanguage> languages;
    for (const QString &name : UserLanguages::fromEnvironment(environment)) {
        const std::optional<RecognitionLanguage> found = forLocale(name);
        if (found && !base().contains(*found) && !languages.contains(*found))
            languages.append(*found);
    }
    return languages;
}

std::optional<RecognitionLanguage> RecognitionLanguages::forTag(QStringView tag)
{
    const auto found = std::find_if(all().cbegin(), all().cend(), [&](const RecognitionLanguage &l) { return l.tag == tag; });
    return found == all().cend() ? std::nullopt : std::optional(*found);
}

std::optional<RecognitionLanguage> RecognitionLanguages::forCode(QStringView code)
{
    const auto found = std::find_if(all().cbegin(), all().cend(), [&](const RecognitionLanguage &l) { return l.code == code; });
    return found == all().cend() ? std::nullopt : std::optional(*found);
}

QString RecognitionLanguages::joinedNames(const QList<RecognitionLanguage> &languages)
{
    QStringList names;
    for (const RecognitionLanguage &language : languages)
        names.append(language.name);
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" & ") + last;
}
