// Search cost: rebuilding the gallery snapshot for a typed query, as the library model does on
// every keystroke, against a bare substring scan of the same texts.
// 500 screenshot records, each with about 2 KB of normalised recognised text, are filtered by
// queries of one to four words. Prints both medians in microseconds and, last, their ratio.

#include "library/GallerySnapshot.h"
#include "library/LibraryState.h"
#include "core/Screenshot.h"
#include "core/ScreenshotTextSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int itemCount = 500;
constexpr int textBytes = 2048;
constexpr int repetitions = 41;

const QStringList &vocabulary()
{
    static const QStringList words = {
        QStringLiteral("invoice"),  QStringLiteral("total"),    QStringLiteral("meeting"),
        QStringLiteral("project"),  QStringLiteral("deadline"), QStringLiteral("budget"),
        QStringLiteral("error"),    QStringLiteral("warning"),  QStringLiteral("settings"),
        QStringLiteral("download"), QStringLiteral("account"),  QStringLiteral("password"),
        QStringLiteral("terminal"), QStringLiteral("function"), QStringLiteral("release"),
        QStringLiteral("customer"), QStringLiteral("shipping"), QStringLiteral("tracking"),
        QStringLiteral("calendar"), QStringLiteral("reminder"), QStringLiteral("message"),
        QStringLiteral("channel"),  QStringLiteral("document"), QStringLiteral("preview"),
        QStringLiteral("network"),  QStringLiteral("server"),   QStringLiteral("request"),
        QStringLiteral("response"), QStringLiteral("monday"),   QStringLiteral("friday"),
        QStringLiteral("élan"),     QStringLiteral("naïve"),    QStringLiteral("straße"),
        QStringLiteral("فاتورة"),   QStringLiteral("الإجمالي"), QStringLiteral("2024"),
    };
    return words;
}

QString randomText(QRandomGenerator &random)
{
    const QStringList &words = vocabulary();
    QString text;
    while (text.size() < textBytes) {
        text += words.at(int(random.bounded(words.size())));
        text += random.bounded(8) == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    return text;
}

template <typename Work>
double medianMicroseconds(Work work)
{
    std::vector<double> samples;
    samples.reserve(repetitions);
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        samples.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QRandomGenerator random(20240501);

    QList<Screenshot> items;
    QHash<QString, QString> normalizedText;
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1714550400);
    for (int i = 0; i < itemCount; ++i) {
        const QDateTime when = base.addSecs(-60 * i);
        const Screenshot item = Screenshot::withResolvedPath(
            QStringLiteral("/home/user/Pictures/Screenshots/Screenshot 2024-05-01 at 10.%1.png")
                .arg(i, 3, 10, QLatin1Char('0')),
            when, when, 200000 + i, 2880, 1800);
        items.append(item);
        normalizedText.insert(item.cacheKey(), ScreenshotTextSearch::normalize(randomText(random)));
    }
    LibraryState state;
    for (int i = 0; i < itemCount; i += 25)
        state.insert(items.at(i).id());

    const QStringList queries = {
        QStringLiteral("invoice"),
        QStringLiteral("Invoice total"),
        QStringLiteral("meeting friday budget"),
        QStringLiteral("server request response deadline"),
        QStringLiteral("naive"),
        QStringLiteral("zebra crossing"),
    };

    // What the bare scan gets for free: tokens and names already normalised.
    QStringList names;
    for (const Screenshot &item : items)
        names.append(ScreenshotTextSearch::normalize(item.displayName()));

    std::vector<double> rebuildTimes;
    std::vector<double> scanTimes;
    qsizetype checksum = 0;
    for (const QString &query : queries) {
        qsizetype rebuildCount = 0;
        qsizetype scanCount = 0;
        const double rebuild = medianMicroseconds([&] {
            const GallerySnapshot snapshot(items, state, false, query, normalizedText);
            rebuildCount = snapshot.items().size();
        });
        const QStringList tokens = ScreenshotTextSearch::tokens(query);
        const double scan = medianMicroseconds([&] {
            qsizetype kept = 0;
            for (qsizetype i = 0; i < items.size(); ++i) {
                const QStringView text = normalizedText.value(items.at(i).cacheKey());
                bool all = true;
                for (const QString &token : tokens) {
                    if (!names.at(i).contains(token) && !text.contains(token)) {
                        all = false;
                        break;
                    }
                }
                kept += all ? 1 : 0;
            }
            scanCount = kept;
        });
        if (rebuildCount != scanCount)
            std::fprintf(stderr, "mismatch for \"%s\": %lld vs %lld\n", qPrintable(query),
                         static_cast<long long>(rebuildCount), static_cast<long long>(scanCount));
        checksum += rebuildCount;
        std::printf("query %-40s matches %4lld  rebuild %9.1f us  bare scan %9.1f us\n",
                    qPrintable(QLatin1Char('"') + query + QLatin1Char('"')),
                    static_cast<long long>(rebuildCount), rebuild, scan);
        rebuildTimes.push_back(rebuild);
        scanTimes.push_back(scan);
    }

    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const double rebuild = median(rebuildTimes);
    const double scan = median(scanTimes);
    std::printf("items %d, text %d bytes each, %lld matches in all\n", itemCount, textBytes,
                static_cast<long long>(checksum));
    std::printf("median rebuild: %.1f us\n", rebuild);
    std::printf("median bare scan: %.1f us\n", scan);
    std::printf("ratio: %.2f\n", scan > 0 ? rebuild / scan : 0.0);
    return 0;
}
