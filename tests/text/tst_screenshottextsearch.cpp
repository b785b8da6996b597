#include "text/ScreenshotText.h"
#include "text/ScreenshotTextSearch.h"

#include <QJsonObject>
#include <QtTest>

using OptionalText = std::optional<QString>;

class TestScreenshotTextSearch final : public QObject
{
    Q_OBJECT

private slots:
    void normalize_data();
    void normalize();
    void matches_data();
    void matches();
    void snippet_data();
    void snippet();
    void trimmingAndJsonRoundTrip();
};

void TestScreenshotTextSearch::normalize_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("case and acute") << u"ÉCRAN"_qs << u"ecran"_qs;
    QTest::newRow("decomposed accent") << u"Cafe\u0301"_qs << u"cafe"_qs;
    QTest::newRow("full width") << u"Ｒｅｃｅｉｐｔ"_qs << u"receipt"_qs;
    QTest::newRow("ligature") << u"\uFB01le"_qs << u"file"_qs;
    // Marks that are part of the letter in other scripts survive diacritic folding.
    QTest::newRow("half-width kana, voicing kept") << u"\uFF76\uFF9E"_qs << u"\u30AC"_qs;
    QTest::newRow("hamza above and below") << u"\u0623\u0625"_qs << u"\u0627\u0627"_qs;
    QTest::newRow("madda and wasla") << u"\u0622\u0671"_qs << u"\u0627\u0627"_qs;
    QTest::newRow("alef maksura") << u"\u0639\u0644\u0649"_qs << u"\u0639\u0644\u064A"_qs;
    QTest::newRow("tatweel") << u"\u0645\u0640\u0640\u0631"_qs << u"\u0645\u0631"_qs;
    QTest::newRow("harakat") << u"\u0645\u064E\u0631\u0652\u062D\u064B"_qs << u"\u0645\u0631\u062D"_qs;
    QTest::newRow("arabic-indic digits") << u"\u0662\u0660\u0662\u0664"_qs << u"2024"_qs;
    QTest::newRow("extended arabic-indic digits") << u"\u06F2\u06F0\u06F2\u06F4"_qs << u"2024"_qs;
    QTest::newRow("waw and yeh with hamza kept") << u"\u0624\u0626"_qs << u"\u0624\u0626"_qs;
    QTest::newRow("ascii blanks and case") << u"  A\t\tb\r\n\nC \v\f "_qs << u"a b c"_qs;
    QTest::newRow("ascii punctuation and controls") << u"ABC_d-1.png (2) ~!@#\u0001\u007F"_qs
                                                    << u"abc_d-1.png (2) ~!@#\u0001\u007F"_qs;
    QTest::newRow("unicode spaces and breaks") << u"a\u00A0b\u3000c\u2028d\u0085e"_qs << u"a b c d e"_qs;
    QTest::newRow("zero width space is not white") << u"a\u200Bb"_qs << u"a\u200Bb"_qs;
    QTest::newRow("mark after a space goes with it") << u"a \u3099b"_qs << u"a b"_qs;
    QTest::newRow("only white space") << u" \t\n\u00A0\u3000"_qs << QString();
}

void TestScreenshotTextSearch::normalize()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(ScreenshotTextSearch::normalize(input), expected);
    // A non-ASCII space at either end forces the full pipeline without changing the result.
    QCOMPARE(ScreenshotTextSearch::normalize(input + u"\u00A0"_qs), expected);
    QCOMPARE(ScreenshotTextSearch::normalize(u"\u3000"_qs + input), expected);
}

void TestScreenshotTextSearch::matches_data()
{
    QTest::addColumn<QString>("haystack");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("expected");
    const QString name = u"Screenshot 2024-05-01 at 10.14.07"_qs;
    QTest::newRow("no tokens") << name << u" \t\u3000 "_qs << true;
    QTest::newRow("split word, any order") << name << u"shot  SCREEN"_qs << true;
    QTest::newRow("every token needed") << name << u"screen zzz"_qs << false;
    QTest::newRow("accented query") << u"Mon ecran"_qs << u"ÉCRAN"_qs << true;
    QTest::newRow("bare query, hamza text") << u"\u0623\u062D\u0645\u062F"_qs
                                            << u"\u0627\u062D\u0645\u062F"_qs << true;
    QTest::newRow("vowelled text, plain query") << u"\u0645\u064E\u0640\u0631\u0652\u062D\u064E\u0628\u064B\u0627"_qs
                                                << u"\u0645\u0631\u062D\u0628\u0627"_qs << true;
    QTest::newRow("extended year, arabic-indic query") << u"\u06F2\u06F0\u06F2\u06F4"_qs
                                                       << u"\u0662\u0660\u0662\u0664"_qs << true;
    QTest::newRow("teh marbuta is not heh") << u"\u0645\u062F\u0631\u0633\u0629"_qs
                                            << u"\u0645\u062F\u0631\u0633\u0647"_qs << false;
}

void TestScreenshotTextSearch::matches()
{
    QFETCH(QString, haystack);
    QFETCH(QString, query);
    QFETCH(bool, expected);
    const QString normalized = ScreenshotTextSearch::normalize(haystack);
    QCOMPARE(ScreenshotTextSearch::matches(normalized, ScreenshotTextSearch::tokens(query)), expected);
}

void TestScreenshotTextSearch::snippet_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::addColumn<OptionalText>("expected");
    const QString invoice = u"Total: 12\r\n\r\nInvoice 77"_qs;
    QTest::newRow("CR LF like LF") << invoice << u"77"_qs << OptionalText(u"Invoice 77"_qs);
    QTest::newRow("any one token") << invoice << u"zzz total"_qs << OptionalText(u"Total: 12"_qs);
    QTest::newRow("first of lines with a token") << u"alpha\nbeta"_qs << u"beta alpha"_qs
                                                 << OptionalText(u"alpha"_qs);
    QTest::newRow("unicode separators") << u"one\u2028two\u0085three"_qs << u"three"_qs
                                        << OptionalText(u"three"_qs);
    QTest::newRow("verbatim, not trimmed") << u"Header\n   Café AU lait  \nEnd"_qs << u"cafe"_qs
                                           << OptionalText(u"   Café AU lait  "_qs);
    QTest::newRow("blanks and removed marks are no tokens") << invoice << u" \t\u064E \u0640\u3000"_qs
                                                            << OptionalText();
    QTest::newRow("no line matches") << invoice << u"receipt"_qs << OptionalText();
}

void TestScreenshotTextSearch::snippet()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QFETCH(OptionalText, expected);
    QCOMPARE(ScreenshotText(text).snippet(query), expected);
}

void TestScreenshotTextSearch::trimmingAndJsonRoundTrip()
{
    const ScreenshotText value(u"\r\n\u00A0Hello\n\nWorld\t\u2029"_qs);
    QCOMPARE(value.text(), u"Hello\n\nWorld"_qs);
    QCOMPARE(value.normalized(), u"hello world"_qs);
    QCOMPARE(value.toJson(), (QJsonObject{{u"text"_qs, u"Hello\n\nWorld"_qs}}));
    QCOMPARE(ScreenshotText::fromJson(value.toJson()), std::optional(value));
}

QTEST_GUILESS_MAIN(TestScreenshotTextSearch)
#include "tst_screenshottextsearch.moc"
