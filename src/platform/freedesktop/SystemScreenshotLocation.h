#pragma once

#include "platform/ScreenshotLocation.h"
#include "platform/freedesktop/ScreenshotNamePatterns.h"

#include <QStringList>

#include <functional>

// The screenshot folder of the Linux desktop, read from what each common screenshot tool is
// set to, without starting any of them. The candidates, most preferred first:
// 1. gnome-screenshot's "auto-save-directory" (GSettings: the dconf database or the keyfile
//    backend);
// 2. KDE's screenshot tool ("spectaclerc" in the configuration folders, the user's own first);
// 3. Flameshot's "savePath" (flameshot/flameshot.ini);
// 4. the Xfce screenshooter's "screenshot_dir" (xfce4/xfce4-screenshooter);
// 5. GNOME Shell's folder: the localized "Screenshots" inside the pictures folder, in the
//    user's languages, then in English;
// 6. the pictures folder itself, where the tools save by default, only when it holds screenshots.
// Of the candidates that exist, the one holding the newest screenshot is suggested; when none
// holds any, the first that exists; when none exists, the first a tool is explicitly set to.
// File names: Flameshot's "filenamePattern" (and its default, which named the files taken
// before the user changed it).
class SystemScreenshotLocation final : public ScreenshotLocation
{
public:
    // When the newest screenshot in a folder was last modified (ms since the epoch), a file
    // counting by the standard names or the given patterns; none when it holds no screenshot
    // or cannot be listed. Must only list the folder, never decode.
    using NewestScreenshot =
        std::function<std::optional<qint64>(const QString &folder, const ScreenshotNamePatterns &names)>;

    // Where to look. Missing files and folders are harmless.
    struct Sources
    {
        QString home; // what "~" stands for
        QString picturesFolder;
        QStringList languages; // gettext's order, most preferred first
        QString gsettingsKeyfile;
        QString dconfProgram; // empty: no dconf database is read
        QStringList kdeConfigFiles;
        QString flameshotConfig;
        QString xfceConfig;

        // The user's: $HOME, the XDG pictures folder (user-dirs.dirs), $XDG_CONFIG_HOME and
        // $XDG_CONFIG_DIRS, the locale's languages and "dconf" on $PATH.
        static Sources fromEnvironment();
    };

    // A folder that may be suggested, and why.
    struct Candidate
    {
        QString path; // as the setting gives it: may begin with "~"
        bool explicitSetting = false; // a tool is set to it (else it is a default)
        bool onlyWithScreenshots = false; // suggested only when it holds screenshots
        friend bool operator==(const Candidate &, const Candidate &) = default;
    };

    explicit SystemScreenshotLocation(NewestScreenshot newestScreenshot);
    SystemScreenshotLocation(Sources sources, NewestScreenshot newestScreenshot);

    std::optional<QString> location() const override;
    QList<ScreenshotNamePattern> fileNamePatterns() const override;

    // Every folder the settings name, in order of preference, duplicates removed.
    QList<Candidate> candidates() const;

    // The save location one KDE configuration file gives, as a path; none when the file
    // is missing or names no local folder.
    static std::optional<QString> toolSaveLocation(const QString &configFile);
    // The folder Flameshot is set to save into.
    static std::optional<QString> flameshotSaveLocation(const QString &configFile);
    // The file-name pattern Flameshot is set to; its default when none is set.
    static QString flameshotFileNamePattern(const QString &configFile);
    // The folder the Xfce screenshooter is set to save into.
    static std::optional<QString> xfceSaveLocation(const QString &configFile);
    // gnome-screenshot's folder as the GSettings keyfile backend's file stores it.
    static std::optional<QString> gnomeScreenshotKeyfileLocation(const QString &keyfile);
    // A GVariant text-format string ('…' or "…" with backslash escapes); none for anything else.
    static std::optional<QString> parseGVariantString(QStringView text);

private:
    std::optional<QString> gnomeScreenshotLocation() const;
    QString expanded(const QString &path) const;

    Sources m_sources;
    NewestScreenshot m_newestScreenshot;
};
