#include "core/VirtualKey.h"
#include "settings/FloatingPosition.h"
#include "settings/Shortcut.h"

#include <QKeyEvent>
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

    void label()
    {
        const quint32 all = VirtualKey::superModifier | VirtualKey::shiftModifier | VirtualKey::altModifier
            | VirtualKey::controlModifier;
        QCOMPARE((Shortcut{VirtualKey::K, all, QStringLiteral("K")}.label()), "Ctrl+Alt+Shift+Super+K");
    }

    // Every code of the table comes back from its Qt key and from its keysym: no two keys
    // share either.
    void keyTableIsOneToOne()
    {
        int keys = 0;
        for (quint32 code = 0; code < 128; ++code) {
            const auto qtKey = VirtualKey::qtKey(code);
            const auto keysym = VirtualKey::keysym(code);
            QCOMPARE(qtKey.has_value(), keysym.has_value());
            if (!qtKey)
                continue;
            ++keys;
            QCOMPARE(VirtualKey::fromQtKey(*qtKey), code);
            QCOMPARE(VirtualKey::fromKeysym(*keysym), code);
        }
        QVERIFY(keys > 0);
        QCOMPARE(VirtualKey::keysym(VirtualKey::Up), 0xff52u);
        QCOMPARE(VirtualKey::fromQtKey(Qt::Key_Backtab), VirtualKey::Tab);
    }

    // Against the default, Ctrl+Shift+G. Events with a keysym also carry a scan code, as
    // native ones do; without an X server only the keysym counts.
    void matches_data()
    {
        QTest::addColumn<QEvent::Type>("type");
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("held");
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<bool>("matches");
        const auto ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
        const auto row = [](const char *name, QEvent::Type type, int key, Qt::KeyboardModifiers held,
                            quint32 keysym, bool matches) {
            QTest::newRow(name) << type << key << held << keysym << matches;
        };
        row("press", QEvent::KeyPress, Qt::Key_G, ctrlShift, 0, true);
        row("release", QEvent::KeyRelease, Qt::Key_G, ctrlShift, 0, false);
        row("extra Alt", QEvent::KeyPress, Qt::Key_G, ctrlShift | Qt::AltModifier, 0, false);
        row("extra Super", QEvent::KeyPress, Qt::Key_G, ctrlShift | Qt::MetaModifier, 0, false);
        row("no Shift", QEvent::KeyPress, Qt::Key_G, Qt::ControlModifier, 0, false);
        row("keypad flag", QEvent::KeyPress, Qt::Key_G, ctrlShift | Qt::KeypadModifier, 0, true);
        row("other key", QEvent::KeyPress, Qt::Key_H, ctrlShift, 0, false);
        // Shift types "G"; with Caps Lock on as well, "g".
        row("keysym G", QEvent::KeyPress, Qt::Key_G, ctrlShift, 'G', true);
        row("keysym g", QEvent::KeyPress, Qt::Key_G, ctrlShift, 'g', true);
        row("keysym h", QEvent::KeyPress, Qt::Key_G, ctrlShift, 'h', false);
    }

    void matches()
    {
        QFETCH(QEvent::Type, type);
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, held);
        QFETCH(quint32, keysym);
        const QKeyEvent event(type, key, held, keysym ? 42 : 0, keysym, 0);
        QTEST(Shortcut().matches(event), "matches");
    }
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
