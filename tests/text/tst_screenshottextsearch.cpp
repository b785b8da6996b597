#include "text/ScreenshotText.h"
#include "core/ScreenshotTextSearch.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

using OptionalText = std::optional<QString>;

class TestScreenshotTextSearch final : public QObject
{
    Q_OBJECT

private slots:
    void normalize_data()
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

    void normalize()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(ScreenshotTextSearch::normalize(input), expected);
        // A non-ASCII space at either end forces the full pipeline without changing the result.
        QCOMPARE(ScreenshotTextSearch::normalize(input + u"\u00A0"_qs), expected);
        QCOMPARE(ScreenshotTextSearch::normalize(u"\u3000"_qs + input), expected);
    }

    void matches_data()
    {
        QTest::addColumn<QString>("haystack");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("expected");
        const QString name = u"Screenshot 2024-05-01 at 10.14.07"_qs;
        QTest::newRow("no tokens") << name << u" \t\u3000 "_qs << true;
        QTest::newRow("split word, any order") << name << u"shot  SCREEN"_qs << true;
        QTest::newRow("every token needed") << name << u"screen zzz"_qs << false;
        QTest::newRow("accented query") << u"Mon ecran"_qs << u"ÉCRAN"_qs << true;
        // Folds of the text alone are normalize's; these fold the query too.
        QTest::newRow("extended year, arabic-indic query") << u"\u06F2\u06F0\u06F2\u06F4"_qs
                                                           << u"\u0662\u0660\u0662\u0664"_qs << true;
        QTest::newRow("teh marbuta is not heh") << u"\u0645\u062F\u0631\u0633\u0629"_qs
                                                << u"\u0645\u062F\u0631\u0633\u0647"_qs << false;
        // German as typed on keyboards with and without umlauts and sharp s, and in Switzerland.
        QTest::newRow("Größe, grosse") << u"Größe: 42"_qs << u"grosse"_qs << true;
        QTest::newRow("Grösse, Größe") << u"Grösse"_qs << u"Größe"_qs << true;
        QTest::newRow("GRÖSSE, größe") << u"GRÖSSE"_qs << u"größe"_qs << true;
        QTest::newRow("Schließen, SCHLIESSEN") << u"Fenster schließen"_qs << u"SCHLIESSEN"_qs << true;
        QTest::newRow("capital sharp s") << u"STRAẞE"_qs << u"Straße"_qs << true;
        QTest::newRow("Übersicht, ubersicht") << u"Übersicht der Änderungen"_qs << u"ubersicht anderungen"_qs << true;
        QTest::newRow("Müller, muller") << u"Herr Müller"_qs << u"muller"_qs << true;
        // Russian: е for ё, as nearly everyone types it; й is a letter of its own.
        QTest::newRow("Ёлка, елка") << u"Ёлка"_qs << u"елка"_qs << true;
        QTest::newRow("всё готово, все") << u"Всё готово"_qs << u"все готово"_qs << true;
        QTest::newRow("Пётр, петр") << u"Пётр Иванов"_qs << u"петр"_qs << true;
        QTest::newRow("НАСТРОЙКИ, настройки") << u"НАСТРОЙКИ"_qs << u"настройки"_qs << true;
        QTest::newRow("Мой файл, мои") << u"Мой файл"_qs << u"мои"_qs << false;
        QTest::newRow("Мои файлы, мой") << u"Мои файлы"_qs << u"мой"_qs << false;
        QTest::newRow("йогурт, иогурт") << u"йогурт"_qs << u"иогурт"_qs << false;
        QTest::newRow("decomposed й typed") << u"Скачай"_qs << u"скачаи\u0306"_qs << true;
        QTest::newRow("Belarusian ў") << u"праўда"_qs << u"прауда"_qs << false;
        QTest::newRow("breve still folds in Latin") << u"Bucureşti, în ştiinţă"_qs << u"stiinta"_qs << true;
    }

    void matches()
    {
        QFETCH(QString, haystack);
        QFETCH(QString, query);
        QFETCH(bool, expected);
        const QString normalized = ScreenshotTextSearch::normalize(haystack);
        QCOMPARE(ScreenshotTextSearch::matches(normalized, ScreenshotTextSearch::tokens(query)), expected);
    }

    void snippet_data()
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

    void snippet()
    {
        QFETCH(QString, text);
        QFETCH(QString, query);
        QFETCH(OptionalText, expected);
        QCOMPARE(ScreenshotText(text).snippet(query), expected);
    }

    void excerpt_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expected");
        const QString log = u"2024-05-01 03:00:01 nightly backup: starting rsync of /home/photos to glacier"_qs;
        // The earliest word holding any token, from the start of that word.
        QTest::newRow("cut before the first matching word") << log << u"glacier sync"_qs
                                                            << u"…starting rsync of /home/photos to glacier"_qs;
        QTest::newRow("match within the lead") << u"starting rsync of /home/photos to glacier"_qs
                                               << u"rsync glacier"_qs << u"starting rsync of /home/photos to glacier"_qs;
        QTest::newRow("matched as the search matches") << u"Minutes of the long quarterly review — CAFÉ budget"_qs
                                                       << u"cafe"_qs << u"…review — CAFÉ budget"_qs;
        QTest::newRow("no word holds a token") << log << u"zebra"_qs << log;
    }

    void excerpt()
    {
        QFETCH(QString, line);
        QFETCH(QString, query);
        QFETCH(QString, expected);
        QCOMPARE(ScreenshotText::excerpt(line, query, 12), expected);
    }

    void matchingWordBoxes_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<int>>("expected"); // indexes into the words below
        QTest::newRow("accents and case fold") << u"cafe"_qs << QList<int>{1};
        QTest::newRow("Arabic-Indic digits match Latin ones") << u"2024"_qs << QList<int>{2, 4};
        QTest::newRow("Arabic vowel marks fold") << u"فَاتُورَة"_qs << QList<int>{3};
        QTest::newRow("each word of the query") << u"LUMEN invoice"_qs << QList<int>{0, 5};
        QTest::newRow("part of a word") << u"voic"_qs << QList<int>{0};
        QTest::newRow("only in the file name") << u"screenshot"_qs << QList<int>{};
        QTest::newRow("blank query") << u" \u0640 "_qs << QList<int>{};
    }

    void matchingWordBoxes()
    {
        QFETCH(QString, query);
        QFETCH(QList<int>, expected);
        const QList<TextWord> words{{u"Invoice"_qs, QRectF(0.1, 0.1, 0.2, 0.05)},
                                    {u"Café"_qs, QRectF(0.35, 0.1, 0.1, 0.05)},
                                    {u"٢٠٢٤"_qs, QRectF(0.5, 0.1, 0.1, 0.05)},
                                    {u"فاتورة"_qs, QRectF(0.7, 0.2, 0.2, 0.05)},
                                    {u"2024-118"_qs, QRectF(0.1, 0.3, 0.2, 0.05)},
                                    {u"Lumen"_qs, QRectF(0.4, 0.3, 0.1, 0.05)}};
        const ScreenshotText text(u"Invoice Café ٢٠٢٤\nفاتورة\n2024-118 Lumen"_qs, words);
        QList<QRectF> boxes;
        for (int index : expected)
            boxes.append(words.at(index).box);
        QCOMPARE(text.matchingWordBoxes(query), boxes);
    }

    void jsonRoundTripAndDamageLosesOnlyTheWord()
    {
        // Trimmed as read; no words, no member for them.
        const ScreenshotText plain(u"\r\n\u00A0Hello\n\nWorld\t\u2029"_qs);
        QCOMPARE(plain.text(), u"Hello\n\nWorld"_qs);
        QCOMPARE(plain.normalized(), u"hello world"_qs);
        QCOMPARE(plain.toJson(), (QJsonObject{{u"text"_qs, u"Hello\n\nWorld"_qs}}));
        QCOMPARE(ScreenshotText::fromJson(plain.toJson()), std::optional(plain));
        const QList<TextWord> words{{u"Receipt"_qs, QRectF(0.125, 0.0625, 0.25, 0.03125)},
                                    {u"مرحبا"_qs, QRectF(0.5, 0.5, 0.2, 0.1)}};
        const ScreenshotText value(u"Receipt\nمرحبا"_qs, words);
        QCOMPARE(value.words(), words);
        QCOMPARE(ScreenshotText::fromJson(value.toJson()), std::optional(value));
        // Boxes keep five decimals: a twentieth of a pixel on an 8K image.
        const ScreenshotText fine(u"x"_qs, {{u"x"_qs, QRectF(1.0 / 3, 0.2, 0.1, 0.1)}});
        QVERIFY(std::abs(ScreenshotText::fromJson(fine.toJson())->word(0).box.x() - 1.0 / 3) < 1e-5);

        // Written before words were kept: the text loads as it is, without words.
        const auto old = ScreenshotText::fromJson(QJsonObject{{u"text"_qs, u"Receipt"_qs}});
        QVERIFY(old);
        QCOMPARE(old->text(), u"Receipt"_qs);
        QCOMPARE(old->wordCount(), 0);

        // Damaged words are left out one by one; the text and the sound words stay.
        const QJsonArray damaged{
            QJsonObject{{u"text"_qs, u"good"_qs}, {u"box"_qs, QJsonArray{0.1, 0.1, 0.2, 0.1}}},
            QJsonObject{{u"text"_qs, 5}, {u"box"_qs, QJsonArray{0.1, 0.1, 0.2, 0.1}}},
            QJsonObject{{u"text"_qs, u"short"_qs}, {u"box"_qs, QJsonArray{0.1, 0.1, 0.2}}},
            QJsonObject{{u"text"_qs, u"words"_qs}, {u"box"_qs, QJsonArray{0.1, u"a"_qs, 0.2, 0.1}}},
            QJsonObject{{u"text"_qs, u"outside"_qs}, {u"box"_qs, QJsonArray{1.5, 0.1, 0.2, 0.1}}},
            QJsonObject{{u"text"_qs, u"overhang"_qs}, {u"box"_qs, QJsonArray{0.9, 0.5, 0.3, 0.1}}},
            QJsonObject{{u"text"_qs, u"   "_qs}, {u"box"_qs, QJsonArray{0.1, 0.1, 0.2, 0.1}}},
            u"not an object"_qs};
        const auto loaded =
            ScreenshotText::fromJson(QJsonObject{{u"text"_qs, u"good words"_qs}, {u"words"_qs, damaged}});
        QVERIFY(loaded);
        QCOMPARE(loaded->text(), u"good words"_qs);
        QCOMPARE(loaded->words(), (QList<TextWord>{{u"good"_qs, QRectF(0.1, 0.1, 0.2, 0.1)},
                                                   {u"overhang"_qs, QRectF(0.9, 0.5, 0.1, 0.1)}}));
        const auto notAList =
            ScreenshotText::fromJson(QJsonObject{{u"text"_qs, u"kept"_qs}, {u"words"_qs, u"x"_qs}});
        QVERIFY(notAList && notAList->text() == u"kept"_qs && notAList->wordCount() == 0);
    }
};

QTEST_GUILESS_MAIN(TestScreenshotTextSearch)
#include "tst_screenshottextsearch.moc"
