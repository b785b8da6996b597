#include "text/TextImagePreparation.h"

#include <QPainter>
#include <QtTest>

namespace {

QImage textPicture(QSize size, int pixelSize, const QColor &background = QColor(250, 250, 252))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(QColor(28, 28, 30));
    for (int y = pixelSize * 2; y < size.height(); y += pixelSize * 2)
        painter.drawText(QPoint(10, y), QStringLiteral("Interface text with some words 2024"));
    return image;
}

int grey(const QImage &image, QPoint at) { return qGray(image.pixel(at)); }

} // namespace

class TestTextImagePreparation final : public QObject
{
    Q_OBJECT

private slots:
    void everyBackgroundTurnsWhiteAndItsMarksDark_data()
    {
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("mark");
        QTest::newRow("dark on light") << QColor(250, 250, 252) << QColor(28, 28, 30);
        QTest::newRow("light on dark") << QColor(30, 31, 35) << QColor(230, 230, 235);
        QTest::newRow("white on the accent") << QColor(47, 111, 222) << QColor(Qt::white);
        QTest::newRow("faint on light") << QColor(250, 250, 252) << QColor(180, 180, 184);
    }

    // One picture of four kinds of area, so the panel under test is always among others that call
    // for the opposite treatment; each has a thin stroke and a thick one.
    void everyBackgroundTurnsWhiteAndItsMarksDark()
    {
        QFETCH(QColor, background);
        QFETCH(QColor, mark);
        const QList<std::pair<QColor, QColor>> others{{QColor(250, 250, 252), QColor(28, 28, 30)},
                                                      {QColor(30, 31, 35), QColor(230, 230, 235)},
                                                      {QColor(47, 111, 222), Qt::white}};
        QImage image(QSize(480, 120), QImage::Format_RGB32);
        QPainter painter(&image);
        const auto panel = [&](int index, const QColor &back, const QColor &ink) {
            const QRect area(index * 120, 0, 120, 120);
            painter.fillRect(area, back);
            painter.fillRect(QRect(area.left() + 20, 30, 2, 60), ink);  // a thin stroke
            painter.fillRect(QRect(area.left() + 50, 40, 8, 40), ink);  // one as thick as a bold heading's
        };
        for (int i = 0; i < others.size(); ++i)
            panel(i, others[i].first, others[i].second);
        panel(3, background, mark);
        painter.end();

        const QImage prepared = TextImagePreparation::normalizedContrast(TextImagePreparation::flattenedGrey(image));
        QCOMPARE(prepared.size(), image.size());
        QCOMPARE(prepared.format(), QImage::Format_Grayscale8);
        for (int i = 0; i < 4; ++i) {
            const int left = i * 120;
            QVERIFY2(grey(prepared, {left + 100, 10}) >= 240, qPrintable(QStringLiteral("background of panel %1").arg(i)));
            QVERIFY2(grey(prepared, {left + 20, 60}) <= 96, qPrintable(QStringLiteral("thin stroke of panel %1").arg(i)));
            // The inside of a thick stroke is flat, yet it is not a background of its own.
            QVERIFY2(grey(prepared, {left + 54, 60}) <= 96, qPrintable(QStringLiteral("thick stroke of panel %1").arg(i)));
        }
    }

    void marksAtTheEdgesAreFound_data()
    {
        QTest::addColumn<QSize>("size");
        // Widths on either side of the blocks the passes take at once, and one in between.
        QTest::newRow("31 wide") << QSize(31, 40);
        QTest::newRow("32 wide") << QSize(32, 40);
        QTest::newRow("33 wide") << QSize(33, 40);
        QTest::newRow("wide and short") << QSize(257, 21);
    }

