#pragma once

#include "platform/HotKeySource.h"

#include <QAbstractNativeEventFilter>
#include <QList>

// The hot key on X11: passive key grabs on the root windows, read from Qt's own connection.
// The combination is grabbed as is and with Caps Lock, Num Lock and both, so the lock keys
// never matter. Off X11 every grab is refused.
class X11HotKeySource final : public HotKeySource, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11HotKeySource(QObject *parent = nullptr);
    ~X11HotKeySource() override;

    bool grab(quint32 keyCode, quint32 modifiers) override;
    void release() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab
    {
        quint32 root;
        quint8 keycode;
        quint16 modifiers;
    };

    QList<Grab> m_grabs; // the combination with each lock variant, on every root window
    quint16 m_modifiers = 0; // X modifier bits of the combination
    quint16 m_lockMask = 0;  // Caps Lock and Num Lock bits, ignored in presses
    int m_heldKeycode = -1;  // pressed and not yet released
    // The last release of the held key: auto-repeat sends a release and a press of the same
    // time, and that press is no new one.
    int m_releasedKeycode = -1;
    quint32 m_releaseTime = 0;
};
