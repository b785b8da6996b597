#include "platform/SystemAccessibility.h"
#include "ui/BrimfoldDesign.h"
#include "ui/BrimfoldGlyph.h"
#include "ui/BrimfoldMark.h"
#include "ui/GlassSurface.h"
#include "ui/QuietIconButton.h"
#include "ui/SymbolIcons.h"

#include "FakeAccessibility.h"

#include <QDBusVariant>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage render(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool hasInk(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
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
    void colours();
    void springSettlesWithoutMuchOvershoot();
    void glyphDoubledAt36_data();
    void glyphDoubledAt36();
    void glyphStretchesIntoNonSquareRects();
    void glyphIsStrokedNotFilled();
    void menuBarIconIsTheGlyphAt18();
    void markFallsBackToTheCoralGlyph();
    void markFitsTheAppIcon();
    void symbolsResolve_data();
    void symbolsResolve();
    void unknownSymbolIsDrawn();
    void glassIsOpaqueWithReduceTransparency();
    void glassFollowsTheSetting();
    void quietButtonStates();
    void quietButtonRunsItsAction();
    void portalSettings_data();
    void portalSettings();
    void kdeglobalsAnimationFactor();
};

void TestDesignElements::colours()
{
    QCOMPARE(BrimfoldDesign::accent(), QColor::fromRgbF(0.38f, 0.38f, 0.91f));
    QCOMPARE(BrimfoldDesign::coral(), QColor::fromRgbF(0.95f, 0.4f, 0.26f));
    QCOMPARE(BrimfoldDesign::coral().alphaF(), 1.0f);
}

void TestDesignElements::springSettlesWithoutMuchOvershoot()
{
    QCOMPARE(BrimfoldDesign::springValue(0), 0.0);
    double peak = 0;
    for (double t = 0; t <= 1.0; t += 0.005)
        peak = std::max(peak, BrimfoldDesign::springValue(t));
    QVERIFY(peak > 1.0);   // slightly under-damped…
    QVERIFY(peak < 1.01);  // …by less than a percent
    const QEasingCurve curve = BrimfoldDesign::springCurve();
    QCOMPARE(curve.valueForProgress(0), 0.0);
    QCOMPARE(curve.valueForProgress(1), 1.0);
    QVERIFY(curve.valueForProgress(0.5) > 0.9);
    QVERIFY(BrimfoldDesign::springDurationMs() > 300 && BrimfoldDesign::springDurationMs() < 600);
}

void TestDesignElements::glyphDoubledAt36_data()
{
    QTest::addColumn<int>("element");
    QTest::addColumn<QPointF>("design");

    // Points of the 18-unit design, in path order; each quadratic curve is stored as a cubic
    // (three elements: two controls, then the end point).
    QTest::newRow("back card start") << 0 << QPointF(7, 3);
    QTest::newRow("back card first corner end") << 4 << QPointF(8.5, 1);
    QTest::newRow("back card end") << 9 << QPointF(14.5, 7);
    QTest::newRow("middle card start") << 10 << QPointF(4, 7.5);
    QTest::newRow("middle card second corner end") << 18 << QPointF(12, 4.5);
    QTest::newRow("middle card end") << 19 << QPointF(12, 8.5);
    QTest::newRow("pocket start") << 20 << QPointF(2, 6.5);
    // The dip's control (9, 11.5) as the cubic's first control: start + 2/3 (control - start).
    QTest::newRow("pocket dip control") << 21 << QPointF(2 + 14.0 / 3, 6.5 + 10.0 / 3);
    QTest::newRow("pocket dip end") << 23 << QPointF(16, 6.5);
    QTest::newRow("pocket right wall end") << 24 << QPointF(16, 13.5);
    QTest::newRow("pocket bottom end") << 28 << QPointF(4.5, 16);
    QTest::newRow("pocket last corner end") << 31 << QPointF(2, 13.5);
}

void TestDesignElements::glyphDoubledAt36()
{
    QFETCH(int, element);
    QFETCH(QPointF, design);

    const QPainterPath at18 = BrimfoldGlyph::path(QRectF(0, 0, 18, 18));
    const QPainterPath at36 = BrimfoldGlyph::path(QRectF(0, 0, 36, 36));
    QCOMPARE(at36.elementCount(), at18.elementCount());
    QCOMPARE(QPointF(at18.elementAt(element)), design);
    QCOMPARE(QPointF(at36.elementAt(element)), design * 2);
    for (int i = 0; i < at18.elementCount(); ++i) {
        QCOMPARE(at36.elementAt(i).type, at18.elementAt(i).type);
        QCOMPARE(QPointF(at36.elementAt(i)), QPointF(at18.elementAt(i)) * 2);
    }
}

