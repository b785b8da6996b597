#pragma once

#include "settings/Shortcut.h"

#include <QObject>

#include <memory>
#include <optional>

class HotKeySource;

// The one system-wide shortcut that opens and closes the gallery. Created once for the life of
// the program; at most one shortcut is registered at any time.
class GlobalShortcut final : public QObject
{
    Q_OBJECT

public:
    // Without a source (a desktop without hot keys) every registration fails.
    explicit GlobalShortcut(std::unique_ptr<HotKeySource> source, QObject *parent = nullptr);
    ~GlobalShortcut() override;

    // Gives up the registered shortcut, then registers this one. False when the desktop
    // refuses it or has no hot keys; then nothing is registered, and a caller that wants the
    // previous shortcut back registers it again.
    bool registerShortcut(const Shortcut &shortcut);

    // The shortcut registered now, if any.
    const std::optional<Shortcut> &registered() const { return m_registered; }

signals:
    // The registered shortcut was pressed; emitted on the main thread.
    void pressed();

private:
    std::unique_ptr<HotKeySource> m_source;
    std::optional<Shortcut> m_registered;
};
