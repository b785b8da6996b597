#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

// The user's pin set: the only library data that outlives the process.
class LibraryState final
{
public:
    LibraryState() = default;
    explicit LibraryState(QSet<QString> pinnedPaths);

    // The `Screenshot::id` (file path) of every pinned screenshot.
    const QSet<QString> &pinnedPaths() const { return m_pinnedPaths; }
    bool contains(const QString &path) const { return m_pinnedPaths.contains(path); }
    void insert(const QString &path) { m_pinnedPaths.insert(path); }
    void remove(const QString &path) { m_pinnedPaths.remove(path); }
    // Removes the path when present, else inserts it.
    void togglePin(const QString &path);

    // {"pinnedPaths": [...]}, paths sorted so equal sets store identical bytes.
    QByteArray toJson() const;
    // Missing data, anything that isn't a JSON object with a "pinnedPaths" array gives no
    // pins, silently. Entries that aren't strings are skipped and the rest kept: one bad
    // entry shouldn't cost the user every pin.
    static LibraryState fromJson(const QByteArray &data);

    friend bool operator==(const LibraryState &, const LibraryState &) = default;

private:
    QSet<QString> m_pinnedPaths;
};
