#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QLabel;
class QWidget;

// The settings window's type scale and colours. Every colour is worked out from a palette
// when it is needed, so the window follows a light or dark palette given to it at any time.
namespace SettingsStyle {

enum class Tone { primary, secondary, accent, warning };

// Sizes of the type scale, in design pixels.
inline constexpr qreal titleSize = 23;
inline constexpr qreal subtitleSize = 13;
inline constexpr qreal sectionSize = 13;
inline constexpr qreal bodySize = 13;
inline constexpr qreal captionSize = 11;

inline constexpr qreal cardRadius = 12;
inline constexpr int rowMinimumHeight = 46;
inline constexpr int rowHorizontalPadding = 16;
inline constexpr int rowVerticalPadding = 10;

bool isDark(const QPalette &palette);
QColor ink(const QPalette &palette, Tone tone);
// The window behind the cards, and the cards: lifted towards white in light palettes, towards
// the text colour in dark ones, as desktop preference windows draw their grouped lists.
QColor background(const QPalette &palette);
QColor cardFill(const QPalette &palette);
QColor cardBorder(const QPalette &palette);
QColor hairline(const QPalette &palette);
// Red that reads on either background.
QColor warning(const QPalette &palette);
QColor focusRing();

// A label in the type scale whose ink `applyTones` keeps in step with the window's palette.
QLabel *label(const QString &text, qreal size, QFont::Weight weight, Tone tone,
              QWidget *parent = nullptr);
void setTone(QLabel *label, Tone tone);
// Inks every toned label below `root` from `root`'s palette. A label gets only its text colour
// set, so every other role still comes from the window.
void applyTones(QWidget *root);

} // namespace SettingsStyle
