#pragma once

#include "platform/SleepWatcher.h"

// logind's PrepareForSleep(false) on the system bus.
class LogindSleepWatcher final : public SleepWatcher
{
    Q_OBJECT

public:
    explicit LogindSleepWatcher(QObject *parent = nullptr);

    void start() override;

private slots:
    void onPrepareForSleep(bool sleeping);
};
