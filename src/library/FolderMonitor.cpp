#include "library/FolderMonitor.h"


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

Q_LOGGING_CATEGORY(lcFolderMonitor, "brimfold.library.monitor", QtWarningMsg)

namespace {

constexpr quint32 invalidatingFlags = FolderEventSource::RootChanged | FolderEventSource::Unmount;

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

FolderMonitor::FolderMonitor(std::unique_ptr<FolderEventSource> source, QObject *parent)
    : FolderMonitor(std::move(source), Timing{}, parent)
{
}

FolderMonitor::FolderMonitor(std::unique_ptr<FolderEventSource> source, Timing timing, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
    , m_timing(timing)
{
    for (QTimer *timer : {&m_quick, &m_settled}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_quick, &QTimer::timeout, this, [this] {
        if (!std::exchange(m_quickPending, false))
            return; // a quiet quick period: the next event is told at once again
        // During a long burst the notifications come about once per quick period.
        m_quick.start(m_timing.quick);
        emit changed();
    });
    connect(&m_settled, &QTimer::timeout, this, &FolderMonitor::changed);
}

FolderMonitor::~FolderMonitor()
{
    m_source->stop();
}

std::optional<FolderMonitor::StartError> FolderMonitor::start(const QString &path)
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
        qCWarning(lcFolderMonitor) << "cannot look at" << folder << error;
        return StartError{StartError::Kind::Posix, error};
    }
    if (!S_ISDIR(status.st_mode))
        return StartError{StartError::Kind::ReadUnknown, 0};

    // Proves that the folder can be reached with our permissions; the descriptor is not kept.
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        qCWarning(lcFolderMonitor) << "cannot open" << folder << error;
        return StartError{StartError::Kind::Posix, error};
    }
    ::close(fd);

    m_folderPath = folder;
    m_folderKey = comparable(folder);

    // The source delivers nothing after its stop(), which our stop() and destructor call.
    m_streamRunning = true;
    const bool started = m_source->start(
        folder, [this](const QStringList &paths, const QList<quint32> &flags) { receive(paths, flags); });
    if (!started) {
        qCWarning(lcFolderMonitor) << "event source refused" << folder;
        stop();
        return StartError{StartError::Kind::ReadUnknown, 0};
    }
    return std::nullopt;
}

void FolderMonitor::stop()
{
    m_quick.stop();
    m_quickPending = false;
    m_settled.stop();
    m_source->stop();
    m_streamRunning = false;
}

void FolderMonitor::receive(const QStringList &paths, const QList<quint32> &flags)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_streamRunning)
        return;

    for (const quint32 eventFlags : flags) {
        if (eventFlags & invalidatingFlags) {
            stop();
            // Last: the owner may start a new watch from inside.
            emit invalidated();
            return;
        }
    }

    bool relevant = false;
    const qsizetype count = qMin(paths.size(), flags.size());
    for (qsizetype i = 0; i < count && !relevant; ++i) {
        // Lost events: anything in the folder may have changed.
        relevant = (flags[i] & FolderEventSource::EventsLost) || isRelevant(paths[i]);
    }
    if (!relevant)
        return;

    // Only the settled notification moves with each batch.
    m_settled.start(m_timing.settled);
    if (m_quick.isActive()) {
        m_quickPending = true;
        return;
    }
    // The first event of a quiet period: a screenshot saved in one step (written elsewhere
    // and renamed into the folder, as most tools do) is complete now.
    m_quick.start(m_timing.quick);
    // Last: the owner may stop or restart the watch from inside.
    emit changed();
}

bool FolderMonitor::isRelevant(const QString &path) const
{
    const QString candidate = comparable(path);
    return candidate == m_folderKey || parentOf(candidate) == m_folderKey;
}
