#include "ui/controls/ShareButton.h"

#include "platform/ShareServices.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/controls/QuietIconButton.h"
#include "ui/design/SymbolIcons.h"

#include <QMenu>
#include <QPainter>
#include <QPainterPath>

ShareButton::ShareButton(ShareServices &share, const QUrl &url, QWidget *parent)
    : QAbstractButton(parent)
    , m_share(share)
    , m_icon(SymbolIcons::icon(QStringLiteral("square.and.arrow.up")))
{
    setToolTip(tr("Share screenshot"));
    setAccessibleName(tr("Share screenshot"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    // Hover events repaint; painting asks underMouse().
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, &ShareButton::share);
    setUrl(url);
}

void ShareButton::setUrl(const QUrl &url)
{
    m_url = url;
    setEnabled(url.isLocalFile());
}

QSize ShareButton::sizeHint() const
{
    return {BrimfoldDesign::quietButtonSide, BrimfoldDesign::quietButtonSide};
}

QMenu *ShareButton::createMenu()
{
    auto *menu = new QMenu(this);
    menu->setAccessibleName(tr("Share screenshot"));
    const QUrl url = m_url;
    if (m_share.isAvailable(ShareServices::Service::email)) {
        menu->addAction(QIcon::fromTheme(QStringLiteral("mail-message-new")), tr("Email…"), menu,
                        [this, url] { m_share.email(url); });
    }
    if (m_share.isAvailable(ShareServices::Service::openWith)) {
        menu->addAction(QIcon::fromTheme(QStringLiteral("document-open")),
                        tr("Open With…"), menu, [this, url] { m_share.openWith(url); });
    }
    if (m_share.isAvailable(ShareServices::Service::copyFile)) {
        menu->addAction(QIcon::fromTheme(QStringLiteral("edit-copy")), tr("Copy File"), menu,
                        [this, url] { m_share.copyFile(url); });
    }
    return menu;
}

void ShareButton::share()
{
    if (!m_url.isLocalFile())
        return;
    // One picker at a time: a new press replaces the one still open.
    if (m_picker)
        m_picker->deleteLater();
    m_picker = createMenu();
    m_picker->setAttribute(Qt::WA_DeleteOnClose);
    // Nothing to offer (no desktop tools at all): no empty menu.
    if (m_picker->isEmpty()) {
        m_picker->deleteLater();
        return;
    }
    m_picker->popup(mapToGlobal(QPoint(0, height())));
}

void ShareButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(rect());
    const bool open = m_picker && m_picker->isVisible();
    const QColor background =
        QuietIconButton::backgroundColour(palette(), false, underMouse() || open);
    if (background.alpha() > 0) {
        QPainterPath shape;
        shape.addRoundedRect(frame, BrimfoldDesign::quietButtonRadius,
                             BrimfoldDesign::quietButtonRadius);
        painter.fillPath(shape, background);
    }
    QColor symbol = QuietIconButton::symbolColour(palette(), false);
    if (!isEnabled())
        symbol = BrimfoldDesign::withOpacity(symbol, 0.4);
    else if (isDown())
        symbol = BrimfoldDesign::withOpacity(symbol, 0.75);
    SymbolIcons::paint(painter, frame, m_icon, BrimfoldDesign::quietSymbolSize, symbol);
}

