#include "settings/GlobalShortcut.h"

#include "platform/HotKeySource.h"

GlobalShortcut::GlobalShortcut(std::unique_ptr<HotKeySource> source, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
{
    if (m_source)
        connect(m_source.get(), &HotKeySource::pressed, this, &GlobalShortcut::pressed);
}

GlobalShortcut::~GlobalShortcut() = default;

bool GlobalShortcut::registerShortcut(const Shortcut &shortcut)
{
    if (m_registered) {
        m_source->release();
        m_registered.reset();
    }
    if (!m_source || !m_source->grab(shortcut.keyCode, shortcut.modifiers))
        return false;
    m_registered = shortcut;
    return true;
}
