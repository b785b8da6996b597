#include "text/TextBandSplitter.h"
#include "text/TextImagePreparation.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

namespace {

struct Seen
{
    int top, rows, ownedFrom, ownedTo;
    bool inkOnBoundary; // the row where this band's ownership ends crosses a mark
};

} // namespace

class TestTextBandSplitter final : public QObject
{
    Q_OBJECT

private slots:
    void everyRowIsOwnedByOneBandThatHoldsItsLines_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("expectedBands");
        QTest::newRow("short enough to read whole") << 4000 << 1;
        QTest::newRow("just too tall") << 4001 << 3;
        QTest::newRow("scrolling capture") << 20000 << 11;
    }

    // Bands of at most 2000 rows overlapping by 200 over a picture of "text lines": 30 rows of
    // dark strokes every 70 rows, with transparent gaps between them.
    void everyRowIsOwnedByOneBandThatHoldsItsLines()
    {
        QFETCH(int, height);
        QFETCH(int, expectedBands);
        constexpr int width = 64, bandRows = 2000, overlap = 200, pitch = 70, lineRows = 30;
        const auto isLine = [](int y) { return y % pitch >= 20 && y % pitch < 20 + lineRows; };
        std::vector<Seen> seen;
        int received = 0;
        TextBandSplitter splitter(4000, bandRows, overlap, [&](const TextBand &band) {
            const int boundary = band.ownedTo - band.top;
            const bool crossed = boundary < band.grey.height() && qGray(band.grey.pixel(width / 2, boundary)) < 128;
            seen.push_back({band.top, band.grey.height(), band.ownedFrom, band.ownedTo, crossed});
            // The band holds the picture's own rows, laid on white.
            for (int y = 0; y < band.grey.height(); ++y) {
                const int grey = qGray(band.grey.pixel(5, y));
                if (isLine(band.top + y) ? grey > 60 : grey != 255)
                    return false;
            }
            received += band.grey.height();
            return band.whole == QSize(width, height);
        });
        QVERIFY(splitter.begin(QSize(width, height)));
        std::vector<QRgb> line(width, qRgb(240, 240, 240)), gap(width, 0);
        for (int x = 0; x < width; x += 4)
            line[size_t(x)] = line[size_t(x) + 1] = qRgb(30, 30, 30);
        for (int y = 0; y < height; ++y)
            QVERIFY2(splitter.addRow(isLine(y) ? line.data() : gap.data()), qPrintable(QString::number(y)));

        QCOMPARE(int(seen.size()), expectedBands);
        QCOMPARE(seen.front().ownedFrom, 0);
        QCOMPARE(seen.back().ownedTo, height);
        for (size_t i = 0; i < seen.size(); ++i) {
            const Seen &band = seen[i];
            QVERIFY(band.rows <= (expectedBands == 1 ? 4000 : bandRows));
            QVERIFY(band.ownedFrom >= band.top && band.ownedTo <= band.top + band.rows);
            if (i + 1 < seen.size()) {
                const Seen &next = seen[i + 1];
                // Ownership passes on without gap or overlap, within rows both bands hold...
                QCOMPARE(next.ownedFrom, band.ownedTo);
                QCOMPARE(next.top, band.top + band.rows - overlap);
                // ...on a row between two lines, so that each line lies whole in its owner.
                QVERIFY(!band.inkOnBoundary);
            }
        }
        QCOMPARE(received, height + overlap * (expectedBands - 1));
    }

    // Rows arrive one at a time, yet each band holds the grey levels the whole picture has:
    // opaque greys, colours, translucent pixels, and more distinct colours than are remembered,
    // many of them repeated, rows after rows.
    void bandsHoldTheGreyOfTheWholePicture()
    {
        constexpr int width = 37, height = 300;
        QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
        QRandomGenerator random(7);
        QList<QRgb> palette;
        for (int i = 0; i < 6000; ++i) {
            const int alpha = i % 5 == 0 ? int(random.bounded(256)) : 255;
            const int grey = int(random.bounded(256));
            const QRgb colour = i % 3 == 0 ? qRgba(grey, grey, grey, alpha)
                                           : qRgba(int(random.bounded(256)), int(random.bounded(256)),
                                                   int(random.bounded(256)), alpha);
            palette.append(qPremultiply(colour));
        }
        for (int y = 0; y < height; ++y) {
            auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
            for (int x = 0; x < width; ++x)
                row[x] = palette[int(random.bounded(y < height / 2 ? 300 : palette.size()))];
        }
        const QImage expected = TextImagePreparation::flattenedGrey(picture);

        QImage received(width, height, QImage::Format_Grayscale8);
        TextBandSplitter splitter(100, 100, 10, [&](const TextBand &band) {
            for (int y = 0; y < band.grey.height(); ++y)
                std::memcpy(received.scanLine(band.top + y), band.grey.constScanLine(y), width);
            return true;
        });
        QVERIFY(splitter.begin(picture.size()));
        for (int y = 0; y < height; ++y)
            QVERIFY(splitter.addRow(reinterpret_cast<const QRgb *>(picture.constScanLine(y))) || y == height - 1);
        for (int y = 0; y < height; ++y)
            QVERIFY2(std::memcmp(received.constScanLine(y), expected.constScanLine(y), width) == 0,
                     qPrintable(QString::number(y)));
    }

    void theReaderStopsThePicture()
    {
        int bands = 0;
        TextBandSplitter splitter(100, 50, 10, [&](const TextBand &) { return ++bands < 2; });
        QVERIFY(splitter.begin(QSize(8, 410))); // ten bands of 50 rows
        const std::vector<QRgb> row(8, qRgb(255, 255, 255));
        int taken = 0;
        while (taken < 410 && splitter.addRow(row.data()))
            ++taken;
        QCOMPARE(bands, 2);
        QCOMPARE(taken, 50 + 40 - 1); // refused the row that completed the second band
        QVERIFY(!splitter.addRow(row.data()));
    }
};

QTEST_GUILESS_MAIN(TestTextBandSplitter)
#include "tst_textbandsplitter.moc"
