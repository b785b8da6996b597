#include "ui/design/BrimfoldDesign.h"

#include "core/BackgroundPool.h"
#include "core/DataFolders.h"
#include "ui/design/BrimfoldGlyph.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QFuture>

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <numbers>

namespace BrimfoldDesign {

namespace {

// The spring's step response stays within this much of its target once settled.
constexpr double kSettleTolerance = 0.001;

double springSettleSeconds()
{
    const Spring s = spring();
    const double omega = 2.0 * std::numbers::pi / s.response;
    return std::log(1.0 / kSettleTolerance) / (s.dampingFraction * omega);
}

qreal springProgress(qreal progress)
{
    if (progress >= 1.0)
        return 1.0;
    return springValue(progress * springSettleSeconds());
}

} // namespace

QColor accent()
{
    return QColor::fromRgbF(0.38f, 0.38f, 0.91f, 1.0f);
}

QColor coral()
{
    return QColor::fromRgbF(0.95f, 0.4f, 0.26f, 1.0f);
}

Spring spring()
{
    return Spring{};
}

double springValue(double seconds)
{
    if (seconds <= 0.0)
        return 0.0;
    const Spring s = spring();
    const double omega = 2.0 * std::numbers::pi / s.response;
    const double zeta = s.dampingFraction;
    const double damped = omega * std::sqrt(1.0 - zeta * zeta);
    const double envelope = std::exp(-zeta * omega * seconds);
    return 1.0
        - envelope * (std::cos(damped * seconds) + (zeta * omega / damped) * std::sin(damped * seconds));
}

QEasingCurve springCurve()
{
    QEasingCurve curve;
    curve.setCustomType(&springProgress);
    return curve;
}

int springDurationMs()
{
    return int(std::lround(springSettleSeconds() * 1000.0));
}

QEasingCurve hoverCurve()
{
    return QEasingCurve(QEasingCurve::OutCubic);
}

QStringList appIconCandidates()
{
    return DataFolders::candidates(QStringLiteral("AppIcon.png"))
        + DataFolders::candidates(QStringLiteral("AppIcon.icns"));
}

std::optional<QImage> loadAppIcon(const QStringList &candidates)
{
    for (const QString &path : candidates) {
        if (!QFileInfo(path).isFile())
            continue;
        // Read as what it is named: left to guess, Qt loads every image-format plugin it has.
        QImageReader reader(path, QFileInfo(path).suffix().toLatin1());
        reader.setAutoDetectImageFormat(false);
        QImage image = reader.read();
        if (!image.isNull())
            return image;
    }
    return std::nullopt;
}

std::optional<QImage> appIcon()
{
    // Loaded once: the installed icon does not change while the program runs.
    static const std::optional<QImage> icon = loadAppIcon(appIconCandidates());
    return icon;
}

QIcon windowIcon()
{
    if (const std::optional<QImage> icon = appIcon())
        return QIcon(QPixmap::fromImage(*icon));
    QIcon result;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        QImage tile(side, side, QImage::Format_ARGB32_Premultiplied);
        tile.fill(Qt::transparent);
        QPainter painter(&tile);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF bounds = QRectF(tile.rect()).adjusted(side * 0.04, side * 0.04,
                                                           -side * 0.04, -side * 0.04);
        QLinearGradient fill(bounds.topLeft(), bounds.bottomLeft());
        fill.setColorAt(0, QColor(255, 255, 255));
        fill.setColorAt(1, QColor(242, 240, 250));
        painter.setPen(QPen(withOpacity(accent(), 0.25), std::max(1.0, side / 64.0)));
        painter.setBrush(fill);
        painter.drawRoundedRect(bounds, side * 0.22, side * 0.22);
        const qreal inset = side * 0.2;
        BrimfoldGlyph::stroke(painter, bounds.adjusted(inset, inset, -inset, -inset), coral(),
                              std::max(1.0, side * 0.06));
        painter.end();
        result.addPixmap(QPixmap::fromImage(tile));
    }
    return result;
}