void TestDesignElements::glyphStretchesIntoNonSquareRects()
{
    const QPainterPath design = BrimfoldGlyph::path(QRectF(0, 0, 18, 18));
    const QPainterPath wide = BrimfoldGlyph::path(QRectF(10, 20, 36, 18));
    for (int i = 0; i < design.elementCount(); ++i) {
        const QPointF d = design.elementAt(i);
        QCOMPARE(QPointF(wide.elementAt(i)), QPointF(10 + d.x() * 2, 20 + d.y()));
    }
}

void TestDesignElements::glyphIsStrokedNotFilled()
{
    QImage image(36, 36, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    BrimfoldGlyph::stroke(painter, QRectF(0, 0, 36, 36), Qt::black, 2.7);
    painter.end();
    // Right wall of the pocket at design x 16 carries ink; its middle stays empty.
    QVERIFY(qAlpha(image.pixel(32, 22)) > 128);
    QCOMPARE(qAlpha(image.pixel(18, 27)), 0);
}

void TestDesignElements::menuBarIconIsTheGlyphAt18()
{
    const QImage one = BrimfoldDesign::menuBarIconImage(1);
    const QImage two = BrimfoldDesign::menuBarIconImage(2);
    QCOMPARE(one.size(), QSize(18, 18));
    QCOMPARE(two.size(), QSize(36, 36));
    QCOMPARE(two.devicePixelRatio(), 2.0);
    QVERIFY(qAlpha(two.pixel(32, 22)) > 128);
    QCOMPARE(qAlpha(two.pixel(18, 27)), 0);
    QVERIFY(BrimfoldDesign::menuBarIcon().isMask());
    QCOMPARE(BrimfoldDesign::menuBarIconDescription(), QStringLiteral("Brimfold screenshots"));
}

void TestDesignElements::markFallsBackToTheCoralGlyph()
{
    // A missing or unreadable icon file means no icon.
    QTemporaryDir dir;
    const QString garbage = dir.filePath(QStringLiteral("AppIcon.icns"));
    QFile file(garbage);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not an image") > 0);
    file.close();
    QVERIFY(!BrimfoldDesign::loadAppIcon({dir.filePath(QStringLiteral("AppIcon.png")), garbage})
                 .has_value());

    BrimfoldMark mark(70, std::nullopt);
    QCOMPARE(mark.size(), QSize(70, 70));
    const QImage image = render(mark);
    // Right wall of the pocket: design x 16 of 18.
    const QColor ink = image.pixelColor(qRound(70 * 16 / 18.0), 40);
    QVERIFY2(near(ink, BrimfoldDesign::coral(), 8), qPrintable(ink.name()));
    QCOMPARE(qAlpha(image.pixel(35, 52)), 0);
}

void TestDesignElements::markFitsTheAppIcon()
{
    QImage icon(10, 20, QImage::Format_RGB32);
    icon.fill(Qt::blue);
    BrimfoldMark mark(40, icon);
    const QImage image = render(mark);
    QCOMPARE(image.pixelColor(20, 20), QColor(Qt::blue));
    QCOMPARE(qAlpha(image.pixel(2, 20)), 0); // scaled to fit: 20 × 40, centred

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("AppIcon.png"));
    QVERIFY(icon.save(path));
    const std::optional<QImage> loaded = BrimfoldDesign::loadAppIcon(
        {dir.filePath(QStringLiteral("missing.png")), dir.filePath(QStringLiteral("x.icns")), path});
    QVERIFY(loaded.has_value());
    QCOMPARE(loaded->size(), QSize(10, 20));
}

void TestDesignElements::symbolsResolve_data()
{
    QTest::addColumn<QString>("symbol");
    // Every symbol the views name.
    for (const char *symbol :
         {"gearshape", "xmark", "xmark.circle.fill", "exclamationmark.circle",
          "exclamationmark.circle.fill", "pin", "pin.fill", "magnifyingglass",
          "folder.badge.questionmark", "viewfinder", "arrow.up.left.and.arrow.down.right", "trash",
          "ellipsis", "text.viewfinder", "checkmark", "square.on.square", "checkmark.circle.fill",
          "folder", "folder.badge.plus", "photo", "eye", "square.and.arrow.up"})
        QTest::newRow(symbol) << QString::fromLatin1(symbol);
}

