#pragma once

#include "platform/HotKeySource.h"
#include "settings/Shortcut.h"

#include <optional>

// Holds any combination unless told to refuse; the test presses it.
struct FakeHotKeys final : HotKeySource
{
    bool grab(quint32 keyCode, quint32 modifiers) override
    {
        if (!accepts)
            return false;
        held = Shortcut{keyCode, modifiers, QString()};
        return true;
    }
    void release() override { held.reset(); }
    void press() { emit pressed(); }

    bool accepts = true;
    std::optional<Shortcut> held; // character left empty
};
