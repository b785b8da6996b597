#include "ui/controls/SettingsStyle.h"

#include "ui/design/BrimfoldDesign.h"

#include <QLabel>
#include <QVariant>

namespace SettingsStyle {

namespace {

constexpr const char *kToneProperty = "brimfoldSettingsTone";

QColor mix(const QColor &a, const QColor &b, qreal amount)
{
    const auto blend = [amount](float x, float y) { return x + (y - x) * float(amount); };
    return QColor::fromRgbF(blend(a.redF(), b.redF()), blend(a.greenF(), b.greenF()),
                            blend(a.blueF(), b.blueF()), blend(a.alphaF(), b.alphaF()));
}

void inkLabel(QLabel *label, const QPalette &colours)
{
    const QVariant tone = label->property(kToneProperty);
    if (!tone.isValid())
        return;
    // A fresh palette with one role set: the label inherits every other role.
    QPalette own;
    own.setColor(QPalette::WindowText, ink(colours, Tone(tone.toInt())));
    label->setPalette(own);
}

} // namespace

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor ink(const QPalette &palette, Tone tone)
{
    switch (tone) {
    case Tone::primary:
        return BrimfoldDesign::primary(palette);
    case Tone::secondary:
        return BrimfoldDesign::secondary(palette);
    case Tone::accent:
        return isDark(palette) ? BrimfoldDesign::accent().lighter(135) : BrimfoldDesign::accent();
    case Tone::warning:
        return warning(palette);
    }
    return BrimfoldDesign::primary(palette);
}

QColor background(const QPalette &palette)
{
    return palette.color(QPalette::Window);
}

QColor cardFill(const QPalette &palette)
{
    const QColor window = palette.color(QPalette::Window);
    return isDark(palette) ? mix(window, palette.color(QPalette::WindowText), 0.07)
                           : mix(window, Qt::white, 0.85);
}

QColor cardBorder(const QPalette &palette)
{
    return BrimfoldDesign::primary(palette, isDark(palette) ? 0.09 : 0.08);
}

QColor hairline(const QPalette &palette)
{
    return BrimfoldDesign::primary(palette, isDark(palette) ? 0.10 : 0.08);
}

QColor warning(const QPalette &palette)
{
    return isDark(palette) ? QColor(255, 120, 110) : QColor(204, 42, 36);
}

QColor focusRing()
{
    return BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.6);
}

QLabel *label(const QString &text, qreal size, QFont::Weight weight, Tone tone, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(BrimfoldDesign::font(size, weight));
    label->setTextFormat(Qt::PlainText);
    setTone(label, tone);
    return label;
}

void setTone(QLabel *label, Tone tone)
{
    label->setProperty(kToneProperty, int(tone));
    inkLabel(label, label->window()->palette());
}

void applyTones(QWidget *root)
{
    const QPalette &colours = root->palette();
    for (QLabel *label : root->findChildren<QLabel *>())
        inkLabel(label, colours);
}

} // namespace SettingsStyle