void TestDesignElements::symbolsResolve()
{
    QFETCH(QString, symbol);
    QVERIFY(SymbolIcons::symbols().contains(symbol));
    QVERIFY(!SymbolIcons::themeNames(symbol).isEmpty());

    const SymbolIcons::Resolved resolved = SymbolIcons::resolve(symbol);
    QVERIFY(!resolved.icon.isNull());
    const QImage tinted = SymbolIcons::tinted(resolved.icon, 14, BrimfoldDesign::accent(), 2.0);
    QCOMPARE(tinted.size(), QSize(28, 28));
    QVERIFY(hasInk(tinted, tinted.rect()));
    for (int y = 0; y < tinted.height(); ++y) {
        for (int x = 0; x < tinted.width(); ++x) {
            const QRgb pixel = tinted.pixel(x, y);
            if (qAlpha(pixel) == 255)
                QVERIFY(near(QColor(pixel), BrimfoldDesign::accent()));
        }
    }

    // Adwaita is the symbol set the program ships with; where it is installed, every symbol
    // comes from it, as a name it really has.
    if (QDir(QStringLiteral("/usr/share/icons/Adwaita")).exists()) {
        QCOMPARE(resolved.source, SymbolIcons::Source::Theme);
        QCOMPARE(resolved.themeName, SymbolIcons::themeNames(symbol).first());
    }
    const QImage drawn = SymbolIcons::tinted(SymbolIcons::drawnIcon(symbol), 16, Qt::black);
    QVERIFY(hasInk(drawn, drawn.rect()));
}

void TestDesignElements::unknownSymbolIsDrawn()
{
    const SymbolIcons::Resolved resolved = SymbolIcons::resolve(QStringLiteral("no.such.symbol"));
    QCOMPARE(resolved.source, SymbolIcons::Source::Drawn);
    QVERIFY(!resolved.icon.isNull());
}

void TestDesignElements::glassIsOpaqueWithReduceTransparency()
{
    FakeAccessibility accessibility(false, true);
    QWidget panel;
    panel.resize(200, 120);
    GlassSurface *glass = brimfoldGlass(&panel, &accessibility, 26, false);
    QVERIFY(glass->isOpaque());
    QCOMPARE(glass->radius(), 26.0);

    const QImage image = render(panel);
    const QColor window = panel.palette().color(QPalette::Window);
    QCOMPARE(image.pixelColor(100, 60), QColor(window.red(), window.green(), window.blue()));
    QCOMPARE(image.pixelColor(100, 60).alpha(), 255);
    // Outside the rounded corner of radius 26, inside the straight edge next to it.
    QCOMPARE(qAlpha(image.pixel(3, 3)), 0);
    QCOMPARE(image.pixelColor(30, 3).alpha(), 255);

    // The window itself is clipped to the same rounded rectangle.
    const QRegion mask = panel.mask();
    QVERIFY(!mask.isEmpty());
    QVERIFY(!mask.contains(QPoint(3, 3)));
    QVERIFY(mask.contains(QPoint(100, 60)));
    QVERIFY(mask.contains(QPoint(30, 2)));
}

void TestDesignElements::glassFollowsTheSetting()
{
    FakeAccessibility accessibility(false, false);
    QWidget panel;
    panel.resize(200, 120);
    GlassSurface *glass = brimfoldGlass(&panel, &accessibility, 24, true);
    QVERIFY(!glass->isOpaque());
    QVERIFY(panel.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(panel.mask().isEmpty());
    const int translucent = render(panel).pixelColor(100, 60).alpha();
    QVERIFY(translucent > 0 && translucent < 255);

    accessibility.set(false, true);
    QVERIFY(glass->isOpaque());
    QVERIFY(!panel.mask().isEmpty());
    QCOMPARE(render(panel).pixelColor(100, 60).alpha(), 255);

    accessibility.set(false, false);
    QVERIFY(panel.mask().isEmpty());
}

void TestDesignElements::quietButtonStates()
{
    FakeAccessibility accessibility(true, false); // reduce motion: hover changes at once
    QWidget window;
    QuietIconButton active(QStringLiteral("pin.fill"), QStringLiteral("Unpin screenshot"), true,
                           {}, &accessibility, &window);
    QuietIconButton quiet(QStringLiteral("trash"), QStringLiteral("Move to Trash"), false, {},
                          &accessibility, &window);
    QCOMPARE(active.size(), QSize(32, 32));
    QCOMPARE(active.toolTip(), QStringLiteral("Unpin screenshot"));
    QCOMPARE(active.accessibleName(), QStringLiteral("Unpin screenshot"));

    const QPoint corner(4, 16); // background, clear of the symbol
    const QColor activeAway = render(active).pixelColor(corner);
    QCOMPARE(qAlpha(render(quiet).pixel(corner)), 0);

    QEnterEvent enter(QPointF(16, 16), QPointF(16, 16), QPointF(16, 16));
    QCoreApplication::sendEvent(&active, &enter);
    QCoreApplication::sendEvent(&quiet, &enter);
    QVERIFY(active.hovered());
    QCOMPARE(render(active).pixelColor(corner), activeAway);
    QVERIFY(qAlpha(render(quiet).pixel(corner)) > 0);

    // The accent shows through an active button's background.
    const QColor tint = render(active).pixelColor(16, 2);
    QVERIFY(tint.alpha() > 0 && tint.blue() > tint.red());

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&quiet, &leave);
    QCOMPARE(qAlpha(render(quiet).pixel(corner)), 0);
}

