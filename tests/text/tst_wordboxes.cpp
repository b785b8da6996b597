// Where the recogniser places words, checked against where they were drawn: a search's
// highlights must land on the words it found, whatever the preparation did to the picture.
#include "DrawnScreenshots.h"
#include "SystemImages.h"
#include "TestSupport.h"

#include "platform/ImageServices.h"
#include "text/ScreenshotText.h"
#include "text/TesseractRecognizer.h"

#include <QTemporaryDir>
#include <QtTest>

using DrawnScreenshots::WordLine;

namespace {

// Lines as text, words split at spaces; a line starting with "<" reads right to left.
QList<WordLine> wordLines(const QStringList &lines)
{
    QList<WordLine> parsed;
    for (const QString &line : lines) {
        const bool rightToLeft = line.startsWith(QLatin1Char('<'));
        parsed.append({(rightToLeft ? line.mid(1) : line).split(QLatin1Char(' ')), rightToLeft});
    }
    return parsed;
}

// How far apart two boxes' edges are, at most. The drawn box is the font's idea of the ink,
// which for Arabic runs a few pixels wider than the ink the engine finds.
int edgeDistance(const QRectF &a, const QRect &b)
{
    const QRectF f(b.x(), b.y(), b.width(), b.height());
    return int(std::ceil(std::max({std::abs(a.left() - f.left()), std::abs(a.top() - f.top()),
                                   std::abs(a.right() - f.right()), std::abs(a.bottom() - f.bottom())})));
}

} // namespace

class TestWordBoxes final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ImageServices::applyAllocationLimit();
        m_recognizer.emplace(QString(), systemImages());
        const auto capabilities = m_recognizer->capabilities();
        QVERIFY(std::holds_alternative<TextRecognitionCapabilities>(capabilities));
        m_capabilities = std::get<TextRecognitionCapabilities>(capabilities);
        if (!m_capabilities.languages.contains(QStringLiteral("en-US")))
            QSKIP("English language data (tesseract-ocr-eng) is not installed");
    }

    void highlightsLandOnTheDrawnWords_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("found"); // the drawn words the highlights must cover
        QTest::addColumn<bool>("arabic");

        const QStringList english{QStringLiteral("Quarterly invoice summary"), QStringLiteral("Payment due Friday morning")};
        QTest::newRow("English, each word of the query")
            << QSize(900, 260) << 30 << english << u"INVOICE friday"_qs << QStringList{u"invoice"_qs, u"Friday"_qs} << false;
        // Small interface text is enlarged before reading; the boxes come back at the original size.
        QTest::newRow("small text, enlarged to read")
            << QSize(420, 110) << 11 << english << u"summary"_qs << QStringList{u"summary"_qs} << false;
        // Past the recogniser's largest side the picture is read downscaled.
        QTest::newRow("large picture, read downscaled")
            << QSize(5200, 520) << 64 << english << u"payment"_qs << QStringList{u"Payment"_qs} << false;
        QTest::newRow("Arabic")
            << QSize(900, 260) << 32 << QStringList{u"<الفاتورة الشهرية المستحقة"_qs, u"<تم رفع الملف"_qs}
            << u"الشَّهرية"_qs << QStringList{u"الشهرية"_qs} << true;
        // Arabic-Indic digits in the query find the Latin digits drawn, in a line read left to
        // right and in one read right to left.
        QTest::newRow("mixed, left to right")
            << QSize(900, 260) << 32 << QStringList{u"Invoice 2024 الفاتورة"_qs, u"Total amount"_qs}
            << u"الفاتورة ٢٠٢٤"_qs << QStringList{u"الفاتورة"_qs, u"2024"_qs} << true;
        QTest::newRow("mixed, right to left")
            << QSize(900, 260) << 32 << QStringList{u"<الفاتورة رقم 2024"_qs, u"Total amount"_qs}
            << u"invoice ٢٠٢٤"_qs << QStringList{u"2024"_qs} << true;
    }

    void highlightsLandOnTheDrawnWords()
    {
        QFETCH(QSize, size);
        QFETCH(int, pixelSize);
        QFETCH(QStringList, lines);
        QFETCH(QString, query);
        QFETCH(QStringList, found);
        QFETCH(bool, arabic);
        if (arabic && !m_capabilities.supportsArabic())
            QSKIP("Arabic language data (tesseract-ocr-ara) is not installed");

        const DrawnScreenshots::WordPage page = DrawnScreenshots::wordPage(size, wordLines(lines), pixelSize);
        const QString path = m_dir.filePath(QString::number(qHash(lines.join(u'|'))) + u".png"_qs);
        QVERIFY(TestSupport::writeImage(path, page.image, "png"));
        const auto result = m_recognizer->recognize(path, m_capabilities);
        const auto *read = std::get_if<RecognizedText>(&result);
        QVERIFY(read);

        const ScreenshotText text(read->text, read->words);
        QList<QRectF> boxes;
        for (const QRectF &box : text.matchingWordBoxes(query))
            boxes.append(QRectF(box.x() * size.width(), box.y() * size.height(), box.width() * size.width(),
                                box.height() * size.height()));
        QCOMPARE(boxes.size(), found.size());
        for (const DrawnScreenshots::PlacedWord &drawn : page.words) {
            if (!found.contains(drawn.text))
                continue;
            const auto near = std::find_if(boxes.cbegin(), boxes.cend(),
                                           [&](const QRectF &box) { return edgeDistance(box, drawn.box) <= 6; });
            QVERIFY2(near != boxes.cend(), qPrintable(drawn.text + u" not highlighted in: "_qs + read->text));
        }
    }

private:
    QTemporaryDir m_dir;
    std::optional<TesseractRecognizer> m_recognizer;
    TextRecognitionCapabilities m_capabilities;
};

QTEST_MAIN(TestWordBoxes)
#include "tst_wordboxes.moc"
