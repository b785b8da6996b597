// The hot key's cost: the time from a synthetic key press (XTest) to the gallery's first painted
// frame, against a minimal Qt program of this benchmark's own that shows a prepared window of
// the gallery's size on the same key. Each program stamps its frame on the monotonic clock
// (Brimfold through its "brimfold.frames" logging category), so reading its output costs
// nothing. The first press after 30 s idle is counted apart from the 20 that follow.
//   dbus-run-session -- scripts/with-display build/bench/bench_hotkey
#include "BenchProcesses.h"
#include "core/AppIdentity.h"
#include "core/VirtualKey.h"
#include "platform/x11/X11HotKeySource.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <vector>

#include <dlfcn.h>
#include <time.h>

namespace {

using BenchProcesses::median;
using BenchProcesses::stop;

constexpr int screenshots = 40;
constexpr int presses = 20;
constexpr int quietSeconds = 30;

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The baseline: a window made and laid out at start, shown and hidden by Ctrl+Shift+G through
// the same kind of X grab; prints "bare painted <ns>" after its first frame following each show.
int bareProgram(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(598, 590);
    window.winId();
    struct Frames final : QObject
    {
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            auto *handle = qobject_cast<QWindow *>(watched);
            if (event->type() == QEvent::Expose && handle && handle->isExposed() && !painted) {
                painted = true;
                QTimer::singleShot(0, [] { std::fprintf(stderr, "bare painted %lld\n", monotonicNs()); });
            }
            return false;
        }
        bool painted = false;
    } frames;
    window.windowHandle()->installEventFilter(&frames);
    X11HotKeySource hotKey;
    if (!hotKey.grab(VirtualKey::G, VirtualKey::controlModifier | VirtualKey::shiftModifier)) {
        std::fputs("the baseline could not grab Ctrl+Shift+G\n", stderr);
        return 1;
    }
    QObject::connect(&hotKey, &HotKeySource::pressed, &window, [&] {
        if (window.isVisible()) {
            window.hide();
            std::fprintf(stderr, "bare hidden %lld\n", monotonicNs());
        } else {
            frames.painted = false;
            window.show();
        }
    });
    std::fputs("bare ready\n", stderr);
    return app.exec();
}

// Key presses through XTest, as a desktop's input reaches every X client.
class FakeKeyboard final
{
public:
    FakeKeyboard()
    {
        m_x11 = dlopen("libX11.so.6", RTLD_NOW);
        m_xtst = dlopen("libXtst.so.6", RTLD_NOW);
        if (!m_x11 || !m_xtst)
            return;
        auto open = reinterpret_cast<void *(*)(const char *)>(dlsym(m_x11, "XOpenDisplay"));
        m_keycode = reinterpret_cast<unsigned char (*)(void *, unsigned long)>(dlsym(m_x11, "XKeysymToKeycode"));
        m_flush = reinterpret_cast<int (*)(void *)>(dlsym(m_x11, "XFlush"));
        m_close = reinterpret_cast<int (*)(void *)>(dlsym(m_x11, "XCloseDisplay"));
        m_fake = reinterpret_cast<int (*)(void *, unsigned, int, unsigned long)>(dlsym(m_xtst, "XTestFakeKeyEvent"));
        if (open && m_keycode && m_flush && m_close && m_fake)
            m_display = open(nullptr);
    }
    ~FakeKeyboard()
    {
        if (m_display)
            m_close(m_display);
    }

    bool isValid() const { return m_display; }

    // Ctrl+Shift+G; returns the moment G went down.
    qint64 pressHotKey()
    {
        const unsigned control = m_keycode(m_display, 0xffe3), shift = m_keycode(m_display, 0xffe1),
                       g = m_keycode(m_display, 'g');
        m_fake(m_display, control, 1, 0);
        m_fake(m_display, shift, 1, 0);
        m_flush(m_display);
        const qint64 at = monotonicNs();
        m_fake(m_display, g, 1, 0);
        m_flush(m_display);
        m_fake(m_display, g, 0, 0);
        m_fake(m_display, shift, 0, 0);
        m_fake(m_display, control, 0, 0);
        m_flush(m_display);
        return at;
    }

private:
    void *m_x11 = nullptr;
    void *m_xtst = nullptr;
    void *m_display = nullptr;
    unsigned char (*m_keycode)(void *, unsigned long) = nullptr;
    int (*m_flush)(void *) = nullptr;
    int (*m_close)(void *) = nullptr;
    int (*m_fake)(void *, unsigned, int, unsigned long) = nullptr;
};

