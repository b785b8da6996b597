#pragma once

#include <QObject>

// The program's view of an updater. Linux has no updater framework for us to drive: packages
// are updated by the distribution, so the service stays unconfigured (no controller, both
// flags false) and every operation does nothing. It keeps the two-state contract so the tray
// menu and the settings window need no special case.
class UpdateService final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheck READ canCheck NOTIFY canCheckChanged)
    Q_PROPERTY(bool automaticallyChecks READ automaticallyChecks NOTIFY automaticallyChecksChanged)

public:
    explicit UpdateService(QObject *parent = nullptr);

    bool canCheck() const { return m_canCheck; }
    bool automaticallyChecks() const { return m_automaticallyChecks; }
    bool isConfigured() const { return m_configured; }

    // Local builds, demo copies and builds without a feed and key never configure an updater.
    void start(bool demo);
    void check();
    void setAutomaticChecks(bool on);

signals:
    void canCheckChanged();
    void automaticallyChecksChanged();

private:
    bool m_canCheck = false;
    bool m_automaticallyChecks = false;
    bool m_configured = false;
};
