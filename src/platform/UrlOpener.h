#pragma once

#include <QUrl>

// Hands a URL (a web page, a mailto: draft, a local file) to the desktop's handler for it.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    // False when no handler took it.
    virtual bool open(const QUrl &url) = 0;

protected:
    UrlOpener() = default;
    UrlOpener(const UrlOpener &) = default;
    UrlOpener &operator=(const UrlOpener &) = default;
};
