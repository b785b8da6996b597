#include "platform/freedesktop/SystemScreenshotLocation.h"

#include "platform/freedesktop/ScreenshotNames.h"

#include <QAnyStringView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <limits>

Q_LOGGING_CATEGORY(lcLocation, "brimfold.platform.location", QtWarningMsg)

namespace {

const QString kdeConfigName = QStringLiteral("spectaclerc");
const QString gnomeScreenshotGroup = QStringLiteral("org/gnome/gnome-screenshot");
const QString gnomeScreenshotKey = QStringLiteral("auto-save-directory");
// A configuration file is a few kilobytes; anything far larger is not one.
constexpr qint64 maxConfigBytes = 1 << 20;
// Reading one key from the dconf database takes milliseconds; a hung reader must not hold up
// the start.
constexpr int dconfTimeoutMs = 1000;

struct SaveKey
{
    const char *group;
    const char *key;
};

// Newest releases of the KDE tool first; older ones kept the setting elsewhere.
constexpr SaveKey kdeSaveKeys[] = {
    {"ImageSave", "imageSaveLocation"},
    {"General", "defaultSaveLocation"},
    {"Save", "defaultSaveLocation"},
    {"General", "default-save-location"},
};

// Expands $NAME and ${NAME} from the environment, as KDE's configuration does for entries
// marked [$e]. Command substitution, $(…), is deliberately left as it stands.
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

// Undoes the escapes KDE's configuration writer uses (\s \t \n \r \\ \xNN).
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

QString entryKey(QAnyStringView group, QAnyStringView key)
{
    return group.toString() + QLatin1Char('\n') + key.toString();
}

// The entries of an INI-style file, keyed by entryKey(group, key); entries before any group
// have the empty group. Read by hand because these files use conventions (key options in
// brackets, nested groups, escapes) that QSettings would misread. Values are taken raw when
// `kdeEscapes` is false.
QHash<QString, QString> readEntries(const QString &path, bool kdeEscapes = true)
{
    QHash<QString, QString> entries;
    if (path.isEmpty())
        return entries;
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
        const QString raw = line.sliced(equals + 1).trimmed().toString();
        QString value = kdeEscapes ? unescape(raw) : raw;
        if (kdeEscapes && key.endsWith(QLatin1Char(']'))) {
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
        entries.insert(entryKey(group, key), value);
    }
    return entries;
}

// One text setting of Flameshot's configuration file. Flameshot writes this file with
// QSettings, so QSettings reads it exactly; its top-level keys are the ones that file shows
// under "[General]".
std::optional<QString> flameshotSetting(const QString &configFile, const QString &key)
{
    const QFileInfo info(configFile);
    if (!info.isFile() || info.size() > maxConfigBytes)
        return std::nullopt;
    const QSettings settings(configFile, QSettings::IniFormat);
    const QVariant value = settings.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
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

SystemScreenshotLocation::Sources SystemScreenshotLocation::Sources::fromEnvironment()
{
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    Sources sources;
    sources.home = QDir::homePath();
    sources.picturesFolder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    sources.languages = ScreenshotNames::userLanguages();
    sources.gsettingsKeyfile = configHome + QStringLiteral("/glib-2.0/settings/keyfile");
    sources.dconfProgram = QStandardPaths::findExecutable(QStringLiteral("dconf"));
    sources.kdeConfigFiles = QStandardPaths::locateAll(QStandardPaths::GenericConfigLocation, kdeConfigName);
    sources.flameshotConfig = configHome + QStringLiteral("/flameshot/flameshot.ini");
    sources.xfceConfig = configHome + QStringLiteral("/xfce4/xfce4-screenshooter");
    return sources;
}

SystemScreenshotLocation::SystemScreenshotLocation(NewestScreenshot newestScreenshot)
    : SystemScreenshotLocation(Sources::fromEnvironment(), std::move(newestScreenshot))
{
}

SystemScreenshotLocation::SystemScreenshotLocation(Sources sources, NewestScreenshot newestScreenshot)
    : m_sources(std::move(sources))
    , m_newestScreenshot(std::move(newestScreenshot))
{
}

QList<SystemScreenshotLocation::Candidate> SystemScreenshotLocation::candidates() const
{
    QList<Candidate> list;
    QStringList seen;
    const auto add = [&](const std::optional<QString> &path, bool explicitSetting, bool onlyWithScreenshots) {
        if (!path || path->isEmpty())
            return;
        const QString key = QDir::cleanPath(expanded(*path));
        if (seen.contains(key))
            return;
        seen.append(key);
        list.append({*path, explicitSetting, onlyWithScreenshots});
    };

    add(gnomeScreenshotLocation(), true, false);
    for (const QString &file : m_sources.kdeConfigFiles) {
        if (auto path = toolSaveLocation(file)) {
            add(path, true, false);
            break;
        }
    }
    add(flameshotSaveLocation(m_sources.flameshotConfig), true, false);
    add(xfceSaveLocation(m_sources.xfceConfig), true, false);
    if (!m_sources.picturesFolder.isEmpty()) {
        const QDir pictures(m_sources.picturesFolder);
        QStringList names = ScreenshotNames::folderNamesFor(m_sources.languages);
        names.append(QStringLiteral("Screenshots"));
        for (const QString &name : std::as_const(names))
            add(QDir::cleanPath(pictures.filePath(name)), false, false);
        add(QDir::cleanPath(m_sources.picturesFolder), false, true);
    }
    return list;
}

QList<ScreenshotNamePattern> SystemScreenshotLocation::fileNamePatterns() const
{
    const QString pattern = flameshotFileNamePattern(m_sources.flameshotConfig);
    QList<ScreenshotNamePattern> patterns{ScreenshotNamePattern::flameshot(pattern)};
    // Files taken before the user changed the pattern keep the default's names.
    if (pattern != ScreenshotNamePattern::flameshotDefault)
        patterns.append(ScreenshotNamePattern::flameshot(ScreenshotNamePattern::flameshotDefault));
    return patterns;
}

std::optional<QString> SystemScreenshotLocation::location() const
{
    const QList<Candidate> all = candidates();
    const ScreenshotNamePatterns names(fileNamePatterns());
    std::optional<QString> firstExisting;
    std::optional<QString> newest;
    qint64 newestMs = 0;
    for (const Candidate &candidate : all) {
        const QString folder = expanded(candidate.path);
        if (!QFileInfo(folder).isDir())
            continue;
        if (!firstExisting && !candidate.onlyWithScreenshots)
            firstExisting = candidate.path;
        constexpr qint64 noScreenshot = std::numeric_limits<qint64>::min();
        const qint64 modified = m_newestScreenshot ? m_newestScreenshot(folder, names).value_or(noScreenshot) : noScreenshot;
        qCDebug(lcLocation) << "candidate" << folder << "newest screenshot" << modified;
        // Strictly newer: on a tie the more preferred folder stays.
        if (modified != noScreenshot && (!newest || modified > newestMs)) {
            newest = candidate.path;
            newestMs = modified;
        }
    }
    if (newest)
        return newest;
    if (firstExisting)
        return firstExisting;
    // A tool creates its folder on its first save; its setting still says where that will be.
    for (const Candidate &candidate : all) {
        if (candidate.explicitSetting)
            return candidate.path;
    }
    return std::nullopt;
}

QString SystemScreenshotLocation::expanded(const QString &path) const
{
    if (path == QLatin1String("~"))
        return m_sources.home;
    if (path.startsWith(QLatin1String("~/")))
        return m_sources.home + path.mid(1);
    return path;
}

std::optional<QString> SystemScreenshotLocation::toolSaveLocation(const QString &configFile)
{
    const QHash<QString, QString> entries = readEntries(configFile);
    for (const SaveKey &saveKey : kdeSaveKeys) {
        const auto found = entries.constFind(entryKey(QLatin1String(saveKey.group), QLatin1String(saveKey.key)));
        if (found == entries.constEnd())
            continue;
        if (auto path = pathFromSetting(found.value()))
            return path;
    }
    return std::nullopt;
}

std::optional<QString> SystemScreenshotLocation::flameshotSaveLocation(const QString &configFile)
{
    const std::optional<QString> value = flameshotSetting(configFile, QStringLiteral("savePath"));
    return value ? pathFromSetting(value->trimmed()) : std::nullopt;
}

QString SystemScreenshotLocation::flameshotFileNamePattern(const QString &configFile)
{
    // Flameshot names files by its default when the setting is empty, as when it is missing.
    const std::optional<QString> value = flameshotSetting(configFile, QStringLiteral("filenamePattern"));
    return value && !value->isEmpty() ? *value : ScreenshotNamePattern::flameshotDefault.toString();
}

std::optional<QString> SystemScreenshotLocation::xfceSaveLocation(const QString &configFile)
{
    // A plain key=value file; the folder is kept as a URI, older releases a path.
    const QHash<QString, QString> entries = readEntries(configFile, false);
    for (const QString &group : {QString(), QStringLiteral("Global")}) {
        const auto found = entries.constFind(entryKey(group, u"screenshot_dir"));
        if (found != entries.constEnd())
            return pathFromSetting(found.value());
    }
    return std::nullopt;
}

std::optional<QString> SystemScreenshotLocation::gnomeScreenshotKeyfileLocation(const QString &keyfile)
{
    const QHash<QString, QString> entries = readEntries(keyfile, false);
    const auto found = entries.constFind(entryKey(gnomeScreenshotGroup, gnomeScreenshotKey));
    if (found == entries.constEnd())
        return std::nullopt;
    const std::optional<QString> value = parseGVariantString(found.value());
    return value ? pathFromSetting(*value) : std::nullopt;
}

std::optional<QString> SystemScreenshotLocation::gnomeScreenshotLocation() const
{
    if (auto path = gnomeScreenshotKeyfileLocation(m_sources.gsettingsKeyfile))
        return path;
    if (m_sources.dconfProgram.isEmpty())
        return std::nullopt;
    // The dconf reader only opens the user's database file: no service or tool is started.
    QProcess dconf;
    dconf.setProcessChannelMode(QProcess::SeparateChannels);
    dconf.start(m_sources.dconfProgram,
                {QStringLiteral("read"), QLatin1Char('/') + gnomeScreenshotGroup + QLatin1Char('/') + gnomeScreenshotKey});
    if (!dconf.waitForFinished(dconfTimeoutMs)) {
        qCDebug(lcLocation) << "dconf gave no answer" << dconf.errorString();
        dconf.kill();
        dconf.waitForFinished(dconfTimeoutMs);
        return std::nullopt;
    }
    if (dconf.exitStatus() != QProcess::NormalExit || dconf.exitCode() != 0)
        return std::nullopt;
    const QByteArray output = dconf.readAllStandardOutput().left(maxConfigBytes);
    const std::optional<QString> value = parseGVariantString(QString::fromUtf8(output).trimmed());
    return value ? pathFromSetting(*value) : std::nullopt;
}

std::optional<QString> SystemScreenshotLocation::parseGVariantString(QStringView text)
{
    text = text.trimmed();
    if (text.size() < 2)
        return std::nullopt;
    const QChar quote = text.front();
    if ((quote != QLatin1Char('\'') && quote != QLatin1Char('"')) || text.back() != quote)
        return std::nullopt;
    QString result;
    for (qsizetype i = 1; i + 1 < text.size(); ++i) {
        QChar c = text.at(i);
        if (c == quote)
            return std::nullopt; // an unescaped quote ends the string early: not one string
        if (c != QLatin1Char('\\')) {
            result.append(c);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        c = text.at(++i);
        switch (c.unicode()) {
        case 'n': result.append(QLatin1Char('\n')); break;
        case 't': result.append(QLatin1Char('\t')); break;
        case 'r': result.append(QLatin1Char('\r')); break;
        case 'f': result.append(QLatin1Char('\f')); break;
        case 'b': result.append(QLatin1Char('\b')); break;
        case 'v': result.append(QLatin1Char('\v')); break;
        case 'u':
        case 'U': {
            const qsizetype digits = c == QLatin1Char('u') ? 4 : 8;
            bool ok = false;
            const uint code = text.sliced(i + 1).first(std::min(digits, text.size() - i - 2)).toUInt(&ok, 16);
            if (!ok || i + 1 + digits > text.size() - 1 || code > 0x10FFFF)
                return std::nullopt;
            result.append(QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1));
            i += digits;
            break;
        }
        default: result.append(c); break;
        }
    }
    return result;
}
