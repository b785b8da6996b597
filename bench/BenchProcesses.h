#pragma once

// What the benchmarks that start real programs share: the bare Qt window they are measured
// against, and reading a process's memory figures.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>

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

} // namespace BenchProcesses
