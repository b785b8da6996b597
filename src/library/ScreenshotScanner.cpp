#include "library/ScreenshotScanner.h"

#include "library/ScreenshotNameRules.h"
#include "platform/freedesktop/ScreenshotMarker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcScanner, "brimfold.library.scanner", QtWarningMsg)

namespace {

// One listed file that passed every test; names live in a shared arena so that listing a
// large folder allocates almost nothing per entry.
struct Candidate
{
    qint64 createdMs = 0;
    qint64 modifiedMs = 0;
    qint64 bytes = 0;
    quint32 nameOffset = 0;
    quint32 nameLength = 0;
    // Sort key: the name's canonical composition in UTF-8, whose byte order is the order of
    // Unicode scalar values. For ASCII names it is the name itself.
    quint32 keyOffset = 0;
    quint32 keyLength = 0;
};

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

struct FreeDeleter
{
    void operator()(char *p) const { std::free(p); }
};

ScreenshotScanner::Error systemError(int code)
{
    char buffer[256];
    // GNU strerror_r: returns the text, which may or may not live in the buffer.
    const char *text = ::strerror_r(code, buffer, sizeof buffer);
    return {code, QString::fromLocal8Bit(text)};
}

qint64 milliseconds(const struct statx_timestamp &t)
{
    // Floor to milliseconds, as every other reader of file dates here does.
    return qint64(t.tv_sec) * 1000 + qint64(t.tv_nsec) / 1000000;
}

qint64 distantPastMs()
{
    static const qint64 value = Screenshot::distantPast().toMSecsSinceEpoch();
    return value;
}

// The earlier of birth and modification time. Copying tools (cp -p, rsync -a, tar, file
// managers) keep only the modification time, and Linux cannot set a birth time: a copied
// folder would otherwise show every file as taken at the moment of the copy, in copy order.
// Without a birth time the modification date stands in, for the order as for the record:
// sorting such files as the distant past would keep an arbitrary 500.
qint64 creationMs(const struct statx &status)
{
    const bool born = status.stx_mask & STATX_BTIME;
    const bool modified = status.stx_mask & STATX_MTIME;
    if (born && modified)
        return std::min(milliseconds(status.stx_btime), milliseconds(status.stx_mtime));
    if (born)
        return milliseconds(status.stx_btime);
    return modified ? milliseconds(status.stx_mtime) : distantPastMs();
}

QDateTime dateFromMs(qint64 ms)
{
    // UTC dates are plain numbers inside QDateTime; local ones would cost a time-zone lookup each.
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

// Whether a file counts by its name (or, failing that, its marker), from the listing alone.
bool countsAsScreenshot(const char *name, std::size_t length, std::string &nativePath, std::size_t folderLength,
                        const ScreenshotNamePatterns &patterns)
{
    if (ScreenshotNameRules::hasScreenshotName(name, length, patterns))
        return true;
    nativePath.resize(folderLength);
    nativePath.append(name, length);
    return ScreenshotMarker::isSet(nativePath.c_str());
}

bool keyLess(const char *arena, const Candidate &a, const Candidate &b)
{
    const std::size_t common = std::min(a.keyLength, b.keyLength);
    const int order = std::memcmp(arena + a.keyOffset, arena + b.keyOffset, common);
    if (order != 0)
        return order < 0;
    return a.keyLength < b.keyLength;
}

QString canonicalPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// The preserved paths that can name an entry of this folder, as the entries' raw names.
QSet<QByteArray> preservedNames(const QSet<QString> &preservingPaths, const QString &folderPrefix)
{
    QSet<QByteArray> names;
    for (const QString &path : preservingPaths) {
        const QString canonical = canonicalPath(path);
        if (canonical.size() <= folderPrefix.size() || !canonical.startsWith(folderPrefix)
            || canonical.indexOf(QLatin1Char('/'), folderPrefix.size()) >= 0)
            continue;
        names.insert(canonical.mid(folderPrefix.size()).toUtf8());
    }
    return names;
}

} // namespace

std::optional<qint64> ScreenshotScanner::newestScreenshotMs(const QString &folder,
                                                           const ScreenshotNamePatterns &patterns)
{
    const QByteArray native = QFile::encodeName(folder);
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(native.constData()));
    if (!dir)
        return std::nullopt;
    const int dirFd = ::dirfd(dir.get());
    std::string nativePath(native.constData(), std::size_t(native.size()));
    if (nativePath.empty() || nativePath.back() != '/')
        nativePath.push_back('/');
    const std::size_t folderLength = nativePath.size();