QImage menuBarIconImage(int scale, const QColor &ink)
{
    scale = std::max(1, scale);
    QImage image(menuBarIconSide * scale, menuBarIconSide * scale,
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    BrimfoldGlyph::stroke(painter, QRectF(0, 0, menuBarIconSide, menuBarIconSide), ink,
                          menuBarIconLineWidth);
    return image;
}

QIcon menuBarIcon(const QColor &ink)
{
    QIcon icon;
    for (const int scale : {1, 2, 3})
        icon.addPixmap(QPixmap::fromImage(menuBarIconImage(scale, ink)));
    icon.setIsMask(true);
    return icon;
}

QString menuBarIconDescription()
{
    return QCoreApplication::translate("BrimfoldDesign", "Brimfold screenshots");
}

QColor withOpacity(QColor colour, qreal opacity)
{
    colour.setAlphaF(float(colour.alphaF() * std::clamp(opacity, 0.0, 1.0)));
    return colour;
}

QColor primary(const QPalette &palette, qreal opacity)
{
    return withOpacity(palette.color(QPalette::WindowText), opacity);
}

QColor secondary(const QPalette &palette)
{
    return primary(palette, 0.55);
}

QColor tertiary(const QPalette &palette)
{
    return primary(palette, 0.3);
}

namespace {

struct FaceWeights final
{
    std::mutex mutex;
    QString family;
    QList<int> weights;
};

FaceWeights &faceWeights()
{
    static FaceWeights known;
    return known;
}

} // namespace

int drawnWeight(int weight, const QList<int> &faceWeights)
{
    if (faceWeights.isEmpty() || faceWeights.contains(weight))
        return weight;
    int nearest = faceWeights.first();
    bool tied = false;
    for (const int face : faceWeights) {
        const int distance = std::abs(face - weight), best = std::abs(nearest - weight);
        if (distance < best) {
            nearest = face;
            tied = false;
        } else if (distance == best && face != nearest) {
            tied = true;
        }
    }
    // A tie is settled by the order of Qt's own list; and from Bold up Qt thickens a face that
    // is not bold, so a weight below it and one above draw differently on the same face.
    if (tied || (weight >= QFont::Bold) != (nearest >= QFont::Bold))
        return weight;
    return nearest;
}

void setFaceWeights(const QString &family, QList<int> weights)
{
    FaceWeights &known = faceWeights();
    const std::lock_guard lock(known.mutex);
    known.family = family;
    known.weights = std::move(weights);
}

QFont font(qreal size, QFont::Weight weight)
{
    QFont result;
    result.setPixelSize(std::max(1, int(std::lround(size))));
    int drawn = weight;
    {
        FaceWeights &known = faceWeights();
        const std::lock_guard lock(known.mutex);
        // Learnt for another family (the desktop's font changed since), they say nothing.
        if (known.family == result.family())
            drawn = drawnWeight(weight, known.weights);
    }
    result.setWeight(QFont::Weight(drawn));
    return result;
}

QFuture<void> warmUpFonts(QFuture<void> configurationRead)
{
    // The font database is shared by every thread and guarded by Qt; listing the fonts and
    // matching the design's faces fills it and fontconfig's caches for the GUI thread.
    return configurationRead.then(&BackgroundPool::shared(), [] {
        QFontDatabase::families();
        // The family fontconfig draws the application font with, and the weights it has faces
        // for: Medium text in a family without a Medium face is drawn by its Regular one.
        const QFont base = font(13);
        const QString drawnFamily = QFontInfo(base).family();
        QList<int> weights;
        for (const QString &style : QFontDatabase::styles(drawnFamily)) {
            if (!QFontDatabase::italic(drawnFamily, style))
                weights.append(QFontDatabase::weight(drawnFamily, style));
        }
        setFaceWeights(base.family(), std::move(weights));
        for (const QFont::Weight weight : {QFont::Normal, QFont::Medium, QFont::DemiBold})
            QFontMetricsF(font(13, weight)).horizontalAdvance(QStringLiteral("Screenshots"));
    });
}

} // namespace BrimfoldDesign
