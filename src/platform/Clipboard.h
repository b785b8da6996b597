#pragma once

#include <QByteArray>
#include <QString>

// The desktop clipboard as the library's copy actions use it. Each write replaces the whole
// clipboard with one kind of content and reports whether the clipboard took it.
class Clipboard
{
public:
    virtual ~Clipboard() = default;

    // Offers exactly these PNG bytes, under "image/png" and nothing else, so a paste gets the
    // file's own bytes and no re-encoding. False when the clipboard did not take them.
    virtual bool writeImagePng(const QByteArray &png) = 0;

    // Offers the text as plain text only. False when the clipboard did not take it.
    virtual bool writeText(const QString &text) = 0;

protected:
    Clipboard() = default;
    Clipboard(const Clipboard &) = default;
    Clipboard &operator=(const Clipboard &) = default;
};
