#include "settings/GlobalShortcut.h"

#include "platform/HotKeySource.h"
#include "platform/portal/PortalHotKeySource.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcShortcut, "brimfold.shortcut", QtWarningMsg)

GlobalShortcut::GlobalShortcut(std::unique_ptr<HotKeySource> source, QObject *parent)
    : GlobalShortcut(std::move(source), nullptr, parent)
{
}

GlobalShortcut::GlobalShortcut(std::unique_ptr<HotKeySource> source, std::unique_ptr<PortalHotKeySource> portal,
                               QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
    , m_portal(std::move(portal))
{
    if (m_source) {
        connect(m_source.get(), &HotKeySource::pressed, this, &GlobalShortcut::pressed);
        connect(m_source.get(), &HotKeySource::heldChanged, this, &GlobalShortcut::heldChanged);
    }
    if (!m_portal)
        return;
    connect(m_portal.get(), &PortalHotKeySource::pressed, this, &GlobalShortcut::pressed);
    connect(m_portal.get(), &PortalHotKeySource::bound, this, [this] {
        if (m_grabbed)
            m_source->release();
        m_grabbed = false;
        m_registered = m_asked;
        m_asked.reset();
        emit desktopTriggerChanged();
        emit desktopAnswered(DesktopAnswer::bound);
    });
    connect(m_portal.get(), &PortalHotKeySource::refused, this,
            [this] { desktopFailed(DesktopAnswer::refused); });
    connect(m_portal.get(), &PortalHotKeySource::unavailable, this,
            [this] { desktopFailed(DesktopAnswer::unavailable); });
    connect(m_portal.get(), &PortalHotKeySource::triggerChanged, this, &GlobalShortcut::desktopTriggerChanged);
}

GlobalShortcut::~GlobalShortcut() = default;

bool GlobalShortcut::registerShortcut(const Shortcut &shortcut)
{
    m_asked.reset();
    if (m_portal) {
        const bool wasBound = m_portal->isBound();
        m_portal->release();
        if (wasBound)
            emit desktopTriggerChanged();
    }
    if (m_grabbed)
        m_source->release();
    m_grabbed = false;
    m_registered.reset();
    if (!m_source || !m_source->grab(shortcut.keyCode, shortcut.modifiers)) {
        qCWarning(lcShortcut) << "the shortcut" << shortcut.label() << "could not be registered";
        return false;
    }
    m_grabbed = true;
    m_registered = shortcut;
    return true;
}

void GlobalShortcut::bindWithDesktop(const Shortcut &shortcut)
{
    if (!m_portal) {
        QMetaObject::invokeMethod(this, [this] { emit desktopAnswered(DesktopAnswer::unavailable); },
                                  Qt::QueuedConnection);
        return;
    }
    const bool wasBound = m_portal->isBound();
    m_asked = shortcut;
    // Back to the grab while the desktop decides: closing the session ends its binding.
    if (!m_grabbed && m_registered) {
        m_grabbed = m_source && m_source->grab(m_registered->keyCode, m_registered->modifiers);
        if (!m_grabbed)
            m_registered.reset();
    }
    m_portal->bind(shortcut.keyCode, shortcut.modifiers);
    if (wasBound)
        emit desktopTriggerChanged();
}

std::optional<QString> GlobalShortcut::desktopTrigger() const
{
    if (!m_portal || !m_portal->isBound())
        return std::nullopt;
    return m_portal->triggerDescription();
}

void GlobalShortcut::desktopFailed(DesktopAnswer answer)
{
    if (answer == DesktopAnswer::refused && m_asked)
        qCWarning(lcShortcut) << "the desktop refused the shortcut" << m_asked->label();
    m_asked.reset();
    emit desktopAnswered(answer);
}
