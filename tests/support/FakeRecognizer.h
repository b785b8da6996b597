#pragma once

#include "text/ScreenshotTextRecognizing.h"
#include "text/TextWord.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

// A recogniser without an engine. It runs on a text worker's thread; the test steers it and
// reads what it did through its state, which outlives it (the worker owns and destroys it).
// Several recognisers may share one state, as the extra ones of a worker do.
class FakeRecognizer final : public ScreenshotTextRecognizing
{
public:
    struct State
    {
        // Steering. Once a worker runs, the containers are touched under `mutex` only.
        std::mutex mutex;
        std::condition_variable_any released;
        QSet<QString> held;               // file names whose recognition waits for release()
        QSet<QString> failing;            // file names whose recognition always fails
        QHash<QString, int> failuresLeft; // file names that fail this many times first
        QHash<QString, QString> texts;    // file name → text; any other gets textFormat's
        QString textFormat = QStringLiteral("words in %1"); // %1: the file name
        QHash<QString, QList<TextWord>> words; // file name → its placed words; any other none
        std::atomic<bool> honourStop{false};  // a held recognition ends when asked to stop
        std::atomic<int> failCapabilities{0}; // this many capability queries fail first
        std::function<void(const QString &path)> duringRecognition; // on the worker's thread
        QStringList languages{QStringLiteral("en-US")}; // what the capabilities say
        QStringList missingLanguages;

        // What happened.
        std::atomic<int> recognized{0};     // recognitions begun
        QStringList order;                  // file names as recognition began, and "release"
        std::set<std::thread::id> threads;  // where recognition, release and destruction ran
        std::vector<std::set<std::thread::id>> threadsOf; // the same for each recogniser, in order made
        std::atomic<int> alive{0};
        std::atomic<int> capabilityQueries{0};
        std::atomic<int> running{0};
        std::atomic<bool> overlapped{false}; // two of those ran at once

        void hold(const QString &name) { const std::lock_guard lock(mutex); held.insert(name); }
        void setText(const QString &name, const QString &text)
        {
            const std::lock_guard lock(mutex);
            texts.insert(name, text);
        }
        void release(const QString &name)
        {
            { const std::lock_guard lock(mutex); held.remove(name); }
            released.notify_all();
        }
        void release()
        {
            { const std::lock_guard lock(mutex); held.clear(); }
            released.notify_all();
        }
        QStringList started() { const std::lock_guard lock(mutex); return order; }
    };

    explicit FakeRecognizer(std::shared_ptr<State> state = std::make_shared<State>(),
                            QString identifier = QStringLiteral("fake-v1"))
        : m_state(std::move(state))
        , m_identifier(std::move(identifier))
    {
        const std::lock_guard lock(m_state->mutex);
        m_number = m_state->threadsOf.size();
        m_state->threadsOf.emplace_back();
        ++m_state->alive;
    }
    // The engine behind a recogniser belongs to one thread; destruction counts as a call.
    ~FakeRecognizer() override
    {
        { const Call call(*this); }
        --m_state->alive;
    }

    CapabilitiesResult capabilities() override
    {
        ++m_state->capabilityQueries;
        if (m_state->failCapabilities.fetch_sub(1) > 0)
            return TextRecognitionError::engineFailure;
        const std::lock_guard lock(m_state->mutex);
        return TextRecognitionCapabilities{m_state->languages, m_identifier, m_state->missingLanguages};
    }

    TextResult recognize(const QString &path, const TextRecognitionCapabilities &,
                         std::stop_token stop) override
    {
        const QString name = QFileInfo(path).fileName();
        ++m_state->recognized;
        const Call call(*this);
        {
            std::unique_lock lock(m_state->mutex);
            m_state->order.append(name);
            const auto isReleased = [&] { return !m_state->held.contains(name); };
            // Unless told to honour it, the stop request is ignored: a result that arrives
            // late must still be dropped by its receiver.
            if (!m_state->honourStop) {
                m_state->released.wait(lock, isReleased);
            } else {
                m_state->released.wait(lock, stop, isReleased);
                if (stop.stop_requested())
                    return TextRecognitionError::cancelled;
            }
        }
        if (m_state->duringRecognition)
            m_state->duringRecognition(path);
        const std::lock_guard lock(m_state->mutex);
        if (m_state->failing.contains(name))
            return TextRecognitionError::unreadableImage;
        if (int &failures = m_state->failuresLeft[name]; failures-- > 0)
            return TextRecognitionError::unreadableImage;
        return RecognizedText(m_state->texts.value(name, m_state->textFormat.arg(name)),
                              m_state->words.value(name));
    }

    void releaseResources() override
    {
        const Call call(*this);
        const std::lock_guard lock(m_state->mutex);
        m_state->order.append(QStringLiteral("release"));
    }

private:
    // One call into the "engine": notes its thread, and whether another call was running.
    struct Call
    {
        explicit Call(FakeRecognizer &recognizer)
            : state(*recognizer.m_state)
        {
            const std::lock_guard lock(state.mutex);
            state.threads.insert(std::this_thread::get_id());
            state.threadsOf[recognizer.m_number].insert(std::this_thread::get_id());
            state.overlapped = state.overlapped || state.running.fetch_add(1) > 0;
        }
        ~Call() { --state.running; }
        State &state;
    };

    std::shared_ptr<State> m_state;
    QString m_identifier;
    std::size_t m_number = 0;
};
