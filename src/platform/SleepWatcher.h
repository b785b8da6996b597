#pragma once

#include <QObject>

// Tells when the computer woke from sleep, so the library can look at its folder again (a
// network or removable folder may have gone or changed meanwhile). This base never reports;
// tests emit `woke` themselves.
class SleepWatcher : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Begins to listen; called once the first window is on screen, which it must not delay.
    virtual void start() {}

signals:
    void woke();
};
