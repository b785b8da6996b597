#include "platform/x11/SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {
const QString pngType = QStringLiteral("image/png");
} // namespace

SystemClipboard::SystemClipboard()
    : SystemClipboard(QGuiApplication::clipboard())
{
}

SystemClipboard::SystemClipboard(QClipboard *clipboard)
    : m_clipboard(clipboard)
{
}

bool SystemClipboard::writeImagePng(const QByteArray &png)
{
    if (png.isEmpty())
        return false;
    // Raw bytes under the one type. QClipboard::setImage would re-encode the picture and
    // offer a dozen other image types besides.
    auto *data = new QMimeData;
    data->setData(pngType, png);
    return publish(data);
}

bool SystemClipboard::writeText(const QString &text)
{
    // What QClipboard::setText does, but keeping hold of the data to check it arrived.
    auto *data = new QMimeData;
    data->setText(text);
    return publish(data);
}

bool SystemClipboard::publish(QMimeData *data)
{
    if (!m_clipboard) {
        delete data;
        return false;
    }
    // The clipboard may delete data it cannot take, so only a guarded pointer is compared.
    const QPointer<QMimeData> written(data);
    m_clipboard->setMimeData(data, QClipboard::Clipboard);
    if (m_clipboard->ownsClipboard())
        return true;
    return written && m_clipboard->mimeData(QClipboard::Clipboard) == written.data();
}
