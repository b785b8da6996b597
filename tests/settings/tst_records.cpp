#include "settings/FloatingPosition.h"
#include "settings/Shortcut.h"

#include <QTest>

#include <limits>

class TestRecords final : public QObject
{
    Q_OBJECT

private slots:
    void roundTrips()
    {
        const Shortcut other{std::numeric_limits<quint32>::max(), 0x100 | 0x800 | 0x200, QStringLiteral("Space")};
        QCOMPARE(Shortcut::fromJson(Shortcut().toJson()), std::optional(Shortcut()));
        QCOMPARE(Shortcut::fromJson(other.toJson()), std::optional(other));
        // Out-of-range fractions are stored as they are; placement clamps them.
        for (const FloatingPosition &position : {FloatingPosition{QStringLiteral("3F2A-ÄB"), 0.25, 1.0 / 3.0},
                                                 FloatingPosition{QString(), -0.5, 7.0}})
            QCOMPARE(FloatingPosition::fromJson(*position.toJson()), std::optional(position));
        QCOMPARE((FloatingPosition{QStringLiteral("d"), qQNaN(), 0.5}.toJson()), std::nullopt); // JSON has no NaN
    }

    void decoding_data()
    {
        QTest::addColumn<bool>("position"); // else a shortcut
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        const auto row = [](bool position, const char *name, const char *json, bool decodes) {
            QTest::newRow(name) << position << QByteArray(json) << decodes;
        };
        row(false, "shortcut complete", R"({"keyCode": 40, "modifiers": 2816, "character": "K", "x": 1})", true);
        row(false, "whole number as decimal", R"({"keyCode": 40.0, "modifiers": 0, "character": "K"})", true);
        row(false, "negative", R"({"keyCode": -1, "modifiers": 0, "character": "K"})", false);
        row(false, "fraction", R"({"keyCode": 1.5, "modifiers": 0, "character": "K"})", false);
        row(false, "too large", R"({"keyCode": 4294967296, "modifiers": 0, "character": "K"})", false);
        row(true, "position complete", R"({"displayID": "A", "horizontal": 0.5, "vertical": 1})", true);
        row(true, "fraction as text", R"({"displayID": "A", "horizontal": "0.5", "vertical": 1})", false);
        row(true, "null fraction", R"({"displayID": "A", "horizontal": null, "vertical": 1})", false);
    }

    void decoding()
    {
        QFETCH(bool, position);
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QCOMPARE(position ? FloatingPosition::fromJson(json).has_value() : Shortcut::fromJson(json).has_value(),
                 decodes);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
