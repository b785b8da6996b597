#include "ui/GalleryLabels.h"

#include "ui/BrimfoldDesign.h"

#include <QGuiApplication>
#include <QLabel>

QLabel *GalleryLabels::make(const QString &text, qreal size, QFont::Weight weight, Tone tone,
                            QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(BrimfoldDesign::font(size, weight));
    label->setTextFormat(Qt::PlainText);
    setTone(label, tone);
    return label;
}

void GalleryLabels::setTone(QLabel *label, Tone tone)
{
    // From the application's palette, so setting a tone twice never compounds the opacity.
    const QPalette base = QGuiApplication::palette();
    const QColor ink = tone == Tone::primary ? BrimfoldDesign::primary(base)
                                             : BrimfoldDesign::secondary(base);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ink);
    label->setPalette(palette);
}
