#include "core/VirtualKey.h"
#include "settings/Shortcut.h"

#include <QKeyEvent>
#include <QTest>

class TestShortcut final : public QObject
{
    Q_OBJECT

private slots:
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

QTEST_MAIN(TestShortcut)
#include "tst_shortcut.moc"
