#pragma once

#include "core/AppIdentity.h"
#include "platform/LaunchAtLogin.h"

#include <QString>

// The freedesktop.org autostart entry (AppIdentity::desktopEntry()) in the user's
// autostart folder ($XDG_CONFIG_HOME/autostart). Enabled means the entry exists and is not
// hidden; enabling writes a fresh entry, disabling removes it.
class XdgAutostart final : public LaunchAtLogin
{
public:
    static QString entryName() { return AppIdentity::desktopEntry(); }
    // $XDG_CONFIG_HOME/autostart.
    static QString defaultFolder();

    // The user's autostart folder and the running program.
    XdgAutostart();
    // Another folder, and the program the entry starts (empty: the running program).
    explicit XdgAutostart(const QString &folder, const QString &program = QString());

    QString filePath() const;

    bool isEnabled() const override;
    bool setEnabled(bool on) override;

    // The entry's whole text for `program`.
    static QByteArray entry(const QString &program);
    // The Exec value that starts `program`: the bare name "brimfold" when PATH finds this very
    // program under that name (so the entry survives the package moving it), otherwise its
    // absolute path, quoted and escaped the way the desktop entry format requires.
    static QString execValue(const QString &program);

private:
    QString m_folder;
    QString m_program;
};
