#pragma once

// Whether the desktop starts Brimfold when the user logs in.
class LaunchAtLogin
{
public:
    virtual ~LaunchAtLogin() = default;

    virtual bool isEnabled() const = 0;
    // False when the change could not be made; the state is then whatever it was before.
    virtual bool setEnabled(bool on) = 0;

protected:
    LaunchAtLogin() = default;
    LaunchAtLogin(const LaunchAtLogin &) = default;
    LaunchAtLogin &operator=(const LaunchAtLogin &) = default;
};
