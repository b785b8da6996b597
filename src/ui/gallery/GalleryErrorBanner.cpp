#include "ui/gallery/GalleryErrorBanner.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/controls/GalleryButton.h"
#include "ui/gallery/GalleryLabels.h"
#include "ui/design/SymbolView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kSideMargin = 22;
constexpr int kBottomMargin = 10;
constexpr int kPadding = 12;
constexpr qreal kRadius = 10;
constexpr qreal kFillOpacity = 0.10;
const QColor kOrange(255, 149, 0);
} // namespace

GalleryErrorBanner::GalleryErrorBanner(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("errorBanner"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(kSideMargin + kPadding, kPadding, kSideMargin + kPadding,
                            kPadding + kBottomMargin);
    row->setSpacing(8);

    auto *symbol = new SymbolView(QStringLiteral("exclamationmark.circle"), 13, this);
    symbol->setColour(kOrange.darker(115));
    row->addWidget(symbol, 0, Qt::AlignVCenter);

    m_message = GalleryLabels::make(QString(), 11, QFont::Normal, GalleryLabels::Tone::primary,
                                    this);
    m_message->setObjectName(QStringLiteral("errorMessage"));
    m_message->setWordWrap(true);
    row->addWidget(m_message, 1);

    m_reconnect = new GalleryButton(GalleryButton::Kind::plain, tr("Reconnect"), this);
    m_reconnect->setObjectName(QStringLiteral("reconnectButton"));
    m_reconnect->setTypeSize(11, QFont::DemiBold);
    connect(m_reconnect, &QAbstractButton::clicked, this, &GalleryErrorBanner::reconnectClicked);
    row->addWidget(m_reconnect, 0, Qt::AlignVCenter);
}

void GalleryErrorBanner::setMessage(const QString &message)
{
    m_message->setText(message);
    setAccessibleName(message);
}

QString GalleryErrorBanner::message() const
{
    return m_message->text();
}

void GalleryErrorBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(kSideMargin, 0, -kSideMargin, -kBottomMargin);
    QPainterPath shape;
    shape.addRoundedRect(box, kRadius, kRadius);
    QColor fill = kOrange;
    fill.setAlphaF(float(kFillOpacity));
    painter.fillPath(shape, fill);
}
