#include "platform/freedesktop/SystemUrlOpener.h"

#include <QDesktopServices>

bool SystemUrlOpener::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
