// Desktop search cost: a GetInitialResultSet round trip to the running program over the session
// bus, against the same query searched in this process over the same screenshots and text.
// 500 screenshots, each with about 2 KB of cached text (written here, so nothing is recognised),
// queries of one to four words; most match every screenshot, and the program answers with the
// first ShellSearchProvider::resultLimit of them, which are checked against this process's. Prints both medians per query and overall in microseconds, the
// slowest round trip (a frame is 16 ms), a bare ping's round trip (the bus's own share), and,
// last, the ratio of round trip to in-process search.
// Needs a display and a session bus with no other copy on it:
//   dbus-run-session -- scripts/with-display build/bench/bench_provider
#include "app/dbus/ShellSearchProvider.h"
#include "library/ScreenshotScanner.h"
#include "platform/image/SystemImageServices.h"
#include "search/DesktopSearch.h"
#include "text/ScreenshotTextWorker.h"
#include "text/TesseractRecognizer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int screenshots = 500;
constexpr int textBytes = 2048;
constexpr int repetitions = 101;
const QString kId = QStringLiteral("app.vellum.screenshots");

QString randomText(QRandomGenerator &random)
{
    static const QStringList words = {
        QStringLiteral("invoice"),  QStringLiteral("total"),    QStringLiteral("meeting"),
        QStringLiteral("project"),  QStringLiteral("deadline"), QStringLiteral("budget"),
        QStringLiteral("error"),    QStringLiteral("warning"),  QStringLiteral("settings"),
        QStringLiteral("download"), QStringLiteral("account"),  QStringLiteral("password"),
        QStringLiteral("terminal"), QStringLiteral("function"), QStringLiteral("release"),
        QStringLiteral("customer"), QStringLiteral("shipping"), QStringLiteral("tracking"),
        QStringLiteral("calendar"), QStringLiteral("reminder"), QStringLiteral("message"),
        QStringLiteral("server"),   QStringLiteral("request"),  QStringLiteral("response"),
        QStringLiteral("élan"),     QStringLiteral("naïve"),    QStringLiteral("فاتورة"),
    };
    QString text;
    while (text.size() < textBytes) {
        text += words.at(int(random.bounded(words.size())));
        text += random.bounded(8) == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    return text;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QDBusMessage initialResultSet(const QString &query)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kId, QStringLiteral("/app/vellum/screenshots/SearchProvider"),
                                                       QStringLiteral("org.gnome.Shell.SearchProvider2"),
                                                       QStringLiteral("GetInitialResultSet"));
    call << query.split(QLatin1Char(' '));
    return call;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString brimfold = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/brimfold"));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !QFile::exists(brimfold) || !bus.isConnected()) {
        std::fprintf(stderr, "needs DISPLAY, a session bus and %s\n", qPrintable(brimfold));
        return 1;
    }
    if (bus.interface()->isServiceRegistered(kId)) {
        std::fprintf(stderr, "another copy owns %s on this bus; run under dbus-run-session\n", qPrintable(kId));
        return 1;
    }

    // The program's folders, all inside one temporary home.
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Shots"));
    const QString cache = home.filePath(QStringLiteral(".local/share/app.vellum.screenshots/ScreenshotText-v1"));
    QDir().mkpath(folder);
    QDir().mkpath(cache);
    QDir().mkpath(home.filePath(QStringLiteral(".config/app.vellum.screenshots")));
    const QDateTime start = QDateTime::currentDateTime().addDays(-2);
    QImage image(160, 90, QImage::Format_RGB32);
    image.fill(QColor(245, 245, 247));
    for (int i = 0; i < screenshots; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("Screenshot %1.png").arg(i, 3, 10, QLatin1Char('0')));
        image.save(path);
        QFile file(path);
        file.open(QIODevice::ReadWrite);
        file.setFileTime(start.addSecs(60 * i), QFileDevice::FileModificationTime);
    }

    const SystemImageServices images;
    TesseractRecognizer recognizer(QString(), images);
    const auto capabilities = recognizer.capabilities();
    if (!std::holds_alternative<TextRecognitionCapabilities>(capabilities)) {
        std::fprintf(stderr, "needs Tesseract language data to name the cache files\n");
        return 1;
    }
    const QString identifier = std::get<TextRecognitionCapabilities>(capabilities).identifier;
    const QList<Screenshot> items = ScreenshotScanner::scan(folder, false, screenshots, {}, {}, images).screenshots;
    QRandomGenerator random(20241207);
    QHash<QString, ScreenshotText> documents;
    QHash<QString, QString> normalized;
    for (const Screenshot &item : items) {
        const ScreenshotText text(randomText(random));
        documents.insert(item.cacheKey(), text);
        normalized.insert(item.cacheKey(), text.normalized());
        writeFile(QDir(cache).filePath(ScreenshotTextWorker::cacheFileName(identifier, item.cacheKey())),
                  QJsonDocument(text.toJson()).toJson(QJsonDocument::Compact));
    }
    writeFile(home.filePath(QStringLiteral(".config/app.vellum.screenshots/settings.json")),
              QJsonDocument(QJsonObject{{QStringLiteral("hasConnectedFolder"), true},
                                        {QStringLiteral("folderPath"), folder},
                                        {QStringLiteral("showFloatingButton"), false}}).toJson());

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        environment.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(brimfold, {});
    const auto stopProgram = qScopeGuard([&] {
        program.terminate();
        if (!program.waitForFinished(10000))
            program.kill();
        program.waitForFinished();
    });
    QElapsedTimer waited;
    waited.start();
    while (!bus.interface()->isServiceRegistered(kId) && waited.elapsed() < 30000)
        QThread::msleep(20);
    // The first answer waits for the program's scan and cached text.
    const QDBusMessage first = bus.call(initialResultSet(QStringLiteral("invoice")), QDBus::Block, 60000);
    if (first.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "the program did not answer: %s\n", qPrintable(first.errorMessage()));
        return 1;
    }

    const QStringList queries = {
        QStringLiteral("invoice"),
        QStringLiteral("Invoice total"),
        QStringLiteral("meeting friday budget"),
        QStringLiteral("server request response deadline"),
        QStringLiteral("naive"),
        QStringLiteral("zebra crossing"),
    };
    std::vector<double> remoteMedians, localMedians;
    double slowest = 0;
    for (const QString &query : queries) {
        std::vector<double> remote, local;
        QStringList answer;
        QList<Screenshot> found;
        for (int i = 0; i < repetitions; ++i) {
            QElapsedTimer timer;
            timer.start();
            const QDBusMessage reply = bus.call(initialResultSet(query), QDBus::Block, 5000);
            remote.push_back(double(timer.nsecsElapsed()) / 1000.0);
            answer = reply.arguments().value(0).toStringList();

            timer.restart();
            found = DesktopSearch::matching(items, query, normalized);
            local.push_back(double(timer.nsecsElapsed()) / 1000.0);
        }
        const qsizetype localCount = found.size();
        QStringList expected;
        for (const Screenshot &item : found.first(std::min<qsizetype>(found.size(), ShellSearchProvider::resultLimit)))
            expected.append(item.id());
        if (answer != expected)
            std::fprintf(stderr, "mismatch for \"%s\": %lld answered over the bus, %lld of %lld expected from here\n",
                         qPrintable(query), static_cast<long long>(answer.size()),
                         static_cast<long long>(expected.size()), static_cast<long long>(localCount));
        const auto slowestHere = std::max_element(remote.begin(), remote.end());
        slowest = std::max(slowest, *slowestHere);
        remoteMedians.push_back(median(remote));
        localMedians.push_back(median(local));
        std::printf("query %-40s matches %4lld  answered %3lld  round trip %9.1f us  in-process %9.1f us  slowest %8.1f us (call %lld)\n",
                    qPrintable(QLatin1Char('"') + query + QLatin1Char('"')),
                    static_cast<long long>(localCount), static_cast<long long>(answer.size()), remoteMedians.back(), localMedians.back(), *slowestHere,
                    static_cast<long long>(slowestHere - remote.begin()));
    }
    // The bus's own share: a ping is answered by the program's bus library, with no search and no
    // turn of its event loop.
    std::vector<double> pings;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        bus.call(QDBusMessage::createMethodCall(kId, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"),
                                                QStringLiteral("Ping")),
                 QDBus::Block, 5000);
        pings.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    const double remote = median(remoteMedians);
    const double local = median(localMedians);
    std::printf("items %d, text %d bytes each, %d calls per query\n", screenshots, textBytes, repetitions);
    std::printf("median round trip: %.1f us (slowest %.1f us; one frame is 16000 us)\n", remote, slowest);
    std::printf("median in-process search: %.1f us\n", local);
    std::printf("median bare bus round trip (a ping to the program): %.1f us (slowest %.1f us)\n", median(pings), *std::max_element(pings.begin(), pings.end()));
    std::printf("ratio: %.2f\n", local > 0 ? remote / local : 0.0);
    return 0;
}
