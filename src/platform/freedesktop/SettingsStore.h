#pragma once

#include "core/AppIdentity.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// The program's typed key-value store: one JSON file per suite, at
// $XDG_CONFIG_HOME/<suite>/settings.json. Values keep their JSON type (booleans, strings,
// numbers); binary data is stored as {"data": "<base64>"}.
//
// The file is read once when the store is made and every write rewrites it atomically
// (SafeFile, mode 0600, directory 0700), so make one store per suite per process.
//
// A file that cannot be read or parsed, whose top level is not an object, that is larger
// than maximumFileBytes or is no regular file at all (a link, a pipe, a device), reads as
// empty. Before the first write replaces it, it is renamed to "settings.json.corrupt";
// when that name is taken, to "settings.json.corrupt.1", ".2" and so on, so no earlier
// copy is ever overwritten. A link is renamed itself; what it points to is never touched.
//
// Reads are strict: a value of another type reads as missing (a number is no string,
// the string "true" is no boolean).
class SettingsStore final
{
public:
    // Settings are a few kilobytes; even thousands of pins stay far below this.
    static constexpr qint64 maximumFileBytes = 4 * 1024 * 1024;

    static QString normalSuite() { return AppIdentity::applicationId(); }
    static QString demoSuite() { return AppIdentity::demoId(); }

    // The store of `suite` in the user's configuration folder; nullptr when the suite's
    // folder cannot be created (or the suite name is not a plain folder name).
    static std::unique_ptr<SettingsStore> open(const QString &suite);

    // A store kept in `filePath`; its folder is created on the first write when missing.
    explicit SettingsStore(const QString &filePath);

    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    QString filePath() const { return m_filePath; }
    // True when the file on disk could not be used and still waits to be moved aside.
    bool isCorrupt() const { return m_corrupt; }

    bool contains(const QString &key) const { return m_values.contains(key); }
    std::optional<bool> boolean(const QString &key) const;
    // The stored boolean; false when missing or of another type.
    bool boolValue(const QString &key) const { return boolean(key).value_or(false); }
    std::optional<QString> string(const QString &key) const;
    std::optional<QByteArray> data(const QString &key) const;
    // Whatever is stored, in its JSON form (binary data as its {"data": …} object).
    std::optional<QJsonValue> object(const QString &key) const;

    // Several sets and removes applied in order and written with one file write.
    class Batch final
    {
    public:
        Batch &setBool(const QString &key, bool value);
        Batch &setString(const QString &key, const QString &value);
        Batch &setData(const QString &key, const QByteArray &value);
        // An undefined value removes the key.
        Batch &setValue(const QString &key, const QJsonValue &value);
        Batch &remove(const QString &key);

        bool isEmpty() const { return m_changes.isEmpty(); }
        // Keys in the order they were changed.
        QStringList keys() const;

    private:
        friend class SettingsStore;
        struct Change
        {
            QString key;
            QJsonValue value; // undefined: remove
        };
        QList<Change> m_changes;
    };

    // Each write returns false when the file could not be written; the store then keeps
    // its previous contents, so what it reads matches what is on disk.
    bool setBool(const QString &key, bool value);
    bool setString(const QString &key, const QString &value);
    bool setData(const QString &key, const QByteArray &value);
    bool setValue(const QString &key, const QJsonValue &value);
    bool remove(const QString &key);
    bool write(const Batch &batch);

    static QJsonValue encodeData(const QByteArray &value);
    static std::optional<QByteArray> decodeData(const QJsonValue &value);

private:
    void load();
    bool ensureFolder() const;
    bool moveCorruptFileAside();
    bool writeFile(const QJsonObject &values);

    QString m_filePath;
    QJsonObject m_values;
    bool m_corrupt = false;
};
