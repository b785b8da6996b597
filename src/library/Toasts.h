#pragma once

#include "library/ToastStyle.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

// The library's transient message: one at a time, each replacing the one before and going
// away by itself after its duration.
class Toasts final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(std::optional<QString> message READ message NOTIFY messageChanged)
    Q_PROPERTY(ToastStyle style READ style NOTIFY styleChanged)

public:
    static constexpr std::chrono::milliseconds defaultDuration{2600};
    static constexpr std::chrono::milliseconds trashDuration{6000};

    explicit Toasts(QObject *parent = nullptr);

    const std::optional<QString> &message() const { return m_message; }
    ToastStyle style() const { return m_style; }

    void show(const QString &message, std::chrono::milliseconds duration = defaultDuration,
              ToastStyle style = ToastStyle::success);

    // Every later toast lasts its duration times `scale`, so tests need not wait in real time.
    void setDurationScale(double scale) { m_durationScale = scale; }

    // A message is shown exactly while its timer runs.
    bool isConsistent() const { return m_message.has_value() == m_timer.isActive(); }

signals:
    void messageChanged();
    void styleChanged();
    // Whatever was shown gave way: a new toast begins, or the current one expired. Marks
    // that belong to a toast end here.
    void ended();

private:
    void setMessage(const std::optional<QString> &message);
    void expire();

    std::optional<QString> m_message;
    ToastStyle m_style = ToastStyle::success;
    double m_durationScale = 1.0;
    QTimer m_timer;
};
