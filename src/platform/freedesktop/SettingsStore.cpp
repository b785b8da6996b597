#include "platform/freedesktop/SettingsStore.h"

#include "platform/freedesktop/PrivateFolder.h"
#include "platform/freedesktop/SafeFile.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <cerrno>

Q_LOGGING_CATEGORY(lcSettingsStore, "brimfold.settings.store", QtWarningMsg)

namespace {

constexpr mode_t privateFile = 0600;
// Enough for years of crashes; past it a write fails rather than overwrite an old copy.
constexpr int maxCorruptCopies = 1000;

const QString dataMember = QStringLiteral("data");


} // namespace

std::unique_ptr<SettingsStore> SettingsStore::open(const QString &suite)
{
    if (suite.isEmpty() || suite.contains(QLatin1Char('/')) || suite == QLatin1String(".")
        || suite == QLatin1String("..")) {
        return nullptr;
    }
    const QString root = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (root.isEmpty())
        return nullptr;
    const QString folder = root + QLatin1Char('/') + suite;
    if (!PrivateFolder::make(folder)) {
        qCWarning(lcSettingsStore) << "cannot create settings folder" << folder;
        return nullptr;
    }
    return std::make_unique<SettingsStore>(folder + QStringLiteral("/settings.json"));
}

SettingsStore::SettingsStore(const QString &filePath)
    : m_filePath(QFileInfo(filePath).absoluteFilePath())
{
    load();
}

void SettingsStore::load()
{
    // A link is refused too: what it points to is not ours to read, nor, later, to replace.
    const SafeFile::ReadResult read = SafeFile::read(m_filePath, maximumFileBytes);
    if (const auto *failure = std::get_if<SafeFile::ReadFailure>(&read)) {
        if (*failure == SafeFile::ReadFailure::missing)
            return;
        qCWarning(lcSettingsStore) << "cannot read" << m_filePath << int(*failure);
        m_corrupt = true;
        return;
    }
    const QByteArray &bytes = std::get<QByteArray>(read);
    // An empty file holds nothing that could be lost.
    if (bytes.trimmed().isEmpty())
        return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcSettingsStore) << "unusable settings file" << m_filePath << error.errorString();
        m_corrupt = true;
        return;
    }
    m_values = document.object();
}

std::optional<bool> SettingsStore::boolean(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<QString> SettingsStore::string(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QByteArray> SettingsStore::data(const QString &key) const
{
    return decodeData(m_values.value(key));
}

std::optional<QJsonValue> SettingsStore::object(const QString &key) const
{
    const auto found = m_values.constFind(key);
    if (found == m_values.constEnd())
        return std::nullopt;
    return found.value();
}

QJsonValue SettingsStore::encodeData(const QByteArray &value)
{
    return QJsonObject{{dataMember, QString::fromLatin1(value.toBase64())}};
}

std::optional<QByteArray> SettingsStore::decodeData(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    // Only the exact shape we write is binary data, not any object with such a member.
    if (object.size() != 1 || !object.value(dataMember).isString())
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(
        object.value(dataMember).toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

SettingsStore::Batch &SettingsStore::Batch::setBool(const QString &key, bool value)
{
    return setValue(key, QJsonValue(value));
}

SettingsStore::Batch &SettingsStore::Batch::setString(const QString &key, const QString &value)
{
    return setValue(key, QJsonValue(value));
}

SettingsStore::Batch &SettingsStore::Batch::setData(const QString &key, const QByteArray &value)
{
    return setValue(key, encodeData(value));
}

SettingsStore::Batch &SettingsStore::Batch::setValue(const QString &key, const QJsonValue &value)
{
    m_changes.append(Change{key, value});
    return *this;
}

SettingsStore::Batch &SettingsStore::Batch::remove(const QString &key)
{
    return setValue(key, QJsonValue(QJsonValue::Undefined));
}

QStringList SettingsStore::Batch::keys() const
{
    QStringList result;
    result.reserve(m_changes.size());
    for (const Change &change : m_changes)
        result.append(change.key);
    return result;
}

bool SettingsStore::setBool(const QString &key, bool value)
{
    return write(Batch().setBool(key, value));
}

bool SettingsStore::setString(const QString &key, const QString &value)
{
    return write(Batch().setString(key, value));
}

bool SettingsStore::setData(const QString &key, const QByteArray &value)
{
    return write(Batch().setData(key, value));
}

bool SettingsStore::setValue(const QString &key, const QJsonValue &value)
{
    return write(Batch().setValue(key, value));
}

bool SettingsStore::remove(const QString &key)
{
    return write(Batch().remove(key));
}

bool SettingsStore::write(const Batch &batch)
{
    QJsonObject next = m_values;
    for (const Batch::Change &change : batch.m_changes) {
        if (change.value.isUndefined())
            next.remove(change.key);
        else
            next.insert(change.key, change.value);
    }
    // Nothing changes: the file already says this, and rewriting it would only cost a sync.
    if (next == m_values && !m_corrupt && SafeFile::entryExists(m_filePath))
        return true;
    if (!ensureFolder())
        return false;
    if (m_corrupt && !moveCorruptFileAside())
        return false;
    if (!writeFile(next))
        return false;
    m_values = next;
    return true;
}

bool SettingsStore::ensureFolder() const
{
    if (PrivateFolder::make(QFileInfo(m_filePath).absolutePath()))
        return true;
    qCWarning(lcSettingsStore) << "cannot create the folder of" << m_filePath;
    return false;
}

bool SettingsStore::moveCorruptFileAside()
{
    if (!SafeFile::entryExists(m_filePath)) {
        m_corrupt = false;
        return true;
    }
    const QString base = m_filePath + QStringLiteral(".corrupt");
    for (int copy = 0; copy < maxCorruptCopies; ++copy) {
        const QString target = copy == 0 ? base : base + QLatin1Char('.') + QString::number(copy);
        if (SafeFile::entryExists(target))
            continue;
        // Never replaces an existing copy, so one that appeared meanwhile survives too; a link
        // is moved as a link, a pipe or device without being opened.
        const SafeFile::Result moved = SafeFile::moveAside(m_filePath, target);
        if (!moved) {
            qCWarning(lcSettingsStore) << "kept unusable settings as" << target;
            m_corrupt = false;
            return true;
        }
        if (moved->error == EEXIST)
            continue;
        qCWarning(lcSettingsStore) << "cannot move unusable settings aside to" << target
                                   << moved->message();
        return false;
    }
    return false;
}

bool SettingsStore::writeFile(const QJsonObject &values)
{
    const QByteArray bytes = QJsonDocument(values).toJson(QJsonDocument::Indented);
    // The next start would set such a file aside unread.
    if (bytes.size() > maximumFileBytes) {
        qCWarning(lcSettingsStore) << "settings too large to keep:" << bytes.size() << "bytes";
        return false;
    }
    // Private from its creation, so the settings are never readable by others, even briefly.
    if (const SafeFile::Result failed = SafeFile::write(m_filePath, bytes, privateFile)) {
        qCWarning(lcSettingsStore) << "cannot write" << m_filePath << failed->message();
        return false;
    }
    return true;
}
