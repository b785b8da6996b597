#include "platform/freedesktop/XdgAutostart.h"

#include "platform/freedesktop/SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcAutostart, "brimfold.platform.autostart", QtWarningMsg)

namespace {

const QString kProgramName = QStringLiteral("brimfold");
// A desktop entry is a few hundred bytes; nothing larger is ours.
constexpr qint64 kMaximumEntryBytes = 64 * 1024;
// Nothing secret in it, and the usual mode of autostart entries.
constexpr mode_t kEntryMode = 0644;

// Characters that make an Exec argument need quotes.
bool needsQuoting(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// One Exec argument: quoted when it holds a reserved character, with the four characters
// that stay special inside quotes escaped; "%" doubled so it is no field code.
QString execArgument(const QString &argument)
{
    QString quoted;
    const bool quote = std::any_of(argument.cbegin(), argument.cend(), needsQuoting);
    for (const QChar c : argument) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            quoted += u'\\';
        quoted += c;
        if (c == u'%')
            quoted += u'%';
    }
    return quote ? u'"' + quoted + u'"' : quoted;
}

// The escapes of every string value in a desktop entry, applied on top of the Exec quoting:
// readers undo these first, so a backslash of the quoting becomes "\\".
QString escapeValue(const QString &value)
{
    QString escaped;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            escaped += QStringLiteral("\\\\");
            break;
        case '\n':
            escaped += QStringLiteral("\\n");
            break;
        case '\t':
            escaped += QStringLiteral("\\t");
            break;
        case '\r':
            escaped += QStringLiteral("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// True when the entry's main group says Hidden=true (spaces around "=" allowed).
bool isHidden(const QByteArray &text)
{
    bool inMainGroup = false;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup || line.startsWith('#'))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == "Hidden")
            return line.mid(equals + 1).trimmed() == "true";
    }
    return false;
}

} // namespace

QString XdgAutostart::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart");
}

XdgAutostart::XdgAutostart()
    : XdgAutostart(defaultFolder())
{
}

XdgAutostart::XdgAutostart(const QString &folder, const QString &program)
    : m_folder(folder)
    , m_program(program.isEmpty() ? QCoreApplication::applicationFilePath() : program)
{
}

QString XdgAutostart::filePath() const
{
    return QDir(m_folder).filePath(entryName());
}

bool XdgAutostart::isEnabled() const
{
    // A link the user made to an entry elsewhere counts; the session follows it too.
    const SafeFile::ReadResult read =
        SafeFile::read(filePath(), kMaximumEntryBytes, SafeFile::Links::follow);
    const auto *text = std::get_if<QByteArray>(&read);
    return text && !isHidden(*text);
}

bool XdgAutostart::setEnabled(bool on)
{
    const QString path = filePath();
    if (!on) {
        // A link is removed itself, never what it points to. No entry, or no folder for one,
        // is nothing to remove.
        if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT || errno == ENOTDIR)
            return true;
        qCWarning(lcAutostart) << "could not remove" << path;
        return false;
    }
    if (!QDir().mkpath(m_folder)) {
        qCWarning(lcAutostart) << "could not create" << m_folder;
        return false;
    }
    // Replaces a link with a file of our own; what it pointed to is left alone.
    if (const SafeFile::Result failed = SafeFile::write(path, entry(m_program), kEntryMode)) {
        qCWarning(lcAutostart) << "could not write" << path << failed->message();
        return false;
    }
    return true;
}

QString XdgAutostart::execValue(const QString &program)
{
    const QString onPath = QStandardPaths::findExecutable(kProgramName);
    if (!onPath.isEmpty()
        && QFileInfo(onPath).canonicalFilePath() == QFileInfo(program).canonicalFilePath())
        return kProgramName;
    return escapeValue(execArgument(QFileInfo(program).absoluteFilePath()));
}

QByteArray XdgAutostart::entry(const QString &program)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Brimfold\n"
                                        "Exec=%1\n"
                                        "Icon=%2\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(execValue(program), AppIdentity::applicationId());
    return text.toUtf8();
}
