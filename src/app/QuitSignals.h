#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (logout, `kill`) and SIGINT (Ctrl+C in a terminal) end the program through the event
// loop, like "Quit Brimfold": windows close and everything is destroyed in order, and the exit
// status is 0. The handler only writes a byte to a pipe; the loop does the rest.
class QuitSignals final : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

    // False when the pipe or the handlers could not be set up; the signals then keep their
    // default effect.
    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void quitRequested(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};
