#pragma once

#include <QString>
#include <QStringList>

// What a recogniser reads and a name for everything that can change its output.
struct TextRecognitionCapabilities final
{
    // Language tags in priority order: "en-US", "ar-SA", then the user's own languages
    // (RecognitionLanguages), each when its data is installed.
    QStringList languages;
    // Changes whenever the same image could yield a different text (engine, model data,
    // languages); part of every cache file name.
    QString identifier;
    // Tags of the user's languages whose data isn't installed, most preferred first: the
    // summary says which package would add them.
    QStringList missingLanguages = {};

    // True when any language tag begins with "ar-".
    bool supportsArabic() const;
    // The one-line summary shown in the settings.
    QString description() const;

    friend bool operator==(const TextRecognitionCapabilities &,
                           const TextRecognitionCapabilities &) = default;
};
