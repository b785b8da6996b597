#pragma once

#include "platform/Clipboard.h"

#include <optional>

// A clipboard in memory: remembers the last accepted write, and can be told to refuse.
class FakeClipboard final : public Clipboard
{
public:
    bool writeImagePng(const QByteArray &png) override
    {
        ++writeCount;
        if (!accepts)
            return false;
        image = png;
        text.reset();
        return true;
    }

    bool writeText(const QString &value) override
    {
        ++writeCount;
        if (!accepts)
            return false;
        text = value;
        image.reset();
        return true;
    }

    bool accepts = true;                // false: every write fails and changes nothing
    int writeCount = 0;                 // attempted writes, accepted or not
    std::optional<QByteArray> image;    // the PNG bytes on the clipboard, if an image is there
    std::optional<QString> text;        // the text on the clipboard, if text is there
};
