#pragma once

#include <QObject>
#include <QVariant>

class QDBusVariant;

// Whether the desktop asks applications for dark or light colours; the "system" appearance
// follows it.
class ColorScheme : public QObject
{
    Q_OBJECT

public:
    enum class Preference { none, dark, light };

    virtual Preference preference() const = 0;

signals:
    void changed();

protected:
    using QObject::QObject;
};

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
