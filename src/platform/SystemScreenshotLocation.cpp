#include "platform/SystemScreenshotLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QString toolConfigName = QStringLiteral("spectaclerc");
// A configuration file is a few kilobytes; anything far larger is not one.
constexpr qint64 maxConfigBytes = 1 << 20;

struct SaveKey
{
    const char *group;
    const char *key;
};

// Newest releases of the tool first; older ones kept the setting elsewhere.
constexpr SaveKey saveKeys[] = {
    {"ImageSave", "imageSaveLocation"},
    {"General", "defaultSaveLocation"},
    {"Save", "defaultSaveLocation"},
    {"General", "default-save-location"},
};

// Expands $NAME and ${NAME} from the environment, as the tool's configuration does for
// entries marked [$e]. Command substitution, $(…), is deliberately left as it stands.
QString expandEnvironment(const QString &text)
{
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('$') || i + 1 >= text.size()) {
            result.append(c);
            continue;
        }
        qsizetype start = i + 1;
        qsizetype end = start;
        bool braced = false;
        if (text.at(start) == QLatin1Char('{')) {
            braced = true;
            end = text.indexOf(QLatin1Char('}'), start);
            if (end < 0) {
                result.append(c);
                continue;
            }
            ++start;
        } else {
            while (end < text.size() && (text.at(end).isLetterOrNumber() || text.at(end) == QLatin1Char('_')))
                ++end;
        }
        if (end == start) {
            result.append(c);
            continue;
        }
        const QString name = text.mid(start, end - start);
        result.append(qEnvironmentVariable(name.toLocal8Bit().constData()));
        i = braced ? end : end - 1;
    }
    return result;
}

// Undoes the escapes the tool's configuration writer uses (\s \t \n \r \\ \xNN).
QString unescape(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= text.size()) {
            result.append(c);
            continue;
        }
        const QChar next = text.at(++i);
        switch (next.unicode()) {
        case 's': result.append(QLatin1Char(' ')); break;
        case 't': result.append(QLatin1Char('\t')); break;
        case 'n': result.append(QLatin1Char('\n')); break;
        case 'r': result.append(QLatin1Char('\r')); break;
        case 'x': {
            bool ok = false;
            const uint code = text.mid(i + 1, 2).toUInt(&ok, 16);
            if (ok && i + 2 < text.size()) {
                result.append(QChar(code));
                i += 2;
            } else {
                result.append(next);
            }
            break;
        }
        default: result.append(next); break;
        }
    }
    return result;
}

// The entries of an INI-style file, keyed by "group" + '\n' + "key". Read by hand because
// the tool's files use conventions (key options in brackets, nested groups, escapes) that
// QSettings would misread.
QHash<QString, QString> readEntries(const QString &path)
{
    QHash<QString, QString> entries;
    QFile file(path);
    if (file.size() > maxConfigBytes || !file.open(QIODevice::ReadOnly))
        return entries;
    const QString text = QString::fromUtf8(file.readAll());
    QString group;
    for (QStringView rawLine : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            // "[A][B]" is group B nested in A; nested groups never match ours.
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                continue;
            group = line.sliced(1, close - 1).toString();
            if (close + 1 < line.size())
                group.append(QLatin1Char('\x1f')).append(line.sliced(close + 1));
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        QStringView key = line.first(equals).trimmed();
        QString value = unescape(line.sliced(equals + 1).trimmed().toString());
        if (key.endsWith(QLatin1Char(']'))) {
            const qsizetype open = key.lastIndexOf(QLatin1Char('['));
            if (open <= 0)
                continue;
            const QStringView options = key.sliced(open + 1, key.size() - open - 2);
            // "key[de]" is a translation, not the setting itself.
            if (!options.startsWith(QLatin1Char('$')))
                continue;
            if (options.contains(QLatin1Char('e')))
                value = expandEnvironment(value);
            key = key.first(open).trimmed();
        }
        entries.insert(group + QLatin1Char('\n') + key.toString(), value);
    }
    return entries;
}

// A file URL or a plain path becomes a path; other URLs name no folder we can watch.
std::optional<QString> pathFromSetting(const QString &value)
{
    if (value.isEmpty())
        return std::nullopt;
    if (value.startsWith(QLatin1Char('~')))
        return value;
    if (value.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(value);
    const QUrl url(value);
    if (!url.isValid() || !url.isLocalFile() || url.toLocalFile().isEmpty())
        return std::nullopt;
    return QDir::cleanPath(url.toLocalFile());
}

} // namespace

SystemScreenshotLocation::SystemScreenshotLocation()
    : SystemScreenshotLocation(
        QStandardPaths::locateAll(QStandardPaths::GenericConfigLocation, toolConfigName),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
{
}

SystemScreenshotLocation::SystemScreenshotLocation(const QStringList &toolConfigFiles,
                                                   const QString &picturesFolder)
    : m_toolConfigFiles(toolConfigFiles)
    , m_picturesFolder(picturesFolder)
{
}

std::optional<QString> SystemScreenshotLocation::location() const
{
    for (const QString &file : m_toolConfigFiles) {
        if (auto path = toolSaveLocation(file))
            return path;
    }
    if (m_picturesFolder.isEmpty())
        return std::nullopt;
    const QString folder = QDir(m_picturesFolder).filePath(QStringLiteral("Screenshots"));
    if (!QFileInfo(folder).isDir())
        return std::nullopt;
    return QDir::cleanPath(folder);
}

std::optional<QString> SystemScreenshotLocation::toolSaveLocation(const QString &configFile)
{
    const QHash<QString, QString> entries = readEntries(configFile);
    for (const SaveKey &saveKey : saveKeys) {
        const auto found = entries.constFind(QLatin1String(saveKey.group) + QLatin1Char('\n')
                                             + QLatin1String(saveKey.key));
        if (found == entries.constEnd())
            continue;
        if (auto path = pathFromSetting(found.value()))
            return path;
    }
    return std::nullopt;
}
