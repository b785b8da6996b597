#include "core/Screenshot.h"

#include "core/ScreenshotTextSearch.h"

#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <sys/stat.h>

Screenshot::Screenshot(const QUrl &url, const QDateTime &createdAt, const QDateTime &modifiedAt,
                       qint64 bytes, int width, int height)
    : m_createdAt(createdAt)
    , m_modifiedAt(modifiedAt)
    , m_bytes(bytes)
    , m_width(width)
    , m_height(height)
{
    const QString path = url.toLocalFile();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    m_path = canonical.isEmpty() ? path : canonical;
    deriveTexts();
}

Screenshot Screenshot::withResolvedPath(const QString &path, const QDateTime &createdAt,
                                        const QDateTime &modifiedAt, qint64 bytes, int width,
                                        int height)
{
    Screenshot s;
    s.m_path = path;
    s.m_createdAt = createdAt;
    s.m_modifiedAt = modifiedAt;
    s.m_bytes = bytes;
    s.m_width = width;
    s.m_height = height;
    s.deriveTexts();
    return s;
}

QDateTime Screenshot::distantPast()
{
    // 1 January of year 1 (Julian), the customary "distant past" of date libraries.
    return QDateTime::fromSecsSinceEpoch(-62135769600LL, Qt::UTC);
}

QString Screenshot::dimensions() const
{
    return QStringLiteral("%1 \u00D7 %2").arg(m_width).arg(m_height);
}

QString Screenshot::secondsText(const QDateTime &date)
{
    const double seconds = double(date.toMSecsSinceEpoch()) / 1000.0;
    char buffer[64];
    // Fixed notation without a precision gives the shortest text that round-trips.
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds,
                                      std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, int(result.ptr - buffer));
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

void Screenshot::deriveTexts()
{
    const int slash = int(m_path.lastIndexOf(QLatin1Char('/')));
    QString name = m_path.mid(slash + 1);
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    if (dot > 0)
        name.truncate(dot);
    m_displayName = name;
    m_searchName = ScreenshotTextSearch::normalize(m_displayName);
    m_cacheKey = m_path + QLatin1Char(':') + secondsText(m_modifiedAt) + QLatin1Char(':')
        + QString::number(m_bytes);
}

bool Screenshot::matchesCurrentFile() const
{
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return false;
    const qint64 msecs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return msecs == m_modifiedAt.toMSecsSinceEpoch() && qint64(st.st_size) == m_bytes;
}
