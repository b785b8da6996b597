#pragma once

#include "platform/UrlOpener.h"

// Through QDesktopServices (xdg-open underneath).
class SystemUrlOpener final : public UrlOpener
{
public:
    bool open(const QUrl &url) override;
};
