#pragma once

#include "platform/ActiveWindow.h"

// The active window through the EWMH root-window property _NET_ACTIVE_WINDOW. Without an X11
// connection (another platform plugin) there is never an active window to remember.
class X11ActiveWindow final : public ActiveWindow
{
public:
    std::optional<quint64> current() const override;
    // Sent at once; a question whose answer is never taken has its reply dropped.
    std::function<std::optional<quint64>()> ask() const override;
    void activate(quint64 window) override;
    bool exists(quint64 window) const override;
};
