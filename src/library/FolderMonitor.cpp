#include "library/FolderMonitor.h"

#include "platform/InotifyEventSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcFolderMonitor, "brimfold.library.monitor", QtCriticalMsg)

namespace {

constexpr quint32 invalidatingFlags = FolderEventSource::RootChanged | FolderEventSource::Unmount;
// The system lost detail: anything in the folder may have changed.
constexpr quint32 lostEventFlags = FolderEventSource::MustScanSubDirs | FolderEventSource::UserDropped
    | FolderEventSource::KernelDropped | FolderEventSource::EventIdsWrapped;

// Names may arrive precomposed or decomposed; both spell the same entry.
QString comparable(const QString &path)
{
    return QDir::cleanPath(path).normalized(QString::NormalizationForm_C);
}

QString parentOf(const QString &cleanPath)
{
    const qsizetype slash = cleanPath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {};
    return slash == 0 ? QStringLiteral("/") : cleanPath.left(slash);
}

} // namespace

FolderMonitor::FolderMonitor(QObject *parent)
    : FolderMonitor(std::make_unique<InotifyEventSource>(), Timing{}, parent)
{
}

FolderMonitor::FolderMonitor(std::unique_ptr<FolderEventSource> source, QObject *parent)
    : FolderMonitor(std::move(source), Timing{}, parent)
{
}

FolderMonitor::FolderMonitor(std::unique_ptr<FolderEventSource> source, Timing timing, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
    , m_timing(timing)
{
}

FolderMonitor::~FolderMonitor()
{
    cancel(m_pending);
    cancel(m_settling);
    m_source->stop();
}

std::optional<FolderMonitor::StartError> FolderMonitor::start(const QString &path, Callback onChange,
                                                              Callback onInvalidated)
{
    stop();

    if (path.isEmpty())
        return StartError{StartError::Kind::Posix, ENOENT};
    const QFileInfo info(path);
    QString folder = info.canonicalFilePath();
    if (folder.isEmpty()) // missing: keep the path as given so the checks below report why
        folder = QDir::cleanPath(info.absoluteFilePath());
    const QByteArray native = QFile::encodeName(folder);

    struct stat status {};
    if (::stat(native.constData(), &status) != 0) {
        const int error = errno;
        qCDebug(lcFolderMonitor) << "cannot look at" << folder << error;
        return StartError{StartError::Kind::Posix, error};
    }
    if (!S_ISDIR(status.st_mode))
        return StartError{StartError::Kind::ReadUnknown, 0};

    // Proves that the folder can be reached with our permissions; the descriptor is not kept.
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        qCDebug(lcFolderMonitor) << "cannot open" << folder << error;
        return StartError{StartError::Kind::Posix, error};
    }
    ::close(fd);

    m_folderPath = folder;
    m_folderKey = comparable(folder);
    m_onChange = std::move(onChange);
    m_onInvalidated = std::move(onInvalidated);

    // The handler holds us weakly and remembers which watch it belongs to.
    const QPointer<FolderMonitor> owner(this);
    const qint64 revision = m_revision;
    m_streamRunning = true;
    const bool started = m_source->start(
        folder, [owner, revision](const QStringList &paths, const QList<quint32> &flags) {
            if (owner)
                owner->receive(paths, flags, revision);
        });
    if (!started) {
        qCDebug(lcFolderMonitor) << "event source refused" << folder;
        stop();
        return StartError{StartError::Kind::ReadUnknown, 0};
    }
    return std::nullopt;
}

void FolderMonitor::stop()
{
    ++m_revision;
    cancel(m_pending);
    cancel(m_settling);
    m_source->stop();
    m_streamRunning = false;
    m_onChange = nullptr;
    m_onInvalidated = nullptr;
}

void FolderMonitor::receive(const QStringList &paths, const QList<quint32> &flags, qint64 revision)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (revision != m_revision || !m_streamRunning)
        return;

    for (const quint32 eventFlags : flags) {
        if (eventFlags & invalidatingFlags) {
            // Taken first: stop() clears it, and the owner may start a new watch from inside.
            const Callback onInvalidated = std::exchange(m_onInvalidated, nullptr);
            stop();
            if (onInvalidated)
                onInvalidated();
            return;
        }
    }

    bool relevant = false;
    const qsizetype count = qMin(paths.size(), flags.size());
    for (qsizetype i = 0; i < count && !relevant; ++i) {
        if (flags[i] & lostEventFlags)
            relevant = true;
        else if (flags[i] & FolderEventSource::HistoryDone)
            continue;
        else
            relevant = isRelevant(paths[i]);
    }
    if (!relevant)
        return;

    // A burst keeps its first quick notification; only the settled one moves with each batch.
    if (!m_pending)
        m_pending = schedule(WorkItem::Pending, m_timing.quick);
    cancel(m_settling);
    m_settling = schedule(WorkItem::Settling, m_timing.settled);
}

bool FolderMonitor::isRelevant(const QString &path) const
{
    const QString candidate = comparable(path);
    return candidate == m_folderKey || parentOf(candidate) == m_folderKey;
}

QTimer *FolderMonitor::schedule(WorkItem which, std::chrono::milliseconds delay)
{
    auto *item = new QTimer(this);
    item->setSingleShot(true);
    // Precise, so that a burst's notifications keep their order and spacing.
    item->setTimerType(Qt::PreciseTimer);
    const qint64 revision = m_revision;
    connect(item, &QTimer::timeout, this, [this, which, item, revision] {
        item->deleteLater();
        run(which, item, revision);
    });
    item->start(delay);
    return item;
}

void FolderMonitor::run(WorkItem which, QTimer *item, qint64 revision)
{
    if (revision != m_revision)
        return;
    QPointer<QTimer> &field = which == WorkItem::Pending ? m_pending : m_settling;
    if (field == item)
        field = nullptr;
    // A copy: the owner may stop or restart us from inside, which replaces m_onChange.
    const Callback onChange = m_onChange;
    if (onChange)
        onChange();
}

void FolderMonitor::cancel(QPointer<QTimer> &item)
{
    if (!item)
        return;
    QTimer *timer = std::exchange(item, nullptr);
    timer->stop();
    timer->deleteLater();
}
