#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringView>

#include <optional>

// A language text can be read in.
struct RecognitionLanguage final
{
    // BCP 47: "en-US", "de", "zh-Hans". Part of the recogniser's identifier, and so of every
    // cache file name: a tag, once given out, never changes.
    QString tag;
    // The engine's: "eng", "deu", "chi_sim"; its data is <code>.traineddata.
    QString code;
    // In English, for the settings: "German".
    QString name;

    // The Debian package that installs its data: "tesseract-ocr-chi-sim".
    QString package() const;

    friend bool operator==(const RecognitionLanguage &, const RecognitionLanguage &) = default;
};

// Which languages the user reads, from the locale, and what the engine calls them.
class RecognitionLanguages final
{
public:
    RecognitionLanguages() = delete;

    // English and Arabic, always read first when installed, in that order.
    static const QList<RecognitionLanguage> &base();

    // The language a locale or gettext language names ("de_AT.UTF-8@euro", "zh_TW", "sr@latin"),
    // most specific form first as gettext looks for a catalogue; none when the table has none.
    static std::optional<RecognitionLanguage> forLocale(QStringView locale);

    // The user's languages beyond English and Arabic, most preferred first, each once: those
    // of LANGUAGE's list, then of the locale (LC_ALL, LC_MESSAGES, LANG, the first set). As in
    // gettext, a "C" or "POSIX" locale means no language at all, whatever LANGUAGE says.
    static QList<RecognitionLanguage> ofUser(const QProcessEnvironment &environment);

    // Any language of the table by its tag or engine code.
    static std::optional<RecognitionLanguage> forTag(QStringView tag);
    static std::optional<RecognitionLanguage> forCode(QStringView code);

    // "English", "English & Arabic", "English, Arabic & German".
    static QString joinedNames(const QList<RecognitionLanguage> &languages);
};
