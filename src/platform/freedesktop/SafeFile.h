#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

#include <sys/types.h>

// Reading and writing the files the program keeps for itself (settings, the text cache, the
// autostart entry).
//
// Writes are atomic: the bytes go to a new file beside the target, are checked and synced, and
// only then renamed over it, so a failure (a full disk, a read-only folder) leaves the old file
// exactly as it was. The rename replaces whatever entry has the name, so a symbolic link there is
// replaced, never written through.
//
// Reads take regular files only, up to a size cap: a named pipe would block, a device never ends,
// and a huge file would be read whole.
class SafeFile final
{
public:
    SafeFile() = delete;

    // A failed call, with the errno of the step that failed.
    struct Failure final
    {
        int error = 0;
        QString message() const;
        bool operator==(const Failure &) const = default;
    };
    using Result = std::optional<Failure>; // nullopt: done

    enum class ReadFailure {
        missing,        // no entry by that name
        notRegularFile, // a link (when links are refused), folder, pipe, device or socket
        tooLarge,       // more bytes than the cap
        unreadable,     // any other error
    };
    using ReadResult = std::variant<QByteArray, ReadFailure>;

    enum class Links {
        refuse, // a symbolic link at the path is not a regular file
        follow, // a link to a regular file reads as that file
    };

    // The whole file when it is a regular file of at most maximumBytes. A pipe or device is never
    // opened.
    static ReadResult read(const QString &path, qint64 maximumBytes, Links links = Links::refuse);

    // Replaces the entry at `path` with a regular file holding exactly `bytes`, with exactly
    // `mode` whatever the umask. On failure nothing at `path` has changed and no temporary file is
    // left behind.
    static Result write(const QString &path, const QByteArray &bytes, mode_t mode);

    // Writes all of `bytes` to an open descriptor, again after an interrupted or partial write (a
    // full disk or a size limit may take part of a write and fail only on the next). False, with
    // errno set, when a write fails or takes nothing.
    static bool writeAll(int fd, const QByteArray &bytes);

    // Renames the entry itself (a link is moved as a link; what it points to is untouched) and
    // never replaces an existing `to`: that fails with EEXIST.
    static Result moveAside(const QString &from, const QString &to);

    // True when there is any entry by that name, a dangling link included.
    static bool entryExists(const QString &path);
};
