#pragma once

// What the benchmarks that start real programs share: the bare Qt window they are measured
// against, and reading a process's memory figures.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace BenchProcesses {

// The baseline program: one window of the gallery's size; prints "shown" on standard error
// once its first picture is painted.
inline int bareProgram(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(598, 590);
    struct FirstPaint final : QObject
    {
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && !done) {
                done = true;
                QTimer::singleShot(0, [] { std::fputs("shown\n", stderr); std::fflush(stderr); });
            }
            return false;
        }
        bool done = false;
    } filter;
    window.installEventFilter(&filter);
    window.show();
    return app.exec();
}

// A "Vm…:" figure of /proc/<pid>/status in KiB ("VmRSS:" resident, "VmHWM:" peak); -1 if unread.
inline qint64 statusKiB(qint64 pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// A field of /proc/<pid>/smaps_rollup in KiB ("Pss:" proportional set size); -1 if unread.
inline qint64 smapsKiB(qint64 pid, const char *field)
{
    QFile smaps(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!smaps.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// How many distinct shared objects the process has mapped.
inline int sharedObjects(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return -1;
    QSet<QByteArray> objects;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const qsizetype slash = line.indexOf('/');
        if (slash >= 0 && line.contains(".so"))
            objects.insert(line.mid(slash));
    }
    return int(objects.size());
}

// An environment whose home is `home` alone, with `loggingRules` switched on.
inline QProcessEnvironment environmentFor(const QString &home, const QString &loggingRules)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), loggingRules);
    return environment;
}

// `count` screenshots of a few lines of text, 480 × 270, named as the desktop names them.
inline void drawScreenshots(const QString &folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QImage image(480, 270, QImage::Format_RGB32);
        image.fill(QColor(245, 245, 247));
        QPainter painter(&image);
        QFont font = painter.font();
        font.setPixelSize(22);
        painter.setFont(font);
        painter.drawText(QRect(20, 20, 440, 230), Qt::AlignLeft | Qt::TextWordWrap,
                         QStringLiteral("Window %1\nbuild log line %2 finished").arg(i).arg(i * 7));
        painter.end();
        image.save(QDir(folder).filePath(QStringLiteral("Screenshot %1.png").arg(i, 3, 10, QLatin1Char('0'))));
    }
}

// How many recognised texts a demo copy with this home has cached.
inline int cachedTexts(const QString &home, const QString &demoId)
{
    return int(QDir(home + QStringLiteral("/.local/share/") + demoId + QStringLiteral("/ScreenshotText-v1"))
                   .entryList({QStringLiteral("*.json")}, QDir::Files)
                   .size());
}

// Starts `program`, waits until its text for `count` screenshots is cached, and ends it.
inline double cacheTexts(const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &environment, const QString &home,
                         const QString &demoId, int count)
{
    QProcess warm;
    warm.setProcessEnvironment(environment);
    warm.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    warm.start(program, arguments);
    QElapsedTimer clock;
    clock.start();
    while (cachedTexts(home, demoId) < count && clock.elapsed() < 900000)
        warm.waitForFinished(500);
    warm.terminate();
    if (!warm.waitForFinished(10000))
        warm.kill();
    warm.waitForFinished();
    return clock.elapsed() / 1000.0;
}

inline void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(10000))
        process.kill();
    process.waitForFinished();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace BenchProcesses