    // A dot in each corner and one in the middle: each turns dark and the ground around white,
    // wherever the picture's rows and columns end.
    void marksAtTheEdgesAreFound()
    {
        QFETCH(QSize, size);
        QImage image(size, QImage::Format_Grayscale8);
        image.fill(235);
        const int right = size.width() - 2, bottom = size.height() - 2;
        const QList<QPoint> dots{{0, 0}, {right, 0}, {0, bottom}, {right, bottom}, {size.width() / 2, size.height() / 2}};
        for (const QPoint &dot : dots) {
            for (int dy = 0; dy < 2; ++dy)
                std::fill_n(image.scanLine(dot.y() + dy) + dot.x(), 2, uchar(40));
        }
        const QImage prepared = TextImagePreparation::normalizedContrast(image);
        QCOMPARE(prepared.size(), size);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const bool dot = std::any_of(dots.begin(), dots.end(), [&](const QPoint &d) {
                    return x >= d.x() && x < d.x() + 2 && y >= d.y() && y < d.y() + 2;
                });
                const int level = prepared.constScanLine(y)[x];
                QVERIFY2(dot ? level <= 64 : level >= 240, qPrintable(QStringLiteral("%1 at %2, %3").arg(level).arg(x).arg(y)));
            }
        }
    }

    // Pictures down to one pixel come through whole, with nothing read beyond their rows.
    void tinyPicturesComeThrough()
    {
        for (const QSize size : {QSize(1, 1), QSize(1, 40), QSize(40, 1), QSize(17, 3)}) {
            QImage image(size, QImage::Format_Grayscale8);
            for (int y = 0; y < size.height(); ++y) {
                for (int x = 0; x < size.width(); ++x)
                    image.scanLine(y)[x] = uchar((x * 37 + y * 91) % 256);
            }
            QCOMPARE(TextImagePreparation::normalizedContrast(image).size(), size);
            QCOMPARE(TextImagePreparation::prepared(image, 4096).size(), size);
        }
    }

    void typicalTextHeightFollowsTheTextSize_data()
    {
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("small");
        QTest::newRow("11 px") << 11 << true;
        QTest::newRow("14 px") << 14 << true;
        QTest::newRow("22 px (11 px at 2x)") << 22 << false;
        QTest::newRow("32 px") << 32 << false;
    }

    void typicalTextHeightFollowsTheTextSize()
    {
        QFETCH(int, pixelSize);
        QFETCH(bool, small);
        const QImage prepared = TextImagePreparation::normalizedContrast(
            TextImagePreparation::flattenedGrey(textPicture(QSize(640, 300), pixelSize)));
        const int height = TextImagePreparation::typicalTextHeight(prepared);
        QVERIFY(height > 0);
        QCOMPARE(height < TextImagePreparation::smallTextHeight, small);
        // Nothing drawn, nothing measured.
        QImage blank(QSize(200, 100), QImage::Format_Grayscale8);
        blank.fill(255);
        QCOMPARE(TextImagePreparation::typicalTextHeight(blank), 0);
    }

    // Small text is enlarged, within the size limit; large text is shrunk before it comes out
    // hollow, to text of the height the engine reads best.
    void onlyTextOfTheWrongSizeIsScaled_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<int>("maxPixelSize");
        QTest::addColumn<QSize>("expected"); // invalid: shrunk as a whole
        QTest::newRow("small text") << QSize(600, 200) << 13 << 4096 << QSize(900, 300);
        QTest::newRow("small text near the limit") << QSize(2400, 200) << 13 << 3000 << QSize(3000, 250);
        QTest::newRow("small text at the limit") << QSize(2900, 200) << 13 << 3000 << QSize(2900, 200);
        QTest::newRow("30 px text") << QSize(600, 200) << 30 << 4096 << QSize(600, 200);
        QTest::newRow("80 px text") << QSize(1600, 560) << 80 << 4096 << QSize();
        QTest::newRow("160 px text") << QSize(3200, 1120) << 160 << 4096 << QSize();
    }

    void onlyTextOfTheWrongSizeIsScaled()
    {
        QFETCH(QSize, size);
        QFETCH(int, pixelSize);
        QFETCH(int, maxPixelSize);
        QFETCH(QSize, expected);
        const QImage picture = textPicture(size, pixelSize);
        const QImage prepared = TextImagePreparation::prepared(picture, maxPixelSize);
        QCOMPARE(prepared.format(), QImage::Format_Grayscale8);
        if (expected.isValid()) {
            QCOMPARE(prepared.size(), expected);
            return;
        }
        QVERIFY(prepared.width() < picture.width());
        QVERIFY(qAbs(double(picture.height()) * prepared.width() / picture.width() - prepared.height()) <= 1);
        const int height = TextImagePreparation::typicalTextHeight(prepared);
        QVERIFY2(qAbs(height - TextImagePreparation::largeTextTarget) <= TextImagePreparation::largeTextTarget / 4,
                 qPrintable(QString::number(height)));
    }
};

QTEST_MAIN(TestTextImagePreparation)
#include "tst_textimagepreparation.moc"
