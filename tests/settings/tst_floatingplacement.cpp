#include "core/FloatingPlacement.h"
#include "core/PanelPlacement.h"
#include "settings/FloatingPosition.h"

#include <QTest>

#include <limits>

// All rects are y-up. The usual display is 1000 × 800 at the origin, so the button's inset
// area is 8…992 × 8…792; the usual button panel is 80 points square.
namespace {
const QRectF display(0, 0, 1000, 800);
const QSizeF button(80, 80);
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();
} // namespace

class TestFloatingPlacement final : public QObject
{
    Q_OBJECT

private slots:
    void clampedOrigin_data()
    {
        QTest::addColumn<QPointF>("proposed");
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QPointF>("expected");
        QTest::newRow("off bottom-left") << QPointF(-50, 10) << QSizeF(100, 100) << QPointF(12, 12);
        QTest::newRow("off top-right") << QPointF(950, 750) << QSizeF(100, 100) << QPointF(888, 688);
        QTest::newRow("too wide pins left") << QPointF(500, 300) << QSizeF(2000, 100) << QPointF(12, 300);
        QTest::newRow("not a number") << QPointF(notANumber, 400) << QSizeF(100, 100) << QPointF(12, 400);
    }

    void clampedOrigin()
    {
        QFETCH(QPointF, proposed);
        QFETCH(QSizeF, size);
        QFETCH(QPointF, expected);
        QCOMPARE(PanelPlacement::clampedOrigin(proposed.x(), proposed.y(), size.width(), size.height(), 0, 0, 1000, 800),
                 expected);
    }

    // Rows marked two-way hold in both directions; the others hold from the frame to the
    // fractions (a stored position is a frame) or from the fractions to the frame (stored).
    void position_data()
    {
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<QRectF>("visible");
        QTest::addColumn<double>("horizontal");
        QTest::addColumn<double>("vertical");
        const auto row = [](const char *name, const char *direction, QRectF frame, double h, double v,
                            QRectF visible = display) {
            QTest::newRow(name) << QString::fromLatin1(direction) << frame << visible << h << v;
        };
        row("flush bottom-left", "two-way", QRectF(QPointF(8, 8), button), 0, 0);
        row("flush top-right", "two-way", QRectF(QPointF(912, 712), button), 1, 1);
        row("middle, quarter up", "two-way", QRectF(QPointF(460, 184), button), 0.5, 0.25);
        // A display left of and below the main one: area 1008…1592 × −292…92.
        row("offset display", "two-way", QRectF(QPointF(1260, -292), button), 0.5, 0, QRectF(1000, -300, 600, 400));
        row("outside clamps", "stored", QRectF(QPointF(-100, 5000), button), 0, 1);
        row("wider than the area", "stored", QRectF(8.25, 8, 1200, 80), 0.25, 0);
        row("frame not a number", "stored", QRectF(notANumber, 8, 80, 80), 0.5, 0);
        row("beyond the range", "placed", QRectF(QPointF(912, 8), button), 2.5, -3);
        row("fractions not numbers", "placed", QRectF(QPointF(460, 360), button), notANumber, infinity);
        row("larger than the area", "placed", QRectF(8, 712, 1200, 80), 1, 1);
    }

    void position()
    {
        QFETCH(QString, direction);
        QFETCH(QRectF, frame);
        QFETCH(QRectF, visible);
        QFETCH(double, horizontal);
        QFETCH(double, vertical);
        const FloatingPosition position{QStringLiteral("D"), horizontal, vertical};
        if (direction != QLatin1String("placed"))
            QCOMPARE(FloatingPosition::fromFrame(QStringLiteral("D"), frame, visible), position);
        if (direction != QLatin1String("stored"))
            QCOMPARE(position.frame(frame.size(), visible), frame);
    }

    // How the button settles ("snap", "settle"), where it starts ("left", "right") and where
    // the 600 × 400 gallery opens beside it ("gallery"); `origin` is the button panel's.
    void placement_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QPointF>("origin");
        QTest::addColumn<QRectF>("visible");
        QTest::addColumn<QPointF>("expected");
        const auto row = [](const char *name, const char *operation, QPointF origin, QPointF expected,
                            QRectF visible = display) {
            QTest::newRow(name) << QString::fromLatin1(operation) << origin << visible << expected;
        };
        row("20 from left snaps", "snap", {28, 308}, {8, 308});
        row("30 from left stays", "snap", {38, 308}, {38, 308});
        row("at the threshold snaps", "snap", {32, 308}, {8, 308});
        row("near right snaps", "snap", {892, 308}, {912, 308});
        row("near top snaps", "snap", {500, 702}, {500, 712});
        row("corner snaps both", "snap", {20, 20}, {8, 8});
        row("off display, snapping", "snap", {-500, 308}, {8, 308});
        row("no snap near edge", "settle", {28, 308}, {28, 308});
        row("no snap, off bottom-left", "settle", {-30, -40}, {8, 8});
        // Centred on a button at y 500, the gallery starts at y 340.
        const QRectF wide(0, 0, 1920, 1080);
        row("near right edge opens left", "gallery", {1830, 500}, {1242, 340}, wide);
        row("near left edge opens right", "gallery", {10, 500}, {78, 340}, wide);
        row("equal room opens right", "gallery", {920, 500}, {988, 340}, wide);
        row("gallery kept inside", "gallery", {10, 0}, {78, 12}, wide);
        // Usable area above a 40-point bar: 32 % of 1000 up is y 360.
        row("default left", "left", {}, {8, 360}, QRectF(0, 40, 1920, 1000));
        row("default right, second display", "right", {}, {3112, 360}, QRectF(1920, 40, 1280, 1000));
        row("default on a small display", "left", {}, {8, 12}, QRectF(0, 0, 100, 100));
    }

    void placement()
    {
        QFETCH(QString, operation);
        QFETCH(QPointF, origin);
        QFETCH(QRectF, visible);
        QFETCH(QPointF, expected);
        const QRectF frame(origin, button);
        if (operation == QLatin1String("gallery")) {
            const QSizeF gallery(600, 400);
            QCOMPARE(FloatingPlacement::galleryFrame(gallery, frame, visible), QRectF(expected, gallery));
            return;
        }
        const QRectF placed = operation == QLatin1String("snap")     ? FloatingPlacement::settled(frame, visible, true)
                              : operation == QLatin1String("settle") ? FloatingPlacement::settled(frame, visible, false)
                                  : FloatingPlacement::defaultButtonFrame(visible, button.width(),
                                                                          operation == QLatin1String("left"));
        QCOMPARE(placed, QRectF(expected, button));
    }
};

QTEST_GUILESS_MAIN(TestFloatingPlacement)
#include "tst_floatingplacement.moc"
