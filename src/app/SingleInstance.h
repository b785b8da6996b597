#pragma once

#include <QString>

// One copy per user: an advisory lock on a file in the user's cache folder, held for the life
// of the process (the kernel releases it when the process ends; the file itself stays).
class SingleInstance final
{
public:
    enum class Outcome {
        Acquired,      // this is the only copy
        NotNeeded,     // demo copies run beside anything
        HeldElsewhere, // another copy holds the lock
        Unavailable,   // the lock file could not be made or locked; ask the session bus instead
    };

    SingleInstance() = default;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;
    // The descriptor is left open on purpose: closing it would drop the lock.
    ~SingleInstance() = default;

    // lockDirectory is created when missing; the lock file inside it is "instance.lock".
    Outcome acquire(bool demo, const QString &lockDirectory);

    // $XDG_CACHE_HOME/<AppIdentity::applicationId()>
    static QString defaultLockDirectory();

    int lockDescriptor() const { return m_fd; }

private:
    int m_fd = -1;
};
