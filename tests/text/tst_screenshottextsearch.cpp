#include "text/ScreenshotText.h"
#include "text/ScreenshotTextSearch.h"

#include <QJsonObject>
#include <QtTest>

class TestScreenshotTextSearch final : public QObject
{
    Q_OBJECT

private slots:
    void normalize_data();
    void normalize();
    void asciiFastPathAgreesWithFullPath_data();
    void asciiFastPathAgreesWithFullPath();
    void tokens_data();
    void tokens();
    void matches_data();
    void matches();
    void snippet_data();
    void snippet();
    void constructionTrims_data();
    void constructionTrims();
    void jsonRoundTrip();
    void jsonDecoding_data();
    void jsonDecoding();
};

void TestScreenshotTextSearch::normalize_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("case and acute") << u"ÉCRAN"_qs << u"ecran"_qs;
    QTest::newRow("decomposed accent") << u"Cafe\u0301"_qs << u"cafe"_qs;
    QTest::newRow("full width") << u"Ｒｅｃｅｉｐｔ"_qs << u"receipt"_qs;
    QTest::newRow("ligature") << u"\uFB01le"_qs << u"file"_qs;
    QTest::newRow("superscript") << u"m\u00B2"_qs << u"m2"_qs;
    QTest::newRow("sharp s") << u"Straße"_qs << u"strasse"_qs;
    QTest::newRow("dotted capital I") << u"\u0130stanbul"_qs << u"istanbul"_qs;
    QTest::newRow("cyrillic breve and diaeresis") << u"ЙЁ"_qs << u"ие"_qs;
    // Marks that are part of the letter in other scripts survive diacritic folding.
    QTest::newRow("half-width kana with voicing") << u"\uFF76\uFF9E"_qs << u"\u30AC"_qs;
    QTest::newRow("kana voicing kept") << u"\u304C"_qs << u"\u304C"_qs;
    QTest::newRow("devanagari vowel sign kept") << u"\u0915\u0941"_qs << u"\u0915\u0941"_qs;

    QTest::newRow("hamza above") << u"\u0623\u062D\u0645\u062F"_qs << u"\u0627\u062D\u0645\u062F"_qs;
    QTest::newRow("hamza below") << u"\u0625\u0633"_qs << u"\u0627\u0633"_qs;
    QTest::newRow("madda and wasla") << u"\u0622\u0671"_qs << u"\u0627\u0627"_qs;
    QTest::newRow("decomposed hamza alef") << u"\u0627\u0654"_qs << u"\u0627"_qs;
    QTest::newRow("alef maksura") << u"\u0639\u0644\u0649"_qs << u"\u0639\u0644\u064A"_qs;
    QTest::newRow("tatweel") << u"\u0645\u0640\u0640\u0631\u062D\u0628\u0627"_qs
                             << u"\u0645\u0631\u062D\u0628\u0627"_qs;
    QTest::newRow("harakat") << u"\u0645\u064E\u0631\u0652\u062D\u064E\u0628\u064B\u0627"_qs
                             << u"\u0645\u0631\u062D\u0628\u0627"_qs;
    QTest::newRow("superscript alef and quranic mark")
        << u"\u0647\u0670\u0630\u0627\u06D6"_qs << u"\u0647\u0630\u0627"_qs;
    QTest::newRow("arabic-indic digits") << u"\u0662\u0660\u0662\u0664"_qs << u"2024"_qs;
    QTest::newRow("extended arabic-indic digits") << u"\u06F2\u06F0\u06F2\u06F4"_qs << u"2024"_qs;
    QTest::newRow("waw with hamza kept") << u"\u0645\u0624\u062A\u0645\u0631"_qs
                                         << u"\u0645\u0624\u062A\u0645\u0631"_qs;
    QTest::newRow("yeh with hamza kept") << u"\u0633\u0627\u0626\u0644"_qs
                                         << u"\u0633\u0627\u0626\u0644"_qs;
    QTest::newRow("teh marbuta kept") << u"\u0645\u062F\u0631\u0633\u0629"_qs
                                      << u"\u0645\u062F\u0631\u0633\u0629"_qs;

    QTest::newRow("ascii blanks") << u"  a\t\tb\r\n\nc \v\f "_qs << u"a b c"_qs;
    QTest::newRow("no-break spaces") << u"a\u00A0b\u202Fc\u2007d"_qs << u"a b c d"_qs;
    QTest::newRow("ideographic space") << u"\u3000a\u3000\u3000b\u3000"_qs << u"a b"_qs;
    QTest::newRow("unicode line breaks") << u"a\u0085b\u2028c\u2029d"_qs << u"a b c d"_qs;
    QTest::newRow("ogham space") << u"a\u1680b"_qs << u"a b"_qs;
    QTest::newRow("zero width space is not white") << u"a\u200Bb"_qs << u"a\u200Bb"_qs;
    QTest::newRow("mongolian vowel separator is not white") << u"a\u180Eb"_qs << u"a\u180Eb"_qs;
    QTest::newRow("noncharacter passes through") << u"\u0623\uFFFF"_qs << u"\u0627\uFFFF"_qs;
    QTest::newRow("mark after a space goes with it") << u"a \u3099b"_qs << u"a b"_qs;
    QTest::newRow("only white space") << u" \t\n\u00A0\u3000"_qs << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestScreenshotTextSearch::normalize()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(ScreenshotTextSearch::normalize(input), expected);
}

