#pragma once

#include "platform/UrlOpener.h"

#include <QList>
#include <QUrl>

// Records what it is asked to open, and accepts it unless told otherwise.
struct FakeUrlOpener final : UrlOpener
{
    bool open(const QUrl &url) override
    {
        opened.append(url);
        return accepts;
    }

    bool accepts = true;
    QList<QUrl> opened;
};
