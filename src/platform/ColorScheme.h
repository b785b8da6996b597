#pragma once

#include <QObject>

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