void TestScreenshotTextSearch::asciiFastPathAgreesWithFullPath_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("name") << u"Screenshot 2024-05-01 at 10.14.07"_qs;
    QTest::newRow("mixed case and blanks") << u"  MiXeD\tCase \r\n END  "_qs;
    QTest::newRow("punctuation") << u"ABC_def-123.png (copy) [2] {x} ~!@#$%^&*"_qs;
    QTest::newRow("controls") << u"a\u0001B\u001F\u007Fc"_qs;
    QTest::newRow("blank") << u" \t\n"_qs;
    QTest::newRow("empty") << QString();
}

void TestScreenshotTextSearch::asciiFastPathAgreesWithFullPath()
{
    QFETCH(QString, input);
    // A non-ASCII space at either end forces the full pipeline without changing the result.
    const QString ascii = ScreenshotTextSearch::normalize(input);
    QCOMPARE(ScreenshotTextSearch::normalize(input + u"\u00A0"_qs), ascii);
    QCOMPARE(ScreenshotTextSearch::normalize(u"\u3000"_qs + input), ascii);
}

void TestScreenshotTextSearch::tokens_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("white space only") << u" \t\r\n\u00A0\u3000 "_qs << QStringList();
    QTest::newRow("order and duplicates kept")
        << u"  Foo\tBAR  foo "_qs << QStringList{u"foo"_qs, u"bar"_qs, u"foo"_qs};
    QTest::newRow("removed marks leave no empty token") << u"\u064E \u0640"_qs << QStringList();
}

void TestScreenshotTextSearch::tokens()
{
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    QCOMPARE(ScreenshotTextSearch::tokens(query), expected);
}

void TestScreenshotTextSearch::matches_data()
{
    QTest::addColumn<QString>("haystack");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("expected");

    QTest::newRow("no tokens") << u"anything"_qs << u"  "_qs << true;
    QTest::newRow("split word") << u"Screenshot 2024-05-01 at 10.14.07"_qs << u"screen shot"_qs
                                << true;
    QTest::newRow("order free") << u"Screenshot 2024-05-01"_qs << u"shot screen"_qs << true;
    QTest::newRow("every token needed") << u"Screenshot 2024-05-01"_qs << u"screen zzz"_qs
                                        << false;
    QTest::newRow("accented query") << u"Mon ecran"_qs << u"ÉCRAN"_qs << true;
    QTest::newRow("full-width query") << u"Receipt #42"_qs << u"Ｒｅｃｅｉｐｔ"_qs << true;
    QTest::newRow("ligature query") << u"profile"_qs << u"pro\uFB01le"_qs << true;
    QTest::newRow("hamza query, bare text") << u"\u0627\u062D\u0645\u062F"_qs
                                            << u"\u0623\u062D\u0645\u062F"_qs << true;
    QTest::newRow("bare query, hamza text") << u"\u0623\u062D\u0645\u062F"_qs
                                            << u"\u0627\u062D\u0645\u062F"_qs << true;
    QTest::newRow("vowelled text, plain query")
        << u"\u0645\u064E\u0640\u0631\u0652\u062D\u064E\u0628\u064B\u0627"_qs
        << u"\u0645\u0631\u062D\u0628\u0627"_qs << true;
    QTest::newRow("arabic-indic year, ascii query") << u"\u0662\u0660\u0662\u0664"_qs << u"2024"_qs
                                                    << true;
    QTest::newRow("extended year, arabic-indic query")
        << u"\u06F2\u06F0\u06F2\u06F4"_qs << u"\u0662\u0660\u0662\u0664"_qs << true;
    QTest::newRow("teh marbuta is not heh") << u"\u0645\u062F\u0631\u0633\u0629"_qs
                                            << u"\u0645\u062F\u0631\u0633\u0647"_qs << false;
}

