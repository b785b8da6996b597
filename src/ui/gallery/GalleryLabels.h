#pragma once

#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// Text labels in the gallery's type scale. The tone follows the palette, so labels recolour
// with a light or dark appearance, also when it changes while they are shown.
class GalleryLabels final
{
public:
    enum class Tone { primary, secondary, accent };

    static QLabel *make(const QString &text, qreal size, QFont::Weight weight, Tone tone,
                        QWidget *parent);
    // Recolours a label made here (or any label) for `tone`, now and on every palette change.
    static void setTone(QLabel *label, Tone tone);
};
