#include "library/Toasts.h"

Toasts::Toasts(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Toasts::expire);
}

void Toasts::show(const QString &message, std::chrono::milliseconds duration, ToastStyle style)
{
    m_timer.stop();
    if (m_style != style) {
        m_style = style;
        emit styleChanged();
    }
    emit ended();
    setMessage(message);
    m_timer.start(std::chrono::milliseconds(qRound64(double(duration.count()) * m_durationScale)));
}

void Toasts::expire()
{
    setMessage(std::nullopt);
    emit ended();
}

void Toasts::setMessage(const std::optional<QString> &message)
{
    if (m_message == message)
        return;
    m_message = message;
    emit messageChanged();
}
