#include "settings/FloatingButtonSize.h"
#include "settings/FloatingPosition.h"
#include "settings/Shortcut.h"

#include <QTest>

#include <limits>

class TestRecords final : public QObject
{
    Q_OBJECT

private slots:
    void buttonSizes_data()
    {
        QTest::addColumn<FloatingButtonSize>("size");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("side");
        QTest::newRow("compact") << FloatingButtonSize::compact << "compact" << "Compact" << 48;
        QTest::newRow("standard") << FloatingButtonSize::standard << "standard" << "Standard" << 56;
        QTest::newRow("large") << FloatingButtonSize::large << "large" << "Large" << 68;
    }

    void buttonSizes()
    {
        QFETCH(FloatingButtonSize, size);
        QFETCH(QString, raw);
        QFETCH(QString, title);
        QFETCH(int, side);
        QCOMPARE(rawValue(size), raw);
        QCOMPARE(::title(size), title);
        QCOMPARE(::side(size), side);
        QCOMPARE(floatingButtonSizeFromRaw(raw), std::optional<FloatingButtonSize>(size));
    }

    void buttonSizeOrderAndUnknownNames()
    {
        QCOMPARE(allFloatingButtonSizes[0], FloatingButtonSize::compact);
        QCOMPARE(allFloatingButtonSizes[2], FloatingButtonSize::large);
        for (const char *name : {"", "Standard", " standard", "standard ", "huge"})
            QCOMPARE(floatingButtonSizeFromRaw(QString::fromLatin1(name)), std::nullopt);
    }

    void shortcutDefaultAndRoundTrip()
    {
        const Shortcut shortcut;
        QCOMPARE(shortcut.keyCode, 5u);
        QCOMPARE(shortcut.modifiers, 4608u);
        QCOMPARE(shortcut.character, QStringLiteral("G"));
        QCOMPARE(Shortcut::fromJson(shortcut.toJson()), std::optional<Shortcut>(shortcut));

        const Shortcut other{std::numeric_limits<quint32>::max(), 0x100 | 0x800 | 0x200, QStringLiteral("Space")};
        QVERIFY(!(other == shortcut));
        QCOMPARE(Shortcut::fromJson(other.toJson()), std::optional<Shortcut>(other));
    }

    void shortcutDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("complete") << QByteArray(R"({"keyCode": 40, "modifiers": 2816, "character": "K"})") << true;
        QTest::newRow("extra member") << QByteArray(R"({"keyCode": 40, "modifiers": 0, "character": "K", "x": 1})") << true;
        QTest::newRow("whole number as decimal") << QByteArray(R"({"keyCode": 40.0, "modifiers": 0, "character": "K"})") << true;
        QTest::newRow("no key code") << QByteArray(R"({"modifiers": 0, "character": "K"})") << false;
        QTest::newRow("no modifiers") << QByteArray(R"({"keyCode": 40, "character": "K"})") << false;
        QTest::newRow("no character") << QByteArray(R"({"keyCode": 40, "modifiers": 0})") << false;
        QTest::newRow("key code as text") << QByteArray(R"({"keyCode": "40", "modifiers": 0, "character": "K"})") << false;
        QTest::newRow("character as number") << QByteArray(R"({"keyCode": 40, "modifiers": 0, "character": 7})") << false;
        QTest::newRow("negative") << QByteArray(R"({"keyCode": -1, "modifiers": 0, "character": "K"})") << false;
        QTest::newRow("fraction") << QByteArray(R"({"keyCode": 1.5, "modifiers": 0, "character": "K"})") << false;
        QTest::newRow("too large") << QByteArray(R"({"keyCode": 4294967296, "modifiers": 0, "character": "K"})") << false;
        QTest::newRow("array") << QByteArray(R"([40, 0, "K"])") << false;
        QTest::newRow("not json") << QByteArray("keyCode=40") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void shortcutDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QCOMPARE(Shortcut::fromJson(json).has_value(), decodes);
    }

    void positionRoundTrip()
    {
        const FloatingPosition position{QStringLiteral("3F2A-ÄB"), 0.25, 1.0 / 3.0};
        QCOMPARE(FloatingPosition::fromJson(*position.toJson()), std::optional<FloatingPosition>(position));
        // Out-of-range fractions are stored as they are; placement clamps them.
        const FloatingPosition outside{QString(), -0.5, 7.0};
        QCOMPARE(FloatingPosition::fromJson(*outside.toJson()), std::optional<FloatingPosition>(outside));
    }

    void positionWithoutJsonForm()
    {
        QCOMPARE((FloatingPosition{QStringLiteral("d"), std::numeric_limits<double>::quiet_NaN(), 0.5}.toJson()),
                 std::nullopt);
        QCOMPARE((FloatingPosition{QStringLiteral("d"), 0.5, std::numeric_limits<double>::infinity()}.toJson()),
                 std::nullopt);
    }

    void positionDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("complete") << QByteArray(R"({"displayID": "A", "horizontal": 0.5, "vertical": 1})") << true;
        QTest::newRow("no display") << QByteArray(R"({"horizontal": 0.5, "vertical": 1})") << false;
        QTest::newRow("no horizontal") << QByteArray(R"({"displayID": "A", "vertical": 1})") << false;
        QTest::newRow("no vertical") << QByteArray(R"({"displayID": "A", "horizontal": 0.5})") << false;
        QTest::newRow("display as number") << QByteArray(R"({"displayID": 1, "horizontal": 0.5, "vertical": 1})") << false;
        QTest::newRow("fraction as text") << QByteArray(R"({"displayID": "A", "horizontal": "0.5", "vertical": 1})") << false;
        QTest::newRow("null fraction") << QByteArray(R"({"displayID": "A", "horizontal": null, "vertical": 1})") << false;
        QTest::newRow("not json") << QByteArray("{") << false;
    }

    void positionDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QCOMPARE(FloatingPosition::fromJson(json).has_value(), decodes);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
