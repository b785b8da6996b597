#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

// The desktop's active window, as the window manager reports it. The gallery remembers the
// window the user was in and gives the keyboard back to it when it hides.
class ActiveWindow
{
public:
    virtual ~ActiveWindow() = default;

    // The window the window manager calls active; none when nothing is active or the desktop
    // does not say.
    virtual std::optional<quint64> current() const = 0;
    // The same question, asked now and answered when the returned function is called: the
    // desktop answers while the caller goes on, and the answer is the active window of the
    // moment of asking. Here the question waits until the answer is taken.
    virtual std::function<std::optional<quint64>()> ask() const
    {
        return [this] { return current(); };
    }
    // Asks the window manager to activate the window, as a user's click would.
    virtual void activate(quint64 window) = 0;
    // False once the window is gone (its owner quit or closed it).
    virtual bool exists(quint64 window) const = 0;
};
