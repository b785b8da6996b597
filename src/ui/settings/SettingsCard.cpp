#include "ui/settings/SettingsCard.h"

#include "ui/controls/SettingsStyle.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

SettingsCard::SettingsCard(QWidget *parent)
    : QWidget(parent)
    , m_rows(new QVBoxLayout(this))
{
    m_rows->setContentsMargins(0, 1, 0, 1);
    m_rows->setSpacing(0);
}

void SettingsCard::addRow(QWidget *row)
{
    row->setParent(this);
    row->installEventFilter(this);
    m_rows->addWidget(row);
}

bool SettingsCard::eventFilter(QObject *, QEvent *event)
{
    // The lines sit between visible rows, so they move whenever a row comes or goes.
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
        update();
        break;
    default:
        break;
    }
    return false;
}

void SettingsCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(bounds, SettingsStyle::cardRadius, SettingsStyle::cardRadius);
    painter.fillPath(shape, SettingsStyle::cardFill(colours));
    painter.setPen(QPen(SettingsStyle::cardBorder(colours), 1));
    painter.drawPath(shape);

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(SettingsStyle::hairline(colours), 1));
    const int inset = SettingsStyle::rowHorizontalPadding;
    bool first = true;
    for (int i = 0; i < m_rows->count(); ++i) {
        const QWidget *row = m_rows->itemAt(i)->widget();
        if (!row || row->isHidden())
            continue;
        if (!first)
            painter.drawLine(inset, row->y(), width() - inset - 1, row->y());
        first = false;
    }
}
