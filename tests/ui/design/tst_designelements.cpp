#include "platform/portal/SystemAccessibility.h"
#include "ui/design/AppearancePalette.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BrimfoldGlyph.h"
#include "ui/design/BrimfoldMark.h"
#include "ui/design/GlassSurface.h"
#include "ui/design/KeptPicture.h"
#include "ui/controls/QuietIconButton.h"
#include "ui/design/SymbolIcons.h"

#include "FakeAccessibility.h"
#include "TestSupport.h"
#include "WindowEdges.h"

#include <QDBusVariant>
#include <QDir>
#include <QEnterEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

namespace {

// The largest difference of any colour channel between two pictures of the same size.
int worstDifference(const QImage &expected, const QImage &actual)
{
    int worst = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb a = expected.pixel(x, y), b = actual.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
        }
    }
    return worst;
}

QImage render(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// A picture of `size` points at `scale` pixels a point, cleared to `background`, drawn on from
// (3, 4) rather than its corner.
template <typename Draw>
QImage canvas(QSizeF size, qreal scale, const QColor &background, const Draw &draw)
{
    QImage image((size * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(background);
    QPainter painter(&image);
    painter.translate(3, 4);
    draw(painter);
    painter.end();
    return image;
}

bool hasInk(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

bool near(const QColor &a, const QColor &b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

class TestDesignElements : public QObject
{
    Q_OBJECT

private slots:
    void glyphScalesWithItsRectangleAndIsStrokedForTheMenuBar()
    {
        // The design fills whatever rectangle it is given: twice the size doubles every point,
        // a non-square rectangle stretches it, and the shape keeps its elements.
        const QPainterPath at18 = BrimfoldGlyph::path(QRectF(0, 0, 18, 18));
        const QPainterPath at36 = BrimfoldGlyph::path(QRectF(0, 0, 36, 36));
        const QPainterPath stretched = BrimfoldGlyph::path(QRectF(10, 20, 36, 18));
        QVERIFY(at18.elementCount() > 0);
        QCOMPARE(at36.elementCount(), at18.elementCount());
        QCOMPARE(stretched.elementCount(), at18.elementCount());
        for (int i = 0; i < at18.elementCount(); ++i) {
            const QPointF design = at18.elementAt(i);
            QCOMPARE(at36.elementAt(i).type, at18.elementAt(i).type);
            QCOMPARE(QPointF(at36.elementAt(i)), design * 2);
            QCOMPARE(QPointF(stretched.elementAt(i)), QPointF(10 + design.x() * 2, 20 + design.y()));
        }
        QVERIFY(QRectF(0, 0, 18, 18).contains(at18.boundingRect()));

        // The menu bar icon is the glyph stroked, not filled: the pocket's right wall (design
        // x 16) has ink, its middle none.
        const QImage two = BrimfoldDesign::menuBarIconImage(2);
        QCOMPARE(two.size(), QSize(36, 36));
        QCOMPARE(two.devicePixelRatio(), 2.0);
        QVERIFY(qAlpha(two.pixel(32, 22)) > 128);
        QCOMPARE(qAlpha(two.pixel(18, 27)), 0);
        QVERIFY(BrimfoldDesign::menuBarIcon().isMask());
    }

    void markUsesTheAppIconOrTheCoralGlyph()
    {
        QTemporaryDir dir;
        QImage icon(10, 20, QImage::Format_RGB32);
        icon.fill(Qt::blue);
        const QString png = dir.filePath(QStringLiteral("AppIcon.png"));
        const QString garbage = dir.filePath(QStringLiteral("AppIcon.icns"));
        QVERIFY(TestSupport::writeFile(garbage, "not an image"));
        // Missing and unreadable files are skipped.
        QVERIFY(!BrimfoldDesign::loadAppIcon({png, garbage}).has_value());
        QVERIFY(icon.save(png));
        const std::optional<QImage> loaded = BrimfoldDesign::loadAppIcon({garbage, png});
        QVERIFY(loaded.has_value());
        QCOMPARE(loaded->size(), QSize(10, 20));

        BrimfoldMark fitted(40, icon);
        const QImage image = render(fitted);
        QCOMPARE(image.pixelColor(20, 20), QColor(Qt::blue));
        QCOMPARE(qAlpha(image.pixel(2, 20)), 0); // scaled to fit: 20 × 40, centred

        BrimfoldMark fallback(70, std::nullopt);
        const QImage glyph = render(fallback);
        const QColor ink = glyph.pixelColor(qRound(70 * 16 / 18.0), 40); // the pocket's right wall
        QVERIFY2(near(ink, BrimfoldDesign::coral(), 8), qPrintable(ink.name()));
        QCOMPARE(qAlpha(glyph.pixel(35, 52)), 0);
    }

    void symbolsResolve()
    {
        // Every symbol the views name resolves, tinted, and has a drawn fallback.
        for (const char *name :
             {"gearshape", "xmark", "xmark.circle.fill", "exclamationmark.circle", "exclamationmark.circle.fill",
              "pin", "pin.fill", "magnifyingglass", "folder.badge.questionmark", "viewfinder",
              "arrow.up.left.and.arrow.down.right", "trash", "ellipsis", "text.viewfinder", "checkmark",
              "square.on.square", "checkmark.circle.fill", "folder", "folder.badge.plus", "photo", "eye",
              "square.and.arrow.up"}) {
            const QString symbol = QString::fromLatin1(name);
            QVERIFY2(SymbolIcons::symbols().contains(symbol), name);
            const SymbolIcons::Resolved resolved = SymbolIcons::resolve(symbol);
            const QImage tinted = SymbolIcons::tinted(resolved.icon, 14, BrimfoldDesign::accent(), 2.0);
            QCOMPARE(tinted.size(), QSize(28, 28));
            QVERIFY2(hasInk(tinted), name);
            const QRgb centre = tinted.pixel(14, 14);
            QVERIFY(qAlpha(centre) < 255 || near(QColor(centre), BrimfoldDesign::accent()));
            // Where the shipped theme is installed, every symbol comes from it under a name it has.
            if (QDir(QStringLiteral("/usr/share/icons/Adwaita")).exists())
                QCOMPARE(resolved.themeName, SymbolIcons::themeNames(symbol).first());
            QVERIFY2(hasInk(SymbolIcons::tinted(SymbolIcons::drawnIcon(symbol), 16, Qt::black)), name);
        }
        QCOMPARE(SymbolIcons::resolve(QStringLiteral("no.such.symbol")).source, SymbolIcons::Source::Drawn);
    }

    void glassFollowsReduceTransparency()
    {
        FakeAccessibility accessibility(false, false);
        QWidget panel;
        panel.resize(200, 120);
        GlassSurface *glass = brimfoldGlass(&panel, &accessibility, 26, true);
        QVERIFY(!glass->isOpaque());
        QVERIFY(panel.testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(panel.mask().isEmpty());
        const int translucent = render(panel).pixelColor(100, 60).alpha();
        QVERIFY(translucent > 0 && translucent < 255);
        // Once it is a window, the desktop is asked to blur behind the rounded shape alone.
        panel.show();
        QVERIFY(accessibility.blurRequest);
        const QRegion blurred = std::accumulate(accessibility.blurRequest->cbegin(),
                                                accessibility.blurRequest->cend(), QRegion(),
                                                [](const QRegion &sum, const QRect &rect) { return sum + rect; });
        const qreal dpr = panel.devicePixelRatioF();
        QVERIFY(blurred.contains(QPoint(qRound(100 * dpr), qRound(60 * dpr))));
        QVERIFY(!blurred.contains(QPoint(qRound(2 * dpr), qRound(2 * dpr))));

        accessibility.set(false, true);
        QVERIFY(glass->isOpaque());
        // Opaque glass needs no blur: the request is withdrawn.
        QCOMPARE(accessibility.blurRequest, QList<QRect>());
        const QImage image = render(panel);
        const QColor window = panel.palette().color(QPalette::Window);
        QCOMPARE(image.pixelColor(100, 60), QColor(window.red(), window.green(), window.blue()));
        // Outside the rounded corner of radius 26, inside the straight edge next to it; the window
        // is clipped to the same shape.
        QCOMPARE(qAlpha(image.pixel(3, 3)), 0);
        QCOMPARE(image.pixelColor(30, 3).alpha(), 255);
        QVERIFY(!panel.mask().contains(QPoint(3, 3)));
        QVERIFY(panel.mask().contains(QPoint(30, 2)));

        accessibility.set(false, false);
        QVERIFY(panel.mask().isEmpty());

        // A window is clipped as it is shown, not before: most views are made as windows and
        // then placed in a panel. There the window's clip must not stay behind and cut the view
        // off at its first size.
        accessibility.set(false, true);
        QWidget host;
        QWidget content;
        brimfoldGlass(&content, &accessibility, 26, false);
        QVERIFY(content.mask().isEmpty());
        content.show();
        QVERIFY(!content.mask().contains(QPoint(3, 3)));
        QVERIFY(content.mask().contains(QPoint(30, 2)));
        content.setParent(&host);
        QVERIFY(content.mask().isEmpty());
    }

    void opaqueCornersShowTheSurface_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QSize>("size");
        QTest::newRow("light") << false << QSize(598, 590);
        QTest::newRow("dark") << true << QSize(598, 590);
        QTest::newRow("light, odd size") << false << QSize(301, 177);
    }

    void opaqueCornersShowTheSurface()
    {
        // The gallery's window: a panel clipped to the glass its content draws, with no
        // compositor to blend the curve's edge with the desktop.
        QFETCH(bool, dark);
        QFETCH(QSize, size);
        FakeAccessibility accessibility(false, true);
        auto *content = new QWidget;
        brimfoldGlass(content, &accessibility, BrimfoldDesign::galleryRadius, false);
        BrimfoldPanel panel(content, true, accessibility, BrimfoldDesign::galleryRadius);
        panel.setPalette(dark ? AppearancePalette::dark() : AppearancePalette::light());
        panel.resize(size);
        panel.show();

        // The same curve at all four corners.
        const QRegion mask = panel.mask();
        QCOMPARE(mask.boundingRect(), panel.rect());
        QCOMPARE(WindowEdges::firstAsymmetricRow(mask), -1);

        // Each edge pixel the window keeps is the surface, or its rim over it: never the blend
        // with black an unpainted pixel shows.
        const QColor window = panel.palette().color(QPalette::Window);
        const int floor = std::min(window.lightness(),
                                   WindowEdges::over(BrimfoldDesign::primary(panel.palette(), 0.1), window).lightness())
            - 4;
        const QImage shown = WindowEdges::shownWithoutCompositor(panel);
        const QList<QPoint> darker = WindowEdges::darkerEdgePixels(shown, mask, floor);
        QVERIFY2(darker.isEmpty(), qPrintable(QStringLiteral("%1 darker, first at %2,%3")
                                                  .arg(darker.size())
                                                  .arg(darker.value(0).x())
                                                  .arg(darker.value(0).y())));
    }

    // A panel has an alpha channel only while its glass is translucent; the window is made again
    // for a change, never while it is on screen.
    void panelIsTranslucentOnlyWhileItsGlassIs()
    {
        FakeAccessibility accessibility(false, true);
        auto *content = new QWidget;
        brimfoldGlass(content, &accessibility, BrimfoldDesign::galleryRadius, false);
        BrimfoldPanel panel(content, true, accessibility, BrimfoldDesign::galleryRadius);
        panel.resize(300, 200);
        const auto shownTranslucent = [&panel] {
            const bool translucent = panel.testAttribute(Qt::WA_TranslucentBackground);
            // The window is what the attribute says; an opaque one is filled before it is painted.
            if (translucent != panel.windowHandle()->requestedFormat().hasAlpha()
                || translucent != panel.testAttribute(Qt::WA_NoSystemBackground))
                qFatal("the window does not match its attribute");
            return translucent;
        };

        panel.show();
        QVERIFY(!shownTranslucent());
        QVERIFY(!panel.mask().contains(QPoint(2, 2)));
        // Nothing to blur, and nothing asked before to withdraw.
        QVERIFY(!accessibility.blurRequest);
        QVERIFY(panel.mask().contains(QPoint(150, 100)));
        QPointer<QWindow> opaqueWindow = panel.windowHandle();

        // The compositor starts while it is shown: it stays as it is, clipped, until it is hidden.
        accessibility.set(false, false);
        QCOMPARE(panel.windowHandle(), opaqueWindow.data());
        QVERIFY(!shownTranslucent());
        QVERIFY(!panel.mask().isEmpty());
        panel.hide();
        panel.show();
        QVERIFY(!opaqueWindow);
        QVERIFY(shownTranslucent());
        QVERIFY(panel.mask().isEmpty());
        QCOMPARE(panel.size(), QSize(300, 200));
        QVERIFY(accessibility.blurRequest && !accessibility.blurRequest->isEmpty());

        // And stops: a translucent window takes the opaque form at once, as it always did.
        QPointer<QWindow> translucentWindow = panel.windowHandle();
        accessibility.set(false, true);
        QVERIFY(!panel.mask().isEmpty());
        QCOMPARE(panel.windowHandle(), translucentWindow.data());
        QCOMPARE(accessibility.blurRequest, QList<QRect>());
        panel.hide();
        accessibility.set(false, false);
        accessibility.set(false, true);
        panel.show();
        QVERIFY(!translucentWindow);
        QVERIFY(!shownTranslucent());
        QVERIFY(!panel.mask().contains(QPoint(2, 2)));
    }

    // The window's shape keeps exactly the pixels the antialiased outline covers at least half,
    // whatever part of it is worked out without rasterising.
    void windowShapeKeepsHalfCoveredPixels_data()
    {
        QTest::addColumn<QPainterPath>("path");
        const auto rounded = [](QRectF rect, qreal radius) {
            QPainterPath path;
            path.addRoundedRect(rect, radius, radius);
            return path;
        };
        QTest::newRow("gallery") << rounded(QRectF(0, 0, 598, 590), BrimfoldDesign::galleryRadius);
        QTest::newRow("fractional edges") << rounded(QRectF(3.4, 2.6, 120.3, 80.5), 9.7);
        QTest::newRow("radius past half") << rounded(QRectF(0, 0, 40, 20), 15);
        QPainterPath circle;
        circle.addEllipse(QRectF(10, 10, 57, 57));
        QTest::newRow("circle") << circle;
        QPainterPath notch = rounded(QRectF(0, 0, 100, 100), 12);
        notch -= rounded(QRectF(30, 40, 40, 20), 4); // a hole: its rows are not covered edge to edge
        QTest::newRow("hole") << notch;
    }

    void windowShapeKeepsHalfCoveredPixels()
    {
        QFETCH(QPainterPath, path);
        const QRect box = path.boundingRect().toAlignedRect();
        QImage coverage(box.size(), QImage::Format_Alpha8);
        coverage.fill(0);
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-box.topLeft());
        painter.fillPath(path, Qt::black);
        painter.end();
        QRegion expected;
        for (int y = 0; y < coverage.height(); ++y) {
            for (int x = 0; x < coverage.width(); ++x) {
                if (coverage.constScanLine(y)[x] >= 128)
                    expected += QRect(box.x() + x, box.y() + y, 1, 1);
            }
        }
        const QRegion shape = GlassSurface::windowShape(path);
        QVERIFY((shape ^ expected).isEmpty());
    }

    // The window's outline, drawn from kept corners and repeated sides, is the stroke itself.
    void outlineStrokeMatchesTheDrawnPath_data()
    {
        QTest::addColumn<QRectF>("bounds");
        QTest::addColumn<qreal>("radius");
        QTest::addColumn<qreal>("width");
        QTest::newRow("gallery rim") << QRectF(0.5, 0.5, 597, 589) << BrimfoldDesign::galleryRadius - 0.5 << 1.0;
        QTest::newRow("gallery outline") << QRectF(0.25, 0.25, 597.5, 589.5) << BrimfoldDesign::galleryRadius << 0.5;
        QTest::newRow("off the pixel grid") << QRectF(10.3, 7.6, 200.2, 120.9) << 9.5 << 1.5;
        QTest::newRow("too small to split") << QRectF(2, 2, 30, 20) << 8.0 << 1.0;
    }

    void outlineStrokeMatchesTheDrawnPath()
    {
        QFETCH(QRectF, bounds);
        QFETCH(qreal, radius);
        QFETCH(qreal, width);
        const QPen pen(QColor::fromRgbF(0.2, 0.3, 0.9, 0.6), width);
        // On an opaque surface, and on the cleared one of a translucent window.
        for (const QColor &background : {QColor(240, 240, 235), QColor(Qt::transparent)}) {
            const QImage expected = canvas(QSizeF(640, 620), 1, background, [&](QPainter &painter) {
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setPen(pen);
                painter.drawPath(GlassSurface::outline(bounds, radius));
            });
            for (int round = 0; round < 2; ++round) { // drawn, then from what was kept
                const QImage stroked = canvas(QSizeF(640, 620), 1, background, [&](QPainter &painter) {
                    GlassSurface::strokeOutline(painter, bounds, radius, pen);
                });
                const int worst = worstDifference(expected, stroked);
                QVERIFY2(worst <= 1, qPrintable(QStringLiteral("differs by %1").arg(worst)));
            }
        }
    }

    // A kept picture is the drawing it stands for, wherever it lands within a pixel.
    void keptPictureMatchesTheDrawing_data()
    {
        QTest::addColumn<QPointF>("origin");
        QTest::addColumn<qreal>("scale");
        QTest::newRow("whole pixels") << QPointF(12, 9) << 1.0;
        QTest::newRow("within a pixel") << QPointF(12.5, 9.25) << 1.0;
        QTest::newRow("twice as dense") << QPointF(7.75, 3.5) << 2.0;
    }

    void keptPictureMatchesTheDrawing()
    {
        QFETCH(QPointF, origin);
        QFETCH(qreal, scale);
        const QRectF bounds(origin, QSizeF(150.5, 104.25));
        const auto draw = [](QPainter &painter, const QRectF &box) {
            painter.setPen(QPen(QColor::fromRgbF(0.4, 0.3, 0.9, 0.9), 1.5));
            painter.setBrush(QColor::fromRgbF(0.4, 0.3, 0.9, 0.11));
            painter.drawRoundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75), 12, 12);
        };
        // Both drawn on an antialiased painter.
        const auto drawn = [&](const auto &paint) {
            return canvas(QSizeF(200, 140), scale, QColor(240, 240, 235), [&](QPainter &painter) {
                painter.setRenderHint(QPainter::Antialiasing);
                paint(painter);
            });
        };
        const QImage expected = drawn([&](QPainter &painter) { draw(painter, bounds); });
        for (int round = 0; round < 2; ++round) { // drawn, then from what was kept
            const QImage kept = drawn([&](QPainter &painter) {
                KeptPicture::paint(painter, bounds, QStringLiteral("test-card"), draw);
            });
            const int worst = worstDifference(expected, kept);
            QVERIFY2(worst <= 2, qPrintable(QStringLiteral("differs by %1").arg(worst)));
        }
    }

    // A weight without a face of its own is asked as the face's weight only where that cannot
    // change the text: the nearest face, never across Bold, never a tie.
    void fontsShareTheFaceThatDrawsThem()
    {
        const QList<int> regularAndBold{400, 700};
        QCOMPARE(BrimfoldDesign::drawnWeight(QFont::Medium, regularAndBold), 400);
        QCOMPARE(BrimfoldDesign::drawnWeight(QFont::Normal, regularAndBold), 400);
        QCOMPARE(BrimfoldDesign::drawnWeight(QFont::ExtraBold, regularAndBold), 700);
        QCOMPARE(BrimfoldDesign::drawnWeight(QFont::DemiBold, regularAndBold), QFont::DemiBold);
        QCOMPARE(BrimfoldDesign::drawnWeight(QFont::Medium, {400, 500, 700}), 500);
        QCOMPARE(BrimfoldDesign::drawnWeight(QFont::Medium, {400, 600}), QFont::Medium);
        QCOMPARE(BrimfoldDesign::drawnWeight(QFont::Medium, {}), QFont::Medium);

        const QString family = QFont().family();
        BrimfoldDesign::setFaceWeights(family, {400, 700});
        const QFont medium = BrimfoldDesign::font(12, QFont::Medium);
        QCOMPARE(medium.weight(), QFont::Normal);
        QCOMPARE(medium.pixelSize(), 12);
        BrimfoldDesign::setFaceWeights(family, {400, 500, 700});
        QCOMPARE(BrimfoldDesign::font(12, QFont::Medium).weight(), QFont::Medium);
        // Learnt for another family, the weights say nothing about this one.
        BrimfoldDesign::setFaceWeights(family + QStringLiteral(" Other"), {400, 700});
        QCOMPARE(BrimfoldDesign::font(12, QFont::Medium).weight(), QFont::Medium);

        // What the warm-up learns of this machine's family draws as asked.
        BrimfoldDesign::warmUpFonts(QtFuture::makeReadyFuture()).waitForFinished();
        const auto drawn = [](const QFont &font) {
            QImage image(320, 24, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setFont(font);
            painter.drawText(4, 18, QStringLiteral("Screenshot 2026-12-07 · فاتورة"));
            return image;
        };
        for (const QFont::Weight weight : {QFont::Medium, QFont::DemiBold}) {
            QFont asked = BrimfoldDesign::font(12);
            asked.setWeight(weight);
            QCOMPARE(drawn(BrimfoldDesign::font(12, weight)), drawn(asked));
        }
    }

    void quietButton()
    {
        FakeAccessibility accessibility(true, false); // reduce motion: hover changes at once
        QuietIconButton active(QStringLiteral("pin.fill"), QStringLiteral("Unpin screenshot"), true,
                               &accessibility);
        QuietIconButton quiet(QStringLiteral("trash"), QStringLiteral("Move to Trash"), false,
                              &accessibility);
        QSignalSpy clicked(&active, &QAbstractButton::clicked);
        QCOMPARE(active.accessibleName(), QStringLiteral("Unpin screenshot"));

        const QPoint corner(4, 16); // background, clear of the symbol
        const QColor activeAway = render(active).pixelColor(corner);
        QCOMPARE(qAlpha(render(quiet).pixel(corner)), 0);
        const QColor tint = render(active).pixelColor(16, 2); // the accent shows through
        QVERIFY(tint.alpha() > 0 && tint.blue() > tint.red());

        QEnterEvent enter(QPointF(16, 16), QPointF(16, 16), QPointF(16, 16));
        QCoreApplication::sendEvent(&active, &enter);
        QCoreApplication::sendEvent(&quiet, &enter);
        QCOMPARE(render(active).pixelColor(corner), activeAway); // hover shows only on quiet ones
        QVERIFY(qAlpha(render(quiet).pixel(corner)) > 0);

        active.show();
        QTest::mouseClick(&active, Qt::LeftButton, {}, QPoint(30, 30)); // the whole frame
        QCOMPARE(clicked.size(), 1);
    }

    void portalSettings_data()
    {
        using P = SystemAccessibility::Preference;
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("preference"); // -1: not understood
        QTest::addColumn<bool>("on");

        const QString gnome = QStringLiteral("org.gnome.desktop.interface");
        const QString kde = QStringLiteral("org.kde.kdeglobals.KDE");
        const QVariant wrappedFalse =
            QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(false))));
        const int motion = int(P::ReduceMotion);
        const int transparency = int(P::ReduceTransparency);
        QTest::newRow("wrapped twice") << gnome << "enable-animations" << wrappedFalse << motion << true;
        QTest::newRow("kde factor as text") << kde << "AnimationDurationFactor" << QVariant("0") << motion << true;
        QTest::newRow("kde factor 0.5") << kde << "AnimationDurationFactor" << QVariant(0.5) << motion << false;
        QTest::newRow("high contrast") << "org.freedesktop.appearance" << "contrast" << QVariant(1u)
                                       << transparency << true;
        QTest::newRow("gnome high contrast") << "org.gnome.desktop.a11y.interface" << "high-contrast"
                                             << QVariant(true) << transparency << true;
        QTest::newRow("wrong type") << gnome << "enable-animations" << QVariant("no") << -1 << false;
        QTest::newRow("other key") << gnome << "cursor-size" << QVariant(24) << -1 << false;
    }

    void portalSettings()
    {
        QFETCH(QString, group);
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(int, preference);
        QFETCH(bool, on);
        const auto reading = SystemAccessibility::interpretPortalSetting(group, key, value);
        QCOMPARE(reading.has_value(), preference >= 0);
        if (reading) {
            QCOMPARE(int(reading->preference), preference);
            QCOMPARE(reading->on, on);
        }
    }

    void kdeglobalsAnimationFactor()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kdeglobals"));
        QVERIFY(TestSupport::writeFile(path, "[General]\nColorScheme=BreezeDark\n\n[KDE]\nAnimationDurationFactor=0\n"));
        QCOMPARE(SystemAccessibility::kdeAnimationFactor(path), std::optional<double>(0.0));
        QCOMPARE(SystemAccessibility::kdeAnimationFactor(dir.filePath(QStringLiteral("none"))),
                 std::nullopt);
    }
};

QTEST_MAIN(TestDesignElements)
#include "tst_designelements.moc"