    std::optional<qint64> newest;
    while (const dirent *entry = ::readdir(dir.get())) {
        const char *name = entry->d_name;
        const std::size_t length = std::strlen(name);
        if (name[0] == '.' || !ScreenshotNameRules::hasImageExtension(name, length))
            continue;
        if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_REG)
            continue;
        struct statx status {};
        if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_MTIME | STATX_SIZE,
                    &status) != 0
            || !(status.stx_mask & STATX_TYPE) || !S_ISREG(status.stx_mode) || status.stx_size < 1
            || !(status.stx_mask & STATX_MTIME))
            continue;
        const qint64 modified = milliseconds(status.stx_mtime);
        // Only a file that would be newer needs the name and marker tests.
        if (newest && modified <= *newest)
            continue;
        if (countsAsScreenshot(name, length, nativePath, folderLength, patterns))
            newest = modified;
    }
    return newest;
}

bool ScreenshotScanner::hasScreenshotMetadata(const QString &path)
{
    return ScreenshotMarker::isSet(path);
}

ScreenshotScanner::Result ScreenshotScanner::scan(const QString &folder, bool includeAllImages,
                                                  int limit, const QList<Screenshot> &previous,
                                                  const QSet<QString> &preservingPaths,
                                                  const ImageServices &images,
                                                  const ScreenshotNamePatterns &patterns)
{
    Result result;

    // Resolve the folder once: its entries are then canonical as folder + "/" + name, since
    // only regular files that are no symbolic links are kept.
    const std::unique_ptr<char, FreeDeleter> resolved(
        ::realpath(QFile::encodeName(folder).constData(), nullptr));
    if (!resolved) {
        result.error = systemError(errno);
        qCWarning(lcScanner) << "cannot resolve folder" << folder << result.error->message;
        return result;
    }
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(resolved.get()));
    if (!dir) {
        result.error = systemError(errno);
        qCWarning(lcScanner) << "cannot list folder" << folder << result.error->message;
        return result;
    }
    const int dirFd = ::dirfd(dir.get());

    std::string nativePath(resolved.get());
    if (nativePath.back() != '/')
        nativePath.push_back('/');
    const std::size_t folderLength = nativePath.size();

    std::vector<Candidate> candidates;
    std::string arena;
    arena.reserve(16 * 1024);

    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0) {
                result.error = systemError(errno);
                qCWarning(lcScanner) << "listing failed" << folder << result.error->message;
                return result;
            }
            break;
        }
        const char *name = entry->d_name;
        if (name[0] == '.')
            continue;
        const std::size_t length = std::strlen(name);
        if (!ScreenshotNameRules::hasImageExtension(name, length))
            continue;
        // When the listing already tells the type, folders and links cost no status call.
        if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_REG)
            continue;

        struct statx status {};
        if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_TYPE | STATX_MTIME | STATX_BTIME | STATX_SIZE, &status) != 0)
            continue;
        if (!(status.stx_mask & STATX_TYPE) || !S_ISREG(status.stx_mode))
            continue;
        if (!(status.stx_mask & STATX_SIZE) || status.stx_size < 1)
            continue;

        const bool ascii = std::all_of(name, name + length, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        QString decoded;
        if (!ascii) {
            // A name that is not valid UTF-8 has no path Qt could open again; leave it out.
            decoded = QString::fromUtf8(name, qsizetype(length));
            if (decoded.toUtf8() != QByteArrayView(name, qsizetype(length)))
                continue;
        }

        if (!includeAllImages && !countsAsScreenshot(name, length, nativePath, folderLength, patterns))
            continue;

        Candidate candidate;
        candidate.modifiedMs = (status.stx_mask & STATX_MTIME) ? milliseconds(status.stx_mtime)
                                                               : distantPastMs();
        candidate.createdMs = creationMs(status);
        candidate.bytes = qint64(status.stx_size);
        candidate.nameOffset = quint32(arena.size());
        candidate.nameLength = quint32(length);
        arena.append(name, length);
        if (ascii) {
            candidate.keyOffset = candidate.nameOffset;
            candidate.keyLength = candidate.nameLength;
        } else {
            const QByteArray key = decoded.normalized(QString::NormalizationForm_C).toUtf8();
            candidate.keyOffset = quint32(arena.size());
            candidate.keyLength = quint32(key.size());
            arena.append(key.constData(), std::size_t(key.size()));
        }
        candidates.push_back(candidate);
    }

    const char *names = arena.data();
    std::stable_sort(candidates.begin(), candidates.end(),
                     [names](const Candidate &a, const Candidate &b) {
                         if (a.createdMs != b.createdMs)
                             return a.createdMs > b.createdMs;
                         return keyLess(names, a, b);
                     });

    const qsizetype keep = std::max(limit, 0);
    const QString folderPrefix = QString::fromUtf8(nativePath.data(), qsizetype(folderLength));

    QHash<QString, qsizetype> previousIndex;
    previousIndex.reserve(previous.size());
    for (qsizetype i = 0; i < previous.size(); ++i) {
        if (!previousIndex.contains(previous.at(i).id()))
            previousIndex.insert(previous.at(i).id(), i);
    }

    std::optional<QSet<QByteArray>> preserved;
    result.screenshots.reserve(std::min<qsizetype>(keep, qsizetype(candidates.size())));

    for (const Candidate &candidate : candidates) {
        const char *name = names + candidate.nameOffset;
        if (result.screenshots.size() >= keep) {
            if (!preserved)
                preserved = preservedNames(preservingPaths, folderPrefix);
            if (preserved->isEmpty())
                break;
            if (!preserved->contains(QByteArray::fromRawData(name, candidate.nameLength)))
                continue;
        }

        const QString path = folderPrefix + QString::fromUtf8(name, candidate.nameLength);

        const auto found = previousIndex.constFind(path);
        if (found != previousIndex.constEnd()) {
            const Screenshot &known = previous.at(*found);
            if (known.modifiedAt().isValid()
                && known.modifiedAt().toMSecsSinceEpoch() == candidate.modifiedMs
                && known.bytes() == candidate.bytes) {
                // The image is the same, but its date may not be: a record made before the date
                // rule took the modification time into account takes the date it sorted by.
                if (known.createdAt().toMSecsSinceEpoch() == candidate.createdMs)
                    result.screenshots.append(known);
                else
                    result.screenshots.append(Screenshot::withResolvedPath(
                        path, dateFromMs(candidate.createdMs), known.modifiedAt(), known.bytes(),
                        known.width(), known.height()));
                continue;
            }
        }

        // Any pixel count is listed: a scrolling capture too large to decode in full still
        // gets its thumbnail, text and PNG copy from decodes that never hold it whole.
        const std::optional<QSize> size = images.pixelSize(path);
        if (!size || size->isEmpty()) {
            qCDebug(lcScanner) << "no image size, skipped" << path;
            continue;
        }
        result.screenshots.append(Screenshot::withResolvedPath(
            path, dateFromMs(candidate.createdMs), dateFromMs(candidate.modifiedMs),
            candidate.bytes, size->width(), size->height()));
    }
    return result;
}
