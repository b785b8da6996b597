#include "text/RecognitionLanguages.h"
#include "text/TextRecognitionCapabilities.h"

#include <QtTest>

using Variables = QList<std::pair<QString, QString>>;

class TestRecognitionLanguages final : public QObject
{
    Q_OBJECT

private slots:
    void userLanguages_data()
    {
        QTest::addColumn<Variables>("environment");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("LANG alone") << Variables{{"LANG", "de_DE.UTF-8"}} << QStringList{"deu"};
        QTest::newRow("LC_ALL over LC_MESSAGES over LANG")
            << Variables{{"LANG", "fr_FR.UTF-8"}, {"LC_MESSAGES", "es_ES.UTF-8"}, {"LC_ALL", "ru_RU.UTF-8"}}
            << QStringList{"rus"};
        QTest::newRow("empty LC_ALL is unset") << Variables{{"LC_ALL", ""}, {"LANG", "pl_PL"}} << QStringList{"pol"};
        QTest::newRow("LANGUAGE list, then the locale, each once")
            << Variables{{"LANGUAGE", "uk:ru::de"}, {"LANG", "ru_UA.UTF-8"}} << QStringList{"ukr", "rus", "deu"};
        QTest::newRow("English and Arabic add nothing")
            << Variables{{"LANGUAGE", "en_GB:ar:de"}, {"LANG", "ar_EG.UTF-8"}} << QStringList{"deu"};
        QTest::newRow("codeset and modifier") << Variables{{"LANG", "de_AT.ISO-8859-15@euro"}} << QStringList{"deu"};
        QTest::newRow("Serbian by its modifier") << Variables{{"LANGUAGE", "sr@latin:sr"}, {"LANG", "sr_RS.UTF-8@latin"}}
                                                 << QStringList{"srp_latn", "srp"};
        QTest::newRow("Chinese by territory")
            << Variables{{"LANGUAGE", "zh_TW:zh_HK:zh_SG:zh"}, {"LANG", "zh_CN.UTF-8"}} << QStringList{"chi_tra", "chi_sim"};
        QTest::newRow("plain Chinese is simplified") << Variables{{"LANG", "zh.GB18030"}} << QStringList{"chi_sim"};
        QTest::newRow("Norwegian either way") << Variables{{"LANGUAGE", "nn_NO:nb"}, {"LANG", "nb_NO.UTF-8"}}
                                              << QStringList{"nor"};
        QTest::newRow("unknown") << Variables{{"LANGUAGE", "tlh:x"}, {"LANG", "eo_XX.UTF-8"}} << QStringList{};
        QTest::newRow("nothing set") << Variables{} << QStringList{};
        QTest::newRow("C locale overrides LANG and LANGUAGE")
            << Variables{{"LANGUAGE", "de"}, {"LC_ALL", "C"}, {"LANG", "de_DE.UTF-8"}} << QStringList{};
        QTest::newRow("C.UTF-8") << Variables{{"LANG", "C.UTF-8"}} << QStringList{};
        QTest::newRow("POSIX") << Variables{{"LC_MESSAGES", "POSIX"}, {"LANG", "ja_JP.UTF-8"}} << QStringList{};
    }

    void userLanguages()
    {
        QFETCH(Variables, environment);
        QFETCH(QStringList, codes);
        QProcessEnvironment variables;
        for (const auto &[name, value] : environment)
            variables.insert(name, value);
        QStringList found;
        for (const RecognitionLanguage &language : RecognitionLanguages::ofUser(variables))
            found.append(language.code);
        QCOMPARE(found, codes);
    }

    void settingsLine_data()
    {
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<QStringList>("missing");
        QTest::addColumn<QString>("expected");
        const QStringList both{"en-US", "ar-SA"};
        QTest::newRow("English and Arabic, as always")
            << both << QStringList{} << QStringLiteral(u"English & Arabic \u00B7 On this computer");
        QTest::newRow("English alone, as always")
            << QStringList{"en-US"} << QStringList{}
            << QStringLiteral(u"English \u00B7 Arabic recognition isn\u2019t installed on this system");
        QTest::newRow("German too") << both + QStringList{"de"} << QStringList{}
                                    << QStringLiteral(u"English, Arabic & German \u00B7 On this computer");
        QTest::newRow("German and Russian") << both + QStringList{"de", "ru"} << QStringList{}
                                            << QStringLiteral(u"English, Arabic, German & Russian \u00B7 On this computer");
        QTest::newRow("German missing") << both << QStringList{"de"}
                                        << QStringLiteral(u"English & Arabic \u00B7 On this computer \u00B7 To read "
                                                          u"German too, install tesseract-ocr-deu");
        QTest::newRow("Russian read, Chinese missing, Arabic not installed")
            << QStringList{"en-US", "ru"} << QStringList{"zh-Hant", "uk"}
            << QStringLiteral(u"English & Russian \u00B7 Arabic recognition isn\u2019t installed on this system \u00B7 "
                              u"To read Chinese (Traditional) & Ukrainian too, install tesseract-ocr-chi-tra "
                              u"tesseract-ocr-ukr");
    }

    void settingsLine()
    {
        QFETCH(QStringList, languages);
        QFETCH(QStringList, missing);
        QFETCH(QString, expected);
        QCOMPARE((TextRecognitionCapabilities{languages, QStringLiteral("id"), missing}.description()), expected);
    }
};

QTEST_GUILESS_MAIN(TestRecognitionLanguages)
#include "tst_recognitionlanguages.moc"
