#include "platform/UrlOpener.h"

#include <QDesktopServices>

bool SystemUrlOpener::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
