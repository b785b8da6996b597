#pragma once

#include <QObject>

// A system-wide hot key: one key, in the stored virtual key code, with a modifier mask in the
// stored encoding (core/VirtualKey.h). Holds at most one key at a time.
class HotKeySource : public QObject
{
    Q_OBJECT

public:
    ~HotKeySource() override = default;

    // Takes the combination for this program. False when the desktop refuses it (another
    // program holds it) or offers no hot keys at all; then nothing is held.
    virtual bool grab(quint32 keyCode, quint32 modifiers) = 0;
    // Gives back what `grab` took; nothing happens when nothing is held.
    virtual void release() = 0;

signals:
    // The held combination was pressed; delivered on the main thread.
    void pressed();
    // Its key went down (before `pressed`) or up. Meanwhile a grab may hold the keyboard for
    // this program, and its windows lose focus to the grab.
    void heldChanged(bool held);

protected:
    explicit HotKeySource(QObject *parent = nullptr) : QObject(parent) {}
};