void TestScreenshotTextSearch::matches()
{
    QFETCH(QString, haystack);
    QFETCH(QString, query);
    QFETCH(bool, expected);
    const QString normalized = ScreenshotTextSearch::normalize(haystack);
    QCOMPARE(ScreenshotTextSearch::matches(normalized, ScreenshotTextSearch::tokens(query)),
             expected);
}

void TestScreenshotTextSearch::snippet_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::addColumn<std::optional<QString>>("expected");

    const QString invoice = u"Total: 12\n\nInvoice 77"_qs;
    QTest::newRow("matching line") << invoice << u"invoice"_qs
                                   << std::optional<QString>(u"Invoice 77"_qs);
    QTest::newRow("any one token") << invoice << u"zzz total"_qs
                                   << std::optional<QString>(u"Total: 12"_qs);
    QTest::newRow("CR LF like LF") << u"Total: 12\r\n\r\nInvoice 77"_qs << u"77"_qs
                                   << std::optional<QString>(u"Invoice 77"_qs);
    QTest::newRow("unicode separators") << u"one\u2028two\u0085three"_qs << u"three"_qs
                                        << std::optional<QString>(u"three"_qs);
    QTest::newRow("verbatim, not trimmed")
        << u"Header\n   Café AU lait  \nEnd"_qs << u"cafe"_qs
        << std::optional<QString>(u"   Café AU lait  "_qs);
    QTest::newRow("tokens on separate lines") << u"alpha\nbeta"_qs << u"beta alpha"_qs
                                              << std::optional<QString>(u"alpha"_qs);
    QTest::newRow("no tokens") << invoice << u" \t\n"_qs << std::optional<QString>();
    QTest::newRow("no line matches") << invoice << u"receipt"_qs << std::optional<QString>();
    QTest::newRow("no text") << QString() << u"total"_qs << std::optional<QString>();
}

void TestScreenshotTextSearch::snippet()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QFETCH(std::optional<QString>, expected);
    QCOMPARE(ScreenshotText(text).snippet(query), expected);
}

void TestScreenshotTextSearch::constructionTrims_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normalized");
    QTest::newRow("spaces") << u"  hello  "_qs << u"hello"_qs << u"hello"_qs;
    QTest::newRow("newlines and no-break space")
        << u"\r\n\u00A0Hello\n\nWorld\t\u2029"_qs << u"Hello\n\nWorld"_qs << u"hello world"_qs;
    QTest::newRow("blank") << u" \n "_qs << QString() << QString();
}

void TestScreenshotTextSearch::constructionTrims()
{
    QFETCH(QString, raw);
    QFETCH(QString, text);
    QFETCH(QString, normalized);
    const ScreenshotText value(raw);
    QCOMPARE(value.text(), text);
    QCOMPARE(value.normalized(), normalized);
}

void TestScreenshotTextSearch::jsonRoundTrip()
{
    const ScreenshotText value(u"Invoice\n\u0662\u0660\u0662\u0664"_qs);
    const QJsonObject json = value.toJson();
    QCOMPARE(json.keys(), QStringList{u"text"_qs});
    QCOMPARE(ScreenshotText::fromJson(json), std::optional<ScreenshotText>(value));
    QCOMPARE(ScreenshotText(), ScreenshotText(QString()));
}

void TestScreenshotTextSearch::jsonDecoding_data()
{
    QTest::addColumn<QJsonObject>("json");
    QTest::addColumn<std::optional<ScreenshotText>>("expected");
    QTest::newRow("padded text is trimmed")
        << QJsonObject{{u"text"_qs, u"  hello  "_qs}}
        << std::optional<ScreenshotText>(ScreenshotText(u"hello"_qs));
    QTest::newRow("extra keys ignored")
        << QJsonObject{{u"text"_qs, u"Hi"_qs}, {u"normalized"_qs, u"stale"_qs}}
        << std::optional<ScreenshotText>(ScreenshotText(u"Hi"_qs));
    QTest::newRow("missing text") << QJsonObject() << std::optional<ScreenshotText>();
    QTest::newRow("number") << QJsonObject{{u"text"_qs, 5}} << std::optional<ScreenshotText>();
    QTest::newRow("null") << QJsonObject{{u"text"_qs, QJsonValue()}}
                          << std::optional<ScreenshotText>();
}

void TestScreenshotTextSearch::jsonDecoding()
{
    QFETCH(QJsonObject, json);
    QFETCH(std::optional<ScreenshotText>, expected);
    const std::optional<ScreenshotText> decoded = ScreenshotText::fromJson(json);
    QCOMPARE(decoded, expected);
    if (decoded)
        QCOMPARE(decoded->normalized(), ScreenshotTextSearch::normalize(decoded->text()));
}

QTEST_GUILESS_MAIN(TestScreenshotTextSearch)
#include "tst_screenshottextsearch.moc"
