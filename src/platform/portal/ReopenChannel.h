#pragma once

#include <QObject>

#include <chrono>

// "Show your gallery" between copies of the program, over the session bus: a signal anyone may
// send, and a well-known name the running copy owns so a later copy can find it when the lock
// file is unusable.
class ReopenChannel final : public QObject
{
    Q_OBJECT
public:
    explicit ReopenChannel(QObject *parent = nullptr);
    ~ReopenChannel() override;

    // Owns the well-known name and listens for the signal; false without a session bus.
    bool listen();

    // Sends the signal once the running copy listens (it owns the well-known name), waiting
    // up to `waitForListener` for a copy that is still starting; false when there is no session
    // bus or sending failed.
    static bool post(std::chrono::milliseconds waitForListener = std::chrono::seconds(5));

    // The process id of another program that owns the well-known name, or 0 when none does.
    static qint64 otherInstancePid();

    static QString serviceName();

Q_SIGNALS:
    void reopenRequested();

private Q_SLOTS:
    void onReopenSignal();

private:
    bool m_listening = false;
};
