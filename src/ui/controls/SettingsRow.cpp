#include "ui/controls/SettingsRow.h"

#include "ui/controls/SettingsStyle.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QMouseEvent>

SettingsRow::SettingsRow(QWidget *parent)
    : QWidget(parent)
    , m_content(new QHBoxLayout(this))
{
    m_content->setContentsMargins(SettingsStyle::rowHorizontalPadding,
                                  SettingsStyle::rowVerticalPadding,
                                  SettingsStyle::rowHorizontalPadding,
                                  SettingsStyle::rowVerticalPadding);
    m_content->setSpacing(12);
    setMinimumHeight(SettingsStyle::rowMinimumHeight);
}

void SettingsRow::setActivator(QAbstractButton *activator)
{
    m_activator = activator;
}

void SettingsRow::mousePressEvent(QMouseEvent *event)
{
    // Taken, so the release that follows comes here too.
    if (m_activator && event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void SettingsRow::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_activator && m_activator->isEnabled() && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint())) {
        m_activator->setFocus(Qt::MouseFocusReason);
        m_activator->click();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}