// Reads a program's standard error line by line.
class Lines final
{
public:
    explicit Lines(QProcess &process) : m_process(process) { m_process.setReadChannel(QProcess::StandardError); }

    // The number after `prefix` in the next line that starts with it; -1 when none came.
    qint64 waitFor(const QByteArray &prefix, int timeoutMs = 20000)
    {
        for (;;) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                const qsizetype at = line.indexOf(prefix);
                if (at >= 0)
                    return line.mid(at + prefix.size()).trimmed().toLongLong();
            }
            if (!m_process.waitForReadyRead(timeoutMs))
                return -1;
        }
    }

private:
    QProcess &m_process;
};

struct Figures
{
    double firstMs = -1;
    std::vector<double> pressesMs;
};

// Shows by the key after a quiet while, then `presses` more times, each after hiding again.
// `hidden` and `painted` are what the program prints when its window goes and comes.
std::optional<Figures> measure(QProcess &process, FakeKeyboard &keyboard, const QByteArray &hidden,
                               const QByteArray &painted)
{
    Lines lines(process);
    QThread::sleep(quietSeconds);
    Figures figures;
    const qint64 first = keyboard.pressHotKey();
    const qint64 firstFrame = lines.waitFor(painted);
    if (firstFrame < 0)
        return std::nullopt;
    figures.firstMs = double(firstFrame - first) / 1e6;
    for (int i = 0; i < presses; ++i) {
        keyboard.pressHotKey();
        if (lines.waitFor(hidden) < 0)
            return std::nullopt;
        // The hide is over and the pointer and keyboard rest, as between two real uses.
        QThread::msleep(300);
        const qint64 press = keyboard.pressHotKey();
        const qint64 frame = lines.waitFor(painted);
        if (frame < 0)
            return std::nullopt;
        figures.pressesMs.push_back(double(frame - press) / 1e6);
        QThread::msleep(300);
    }
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--bare") == 0)
        return bareProgram(argc, argv);

    QApplication app(argc, argv); // draws the screenshots
    const QString brimfold = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/brimfold"));
    FakeKeyboard keyboard;
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        || !QFile::exists(brimfold) || !keyboard.isValid()) {
        std::fprintf(stderr, "needs DISPLAY with XTest, a session bus and %s\n", qPrintable(brimfold));
        return 1;
    }

    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Shots"));
    BenchProcesses::drawScreenshots(folder, screenshots);
    const QStringList arguments{QStringLiteral("--demo"), QStringLiteral("--demo-folder"), folder};
    const QProcessEnvironment environment = BenchProcesses::environmentFor(
        home.path(), QStringLiteral("brimfold.startup.info=true\nbrimfold.frames.info=true"));
    // Text read beforehand, so no recognition runs while keys are timed.
    BenchProcesses::cacheTexts(brimfold, arguments, environment, home.path(), AppIdentity::demoId(), screenshots);

    QProcess baseline;
    baseline.setProcessEnvironment(environment);
    baseline.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--bare")});
    Lines(baseline).waitFor("bare ready");
    const std::optional<Figures> bare = measure(baseline, keyboard, "bare hidden", "bare painted");
    stop(baseline);

    // The demo shows its gallery at start; hidden by the key, it waits for the first press.
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(brimfold, arguments);
    Lines start(program);
    if (start.waitFor("gallery shown") < 0 || start.waitFor("Brimfold painted") < 0)
        return 1;
    QThread::msleep(500);
    keyboard.pressHotKey();
    if (start.waitFor("Brimfold hidden") < 0)
        return 1;
    const std::optional<Figures> ours = measure(program, keyboard, "Brimfold hidden", "Brimfold painted");
    stop(program);
    if (!bare || !ours) {
        std::fprintf(stderr, "a window never came or went\n");
        return 1;
    }

    const double oursMedian = median(ours->pressesMs), bareMedian = median(bare->pressesMs);
    std::printf("hot key to first frame, median of %d: brimfold %.1f ms (slowest %.1f), bare Qt window %.1f ms\n",
                presses, oursMedian, *std::max_element(ours->pressesMs.begin(), ours->pressesMs.end()), bareMedian);
    std::printf("first press after %d s idle: brimfold %.1f ms, bare Qt window %.1f ms\n", quietSeconds,
                ours->firstMs, bare->firstMs);
    std::printf("ratio: %.2f (median), %.2f (first press)\n", oursMedian / bareMedian, ours->firstMs / bare->firstMs);
    return 0;
}
