#pragma once

#include "core/Screenshot.h"
#include "text/ScreenshotText.h"
#include "text/ScreenshotTextWorker.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>

// The recognised text of the screenshots the library shows, kept in memory by cache key, and
// the single background run that fills it: cached text first, then the screenshots through the
// worker, handed out in library order unless one was asked for, as many at a time as the worker
// has readers (one per core while there is a backlog). Lives on the main thread; the run
// continues there between its waits on the worker.
class ScreenshotTextIndex final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int changeCount READ changeCount NOTIFY changed)

public:
    explicit ScreenshotTextIndex(std::unique_ptr<ScreenshotTextWorker> worker,
                                 QObject *parent = nullptr);
    ~ScreenshotTextIndex() override;

    // Replaces the list, forgets text and failures of screenshots no longer in it, and
    // makes sure a run is going. Never interrupts a running run: it reads the new list
    // from its next choice on.
    void update(const QList<Screenshot> &items);
    // Reads this screenshot before any other at the next choice, even if it failed before.
    void prioritize(const Screenshot &item);
    // Makes every failed screenshot pending again.
    void retryFailures();
    // Cancels the run and forgets everything except the language description; nothing
    // the cancelled run finds later is kept.
    void stop();
    // While held, a run that would start waits, with the list and counts already updated, and
    // starts on release. The program holds it until its first window is on screen: starting
    // the recogniser loads its library and competes with that window for the processor.
    void setHeld(bool held);

    // Keyed by Screenshot::cacheKey.
    const QHash<QString, ScreenshotText> &documents() const { return m_documents; }
    const QHash<QString, QString> &normalizedText() const { return m_normalizedText; }
    const QSet<QString> &failedKeys() const { return m_failedKeys; }
    const QString &languageDescription() const { return m_languageDescription; }
    bool isIndexing() const { return m_isIndexing; }
    // Indexing, and the texts kept from earlier runs are not in yet (held included): until
    // then, how many are done says nothing.
    bool isLoadingCached() const { return m_loadingCached; }
    // Screenshots of the list with text or a failure: both count as done.
    int completedCount() const;
    int totalCount() const { return int(m_items.size()); }
    // Whether the background run exists (for the owner's diagnostics and tests).
    bool isRunning() const { return m_task.has_value(); }

    // How long the index waits, with nothing to read, before the worker lets go of its engine
    // and the memory it held (the program stays running all day; the next read starts it again).
    static constexpr std::chrono::milliseconds defaultIdleRelease{std::chrono::seconds(60)};
    void setIdleReleaseDelay(std::chrono::milliseconds delay) { m_idleRelease.setInterval(delay); }

    // Advances with every observable change.
    int changeCount() const { return m_changeCount; }

    // The maps agree with each other and only hold keys of the current list.
    bool isConsistent() const;

signals:
    // After every observable change.
    void changed();

private:
    // What a run remembers from its start, to recognise that it has become stale.
    struct Run final
    {
        qint64 revision;
        std::stop_token stop;
    };

    void start();
    bool isStale(const Run &run) const;
    bool isPending(const QString &key) const;
    std::optional<Screenshot> nextScreenshot() const;
    const Screenshot *currentItem(const QString &key) const;
    void store(const QString &key, const ScreenshotText &text);
    void notify();

    // The steps of a run, each continuing the one before when its wait ends.
    void askCapabilities(Run run);
    void loadCached(Run run);
    // Hands out screenshots until the worker's readers are all busy.
    void readNext(Run run);
    void finishRead(const Run &run, const QString &key, const ScreenshotTextWorker::ReadResult &result);
    void pruneAndFinish(Run run);
    // Nothing left to do: freed memory goes back now, the engine after the idle delay.
    void becomeIdle();

    QHash<QString, ScreenshotText> m_documents;
    QHash<QString, QString> m_normalizedText;
    QSet<QString> m_failedKeys;
    QString m_languageDescription;
    bool m_isIndexing = false;
    bool m_loadingCached = false;
    int m_changeCount = 0;
    QList<Screenshot> m_items;
    std::optional<QString> m_preferredKey;
    QSet<QString> m_reading; // handed to the worker, not back yet
    std::optional<std::stop_source> m_task;
    qint64 m_revision = 0;
    QTimer m_idleRelease;
    // The rest after a fresh recognition before the next screenshot is handed out.
    QTimer m_pause;
    bool m_held = false;
    bool m_startWhenReleased = false;
    std::unique_ptr<ScreenshotTextWorker> m_worker;
};
