#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the desktop's screenshot tools call their files and folders in each language they are
// translated into, from the table compiled in from data/screenshot-names.txt.
class ScreenshotNames final
{
public:
    struct Entry
    {
        QString language; // a gettext language code: "de", "pt_BR", "sr@latin"
        QString text;     // as the tool's translation spells it, in canonical composition
    };

    // A translation of a tool's file-name message that puts the date first, kept whole.
    struct Template
    {
        QString language;
        QString tool; // "gnome-shell" or "gnome-screenshot": what fills the placeholders
        QString text; // in canonical composition, with the tool's placeholders
    };

    // The fixed beginnings of screenshot file names, in table order.
    static const QList<Entry> &filePrefixes();
    // The date-first translations, in table order.
    static const QList<Template> &templates();
    // The names of the screenshot folder inside the pictures folder.
    static const QList<Entry> &folderNames();

    // The folder names for the given languages, most preferred first, each language found as
    // gettext finds a catalogue: "de_AT.UTF-8@euro" tries de_AT@euro, de_AT, de@euro, de.
    static QStringList folderNamesFor(const QStringList &languages);

    // The user's languages as gettext orders them: LANGUAGE's list, unless the locale
    // (LC_ALL, LC_MESSAGES, LANG, first set) is "C" or "POSIX", then the locale itself.
    static QStringList userLanguages();

    // Parses a table in the compiled-in format. Lines that are not "kind<TAB>language<TAB>text"
    // with a known kind, or "template<TAB>language<TAB>tool<TAB>text", are skipped.
    static void parse(QStringView table, QList<Entry> &prefixes, QList<Entry> &folders,
                      QList<Template> *templates = nullptr);

    ScreenshotNames() = delete;
};
