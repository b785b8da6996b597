#include "platform/freedesktop/InotifyEventSource.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <utility>

#include <sys/inotify.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInotify, "brimfold.platform.inotify", QtWarningMsg)

namespace {

// Every change of an entry directly in the folder, and the folder itself going away.
constexpr quint32 folderMask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE
    | IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_ONLYDIR;

// Parents only matter when they themselves move or vanish; asking for entry events here would
// flood us with everything that happens beside the folder. IN_MASK_ADD keeps the folder's own
// mask intact should a parent turn out to be the same inode (a bind-mount loop).
constexpr quint32 ancestorMask = IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR | IN_MASK_ADD;

} // namespace

void InotifyEventSource::LaterDeleter::operator()(QObject *object) const
{
    object->deleteLater();
}

InotifyEventSource::InotifyEventSource(std::chrono::milliseconds latency)
    : m_latency(latency)
{
    m_gatherTimer.setSingleShot(true);
    m_gatherTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_gatherTimer, &QTimer::timeout, &m_gatherTimer, [this] { onGatherTimeout(); });
}

InotifyEventSource::~InotifyEventSource()
{
    stop();
}

bool InotifyEventSource::start(const QString &folderPath, BatchHandler handler)
{
    stop();

    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        qCWarning(lcInotify) << "inotify_init1 failed:" << std::strerror(errno);
        return false;
    }
    const int watch = ::inotify_add_watch(fd, QFile::encodeName(folderPath).constData(), folderMask);
    if (watch < 0) {
        qCWarning(lcInotify) << "cannot watch" << folderPath << std::strerror(errno);
        ::close(fd);
        return false;
    }

    m_fd = fd;
    m_folderWatch = watch;
    m_folderPath = folderPath;
    m_handler = std::move(handler);
    watchAncestors(folderPath);

    m_notifier.reset(new QSocketNotifier(fd, QSocketNotifier::Read));
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { onReadable(); });
    return true;
}

void InotifyEventSource::stop()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->disconnect();
        m_notifier.reset();
    }
    if (m_fd >= 0) {
        ::close(m_fd); // drops every watch and anything still queued
        m_fd = -1;
    }
    m_folderWatch = -1;
    m_ancestorWatches.clear();
    m_gatherTimer.stop();
    m_pendingPaths.clear();
    m_pendingFlags.clear();
    m_handler = nullptr;
}

void InotifyEventSource::watchAncestors(const QString &folderPath)
{
    QString path = QDir::cleanPath(folderPath);
    while (path != QLatin1String("/")) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            break; // not absolute; there is nothing above to watch
        path = slash == 0 ? QStringLiteral("/") : path.left(slash);
        const int watch = ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), ancestorMask);
        if (watch < 0) {
            // A parent we may not read cannot be watched; the folder's own watch still
            // reports the folder being deleted, only a move of that parent goes unseen.
            qCWarning(lcInotify) << "cannot watch parent" << path << std::strerror(errno);
            continue;
        }
        if (watch != m_folderWatch)
            m_ancestorWatches.insert(watch);
    }
}

void InotifyEventSource::onReadable()
{
    readEvents();
    if (m_pendingPaths.isEmpty() || m_gatherTimer.isActive())
        return;
    // First event after a quiet period: out at once, and gather what follows.
    m_gatherTimer.start(m_latency);
    deliverPending();
    // The handler may have stopped, restarted or destroyed us: touch nothing after it.
}

void InotifyEventSource::onGatherTimeout()
{
    if (m_pendingPaths.isEmpty())
        return; // a full latency without events: the quiet period begins
    m_gatherTimer.start(m_latency);
    deliverPending();
}

void InotifyEventSource::readEvents()
{
    // Large enough for many events; one event needs at most sizeof(inotify_event) + NAME_MAX + 1.
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return; // EAGAIN: drained
        for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= count;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            translate(*event);
            offset += ssize_t(sizeof(inotify_event)) + event->len;
        }
    }
}

void InotifyEventSource::translate(const inotify_event &event)
{
    if (event.mask & IN_Q_OVERFLOW) {
        add(m_folderPath, EventsLost);
        return;
    }
    const bool isFolder = event.wd == m_folderWatch;
    if (!isFolder && !m_ancestorWatches.contains(event.wd))
        return;

    if (event.mask & IN_UNMOUNT) {
        add(m_folderPath, Unmount);
        return;
    }
    if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        add(m_folderPath, RootChanged);
        return;
    }
    if (event.mask & IN_IGNORED) {
        if (isFolder)
            add(m_folderPath, RootChanged); // the kernel dropped our watch: nothing more will come
        else
            m_ancestorWatches.remove(event.wd);
        return;
    }
    if (!isFolder)
        return;

    if (event.len == 0 || event.name[0] == '\0') {
        add(m_folderPath, NoFlags);
        return;
    }
    const QString name = QFile::decodeName(event.name);
    add(m_folderPath.endsWith(QLatin1Char('/')) ? m_folderPath + name
                                                : m_folderPath + QLatin1Char('/') + name,
        NoFlags);
}

void InotifyEventSource::add(const QString &path, quint32 flags)
{
    // Writing a file reports a modification per write; one entry per run says as much.
    if (!m_pendingPaths.isEmpty() && m_pendingFlags.constLast() == flags
        && m_pendingPaths.constLast() == path)
        return;
    m_pendingPaths.append(path);
    m_pendingFlags.append(flags);
}

void InotifyEventSource::deliverPending()
{
    const QStringList paths = std::exchange(m_pendingPaths, {});
    const QList<quint32> flags = std::exchange(m_pendingFlags, {});
    // A copy, because the handler may stop us, which clears m_handler while it runs.
    const BatchHandler handler = m_handler;
    if (handler)
        handler(paths, flags);
}
