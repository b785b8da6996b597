#pragma once

#include <QColor>
#include <QFuture>
#include <QEasingCurve>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPalette>
#include <QString>
#include <QStringList>

#include <optional>

// The shared look of every Brimfold surface: colours, motion, the application icon, the
// tray icon and the measurements the views agree on. Sizes are in device-independent pixels,
// the unit of the design.
namespace BrimfoldDesign {

// The tint and highlight colour of all views (a violet blue).
QColor accent();
// The fallback mark and the floating button's new-screenshot dot.
QColor coral();

// A slightly under-damped spring: how the floating button eases into hover and arrival states.
struct Spring
{
    double response = 0.32;       // seconds for one undamped oscillation
    double dampingFraction = 0.84; // 1 would be critically damped
    double blendDuration = 0.0;
};
Spring spring();
// The spring as a Qt animation: a curve that follows its step response, and the time it
// takes to settle within a thousandth of its target.
QEasingCurve springCurve();
int springDurationMs();
// The step response of `spring()` after `seconds`, from 0 towards 1.
double springValue(double seconds);

// Hover changes: ease-out over 0.12 s (skipped with reduce motion).
inline constexpr int hoverDurationMs = 120;
QEasingCurve hoverCurve();

// The application icon installed with the program ("AppIcon.png" or "AppIcon.icns" in its data
// folder), loaded once; none when it is missing or unreadable.
std::optional<QImage> appIcon();
// The files searched for the icon, in order: each of the program's data folders for the PNG,
// then for the ICNS.
QStringList appIconCandidates();
// The first candidate that decodes to an image.
std::optional<QImage> loadAppIcon(const QStringList &candidates);
// The window icon: `appIcon` when present, otherwise the coral glyph on a light tile.
QIcon windowIcon();

// The 18 × 18 tray icon: the glyph stroked in `ink` (width 1.35, round caps and joins) at 1×,
// 2× and 3×, marked as a mask so desktops that tint tray icons may do so.
inline constexpr int menuBarIconSide = 18;
QIcon menuBarIcon(const QColor &ink = Qt::black);
QImage menuBarIconImage(int scale, const QColor &ink = Qt::black);
// The description a screen reader gives the tray icon.
QString menuBarIconDescription();

// "The primary colour at n % opacity": the palette's text colour with that alpha.
QColor primary(const QPalette &palette, qreal opacity = 1.0);
QColor secondary(const QPalette &palette);
QColor tertiary(const QPalette &palette);
QColor withOpacity(QColor colour, qreal opacity);

// The application's font at the given size in design units (pixels) and weight. A weight the
// family has no face of its own for is asked as the weight of the face that draws it, once the
// family's faces are known (see warmUpFonts): the text looks the same, and every size needs one
// font engine (a fontconfig match, a glyph cache) the fewer.
QFont font(qreal size, QFont::Weight weight = QFont::Normal);
// The weight among `faceWeights` (a family's faces) that draws text asked at `weight`, when
// asking for that weight draws the same: the nearest one, unless two are as near or Qt would
// thicken one side of Bold and not the other. Else `weight` itself.
int drawnWeight(int weight, const QList<int> &faceWeights);
// What font() shares weights by: the faces of `family` (the application font's, as asked) are
// those of `faceWeights`. Any thread.
void setFaceWeights(const QString &family, QList<int> faceWeights);
// Lists the fonts and loads the design's faces on another thread once `configurationRead` is
// done, so the first window's text does not wait for them. The application object must outlive
// the returned work.
QFuture<void> warmUpFonts(QFuture<void> configurationRead);

// Shared measurements.
inline constexpr qreal defaultGlassRadius = 24;
inline constexpr qreal galleryRadius = 26;
inline constexpr int quietButtonSide = 32;
inline constexpr qreal quietButtonRadius = 10;
inline constexpr int quietSymbolSize = 14;
inline constexpr int markSize = 25;
inline constexpr qreal markLineWidthFactor = 0.07;
inline constexpr qreal menuBarIconLineWidth = 1.35;
inline constexpr int thumbnailPixels = 440;
inline constexpr int tileThumbnailHeight = 107;
inline constexpr qreal tileRadius = 13;
inline constexpr qreal tileImageRadius = 10;
inline constexpr int tileImageInset = 3;
inline constexpr int tileSpacing = 7;
inline constexpr int placeholderSymbolSize = 22;
inline constexpr qreal thumbnailBackgroundOpacity = 0.035;
inline constexpr qreal hairlineOpacity = 0.07;

} // namespace BrimfoldDesign
