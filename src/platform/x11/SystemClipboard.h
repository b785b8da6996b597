#pragma once

#include "platform/Clipboard.h"

#include <QPointer>

class QClipboard;
class QMimeData;

// The CLIPBOARD selection through QClipboard. A write counts as done when this process holds
// the clipboard right after it: on X11 that is ownership of the selection. Qt's in-process
// clipboard (offscreen and minimal platforms) knows no ownership and always answers "not
// owned", so there a write also counts as done when the clipboard now hands back the very
// data just written.
class SystemClipboard final : public Clipboard
{
public:
    // The application's clipboard; needs a QGuiApplication for as long as it is used.
    SystemClipboard();
    explicit SystemClipboard(QClipboard *clipboard);

    bool writeImagePng(const QByteArray &png) override;
    bool writeText(const QString &text) override;

private:
    // Hands `data` to the clipboard (which takes ownership) and reports whether it holds it.
    bool publish(QMimeData *data);

    QPointer<QClipboard> m_clipboard;
};
