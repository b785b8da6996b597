#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Small helpers shared by the tests: drawn images and file manipulation.
namespace TestSupport {

// A light window-like picture with the given lines of dark text, top to bottom.
QImage drawTextImage(QSize size, const QStringList &lines, int pointSize = 18);

// The whole file; empty when it cannot be read.
QByteArray readFile(const QString &path);

// Writes bytes to path, creating it and its folders; false on any failure.
bool writeFile(const QString &path, const QByteArray &bytes);

// A file of `size` bytes holding `pieces` at their offsets and holes everywhere else, which
// take neither disk nor memory: for files that claim gigabytes. False on any failure.
bool writeSparseFile(const QString &path, const QMap<qint64, QByteArray> &pieces, qint64 size);

// The image encoded by Qt ("png", "jpg", "tiff", "webp") at its writer's quality, or the one
// given (0 to 100); empty on failure.
QByteArray encodeImage(const QImage &image, const char *format, int quality = -1);

// Encodes the image with Qt and writes it; false on failure.
bool writeImage(const QString &path, const QImage &image, const char *format);

// The permission bits of the entry at path (links followed); -1 when there is none.
int permissions(const QString &path);

// The most this process has held in memory at once so far, in megabytes.
qint64 peakResidentMegabytes();

// Sets the file's modification time (and access time) without touching its contents.
bool setModificationTime(const QString &path, const QDateTime &time);

// Runs `body` in a forked child process and returns what it returned; nullopt when the child
// did not end normally. For failures that must not reach the test process itself, such as a
// file size limit.
std::optional<bool> inChildProcess(const std::function<bool()> &body);

// In such a child: every write past `bytes` into a file fails with EFBIG, the way a full disk
// fails with ENOSPC, and needs no root to set up. False when the limit could not be set.
bool limitFileSize(qint64 bytes);

// In such a child: permission bits stop writes even for root (drops CAP_DAC_OVERRIDE).
bool honourPermissions();

} // namespace TestSupport
