#include "text/TextRecognitionCapabilities.h"

#include "text/RecognitionLanguages.h"

namespace {

QList<RecognitionLanguage> languagesOf(const QStringList &tags)
{
    QList<RecognitionLanguage> languages;
    for (const QString &tag : tags) {
        if (const std::optional<RecognitionLanguage> language = RecognitionLanguages::forTag(tag))
            languages.append(*language);
    }
    return languages;
}

} // namespace

bool TextRecognitionCapabilities::supportsArabic() const
{
    for (const QString &language : languages) {
        if (language.startsWith(QLatin1String("ar-")))
            return true;
    }
    return false;
}

QString TextRecognitionCapabilities::description() const
{
    // Without any data, English is still named: it comes with the engine's own package.
    const QList<RecognitionLanguage> read = languagesOf(languages);
    QString text = read.isEmpty() ? QStringLiteral("English") : RecognitionLanguages::joinedNames(read);
    text += supportsArabic() ? QStringLiteral(u" \u00B7 On this computer")
                             : QStringLiteral(u" \u00B7 Arabic recognition isn\u2019t installed on this system");
    const QList<RecognitionLanguage> missing = languagesOf(missingLanguages);
    if (!missing.isEmpty()) {
        QStringList packages;
        for (const RecognitionLanguage &language : missing)
            packages.append(language.package());
        text += QStringLiteral(u" \u00B7 To read %1 too, install %2")
                    .arg(RecognitionLanguages::joinedNames(missing), packages.join(QLatin1Char(' ')));
    }
    return text;
}
