#pragma once

#include "platform/ColorScheme.h"

#include <QVariant>

class QDBusVariant;

// The portal's org.freedesktop.appearance color-scheme, read at start and followed live.
class PortalColorScheme final : public ColorScheme
{
    Q_OBJECT

public:
    explicit PortalColorScheme(QObject *parent = nullptr);
    ~PortalColorScheme() override;

    Preference preference() const override { return m_preference; }

    // The portal's number: 1 prefers dark, 2 prefers light, anything else no preference.
    static Preference interpret(const QVariant &value);

private slots:
    void onSettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void set(Preference preference);

    Preference m_preference = Preference::none;
};
