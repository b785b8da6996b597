#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What the fuzz targets share: a scratch folder kept in memory, and a way to hand the fuzzer's
// bytes to code that only reads files.
namespace FuzzSupport {

// A memory-backed file system when there is one, so writing a file per input costs no disk.
inline QString memoryBackedBase()
{
    const char *const candidates[] = {std::getenv("BRIMFOLD_FUZZ_SCRATCH"), "/dev/shm",
                                      std::getenv("XDG_RUNTIME_DIR")};
    for (const char *candidate : candidates) {
        if (candidate && *candidate && QFileInfo(QFile::decodeName(candidate)).isWritable())
            return QFile::decodeName(candidate);
    }
    return QDir::tempPath();
}

// A private folder for this process, removed when it exits.
inline const QString &scratchFolder()
{
    static const QTemporaryDir folder(memoryBackedBase() + QStringLiteral("/brimfold-fuzz-XXXXXX"));
    static const QString path = folder.path();
    if (path.isEmpty()) {
        std::fprintf(stderr, "no scratch folder\n");
        std::abort();
    }
    return path;
}

inline QByteArray bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Replaces the file at `path` with exactly `contents`.
inline void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(contents) != contents.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

// The input cut at its NUL bytes; the fuzzer finds the separators by itself.
inline QList<QByteArray> parts(const std::uint8_t *data, std::size_t size)
{
    return bytes(data, size).split('\0');
}

// A property every input must keep; a broken one stops the run like a crash.
inline void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

} // namespace FuzzSupport
