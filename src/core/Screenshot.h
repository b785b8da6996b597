#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

// One image file of the connected folder, with the few facts the gallery needs.
// Its identity (`id`) is the file's path with symbolic links resolved.
class Screenshot final
{
public:
    Screenshot() = default;
    // Resolves symbolic links in the url's path (when the file exists).
    Screenshot(const QUrl &url, const QDateTime &createdAt, const QDateTime &modifiedAt,
               qint64 bytes, int width, int height);

    // For callers that already hold a canonical path (the scanner resolves the folder once).
    static Screenshot withResolvedPath(const QString &path, const QDateTime &createdAt,
                                       const QDateTime &modifiedAt, qint64 bytes, int width,
                                       int height);

    // The date used when the file system reports none; sorts before every real date.
    static QDateTime distantPast();

    QUrl url() const { return QUrl::fromLocalFile(m_path); }
    const QDateTime &createdAt() const { return m_createdAt; }
    const QDateTime &modifiedAt() const { return m_modifiedAt; }
    qint64 bytes() const { return m_bytes; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    const QString &id() const { return m_path; }
    const QString &displayName() const { return m_displayName; }
    // The display name as a search compares it (ScreenshotTextSearch::normalize).
    const QString &searchName() const { return m_searchName; }
    QString dimensions() const;
    // Changes whenever the file is replaced or edited: keys thumbnails and recognised text.
    const QString &cacheKey() const { return m_cacheKey; }

    // True when the file at the path still has the recorded modification date and size.
    bool matchesCurrentFile() const;

    friend bool operator==(const Screenshot &a, const Screenshot &b)
    {
        return a.m_path == b.m_path && a.m_createdAt == b.m_createdAt
            && a.m_modifiedAt == b.m_modifiedAt && a.m_bytes == b.m_bytes
            && a.m_width == b.m_width && a.m_height == b.m_height;
    }

    // Seconds since 1970 in the shortest decimal that reads back to the same value,
    // keeping ".0" on whole numbers.
    static QString secondsText(const QDateTime &date);

private:
    void deriveTexts();

    QString m_path;
    QDateTime m_createdAt;
    QDateTime m_modifiedAt;
    qint64 m_bytes = 0;
    int m_width = 0;
    int m_height = 0;
    // Derived once; all are read for every item on every filtering pass.
    QString m_displayName;
    QString m_searchName;
    QString m_cacheKey;
};