void TestDesignElements::quietButtonRunsItsAction()
{
    int runs = 0;
    QuietIconButton button(QStringLiteral("gearshape"), QStringLiteral("Settings"), false,
                           [&runs] { ++runs; }, nullptr);
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(30, 30)); // the whole frame
    QCOMPARE(runs, 1);
}

void TestDesignElements::portalSettings_data()
{
    using P = SystemAccessibility::Preference;
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("understood");
    QTest::addColumn<int>("preference");
    QTest::addColumn<bool>("on");

    const QString gnome = QStringLiteral("org.gnome.desktop.interface");
    const QString kde = QStringLiteral("org.kde.kdeglobals.KDE");
    const QString appearance = QStringLiteral("org.freedesktop.appearance");
    const QString a11y = QStringLiteral("org.gnome.desktop.a11y.interface");
    const QVariant wrappedFalse = QVariant::fromValue(QDBusVariant(QVariant::fromValue(
        QDBusVariant(false))));
    QTest::newRow("animations off") << gnome << "enable-animations" << QVariant(false) << true
                                    << int(P::ReduceMotion) << true;
    QTest::newRow("animations on") << gnome << "enable-animations" << QVariant(true) << true
                                   << int(P::ReduceMotion) << false;
    QTest::newRow("wrapped twice") << gnome << "enable-animations" << wrappedFalse << true
                                   << int(P::ReduceMotion) << true;
    QTest::newRow("kde factor 0") << kde << "AnimationDurationFactor" << QVariant(0.0) << true
                                  << int(P::ReduceMotion) << true;
    QTest::newRow("kde factor as text") << kde << "AnimationDurationFactor" << QVariant("0")
                                        << true << int(P::ReduceMotion) << true;
    QTest::newRow("kde factor 0.5") << kde << "AnimationDurationFactor" << QVariant(0.5) << true
                                    << int(P::ReduceMotion) << false;
    QTest::newRow("high contrast") << appearance << "contrast" << QVariant(1u) << true
                                   << int(P::ReduceTransparency) << true;
    QTest::newRow("normal contrast") << appearance << "contrast" << QVariant(0u) << true
                                     << int(P::ReduceTransparency) << false;
    QTest::newRow("gnome high contrast") << a11y << "high-contrast" << QVariant(true) << true
                                         << int(P::ReduceTransparency) << true;
    QTest::newRow("wrong type") << gnome << "enable-animations" << QVariant("no") << false << 0
                                << false;
    QTest::newRow("other key") << gnome << "cursor-size" << QVariant(24) << false << 0 << false;
}

void TestDesignElements::portalSettings()
{
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(bool, understood);
    QFETCH(int, preference);
    QFETCH(bool, on);

    const auto reading = SystemAccessibility::interpretPortalSetting(group, key, value);
    QCOMPARE(reading.has_value(), understood);
    if (reading) {
        QCOMPARE(int(reading->preference), preference);
        QCOMPARE(reading->on, on);
    }
}

void TestDesignElements::kdeglobalsAnimationFactor()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kdeglobals"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\nColorScheme=BreezeDark\n\n[KDE]\nAnimationDurationFactor=0\n"
               "SingleClick=false\n");
    file.close();
    QCOMPARE(SystemAccessibility::kdeAnimationFactor(path), std::optional<double>(0.0));
    QCOMPARE(SystemAccessibility::kdeAnimationFactor(dir.filePath(QStringLiteral("none"))),
             std::nullopt);
}

QTEST_MAIN(TestDesignElements)
#include "tst_designelements.moc"
