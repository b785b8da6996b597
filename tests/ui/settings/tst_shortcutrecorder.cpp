#include "ui/settings/ShortcutRecorder.h"

#include <QApplication>
#include <QLineEdit>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

class TestShortcutRecorder final : public QObject
{
    Q_OBJECT

private slots:
    void records_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("held");
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<QString>("label");
        const auto row = [](const char *name, int key, Qt::KeyboardModifiers held, quint32 keyCode,
                            quint32 modifiers, const char *label) {
            QTest::newRow(name) << key << held << keyCode << modifiers << QString::fromUtf8(label);
        };
        const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, super = Qt::MetaModifier;
        row("three modifiers", Qt::Key_K, ctrl | Qt::AltModifier | Qt::ShiftModifier, 40, 0x1a00, "Ctrl+Alt+Shift+K");
        row("Super+Space", Qt::Key_Space, super, 49, 0x100, "Super+Space");
        row("Ctrl+Left", Qt::Key_Left, ctrl, 123, 0x1000, "Ctrl+Left");
        // Tab without Ctrl or Alt would otherwise move the focus on.
        row("Super+Tab", Qt::Key_Tab, super, 48, 0x100, "Super+Tab");
        row("no characters", Qt::Key_F5, ctrl, 96, 0x1000, "Ctrl+Key 96");
    }

    void records()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, held);
        RecorderButton button;
        QCOMPARE(button.accessibleName(), "Record global shortcut");
        QSignalSpy recorded(&button, &RecorderButton::recorded);

        button.click();
        QVERIFY(button.recording());
        QCOMPARE(button.text(), "Press shortcut…");
        // Modifier keys on their own are not a shortcut.
        QTest::keyClick(&button, Qt::Key_Control, Qt::ControlModifier);
        QTest::keyClick(&button, Qt::Key(key), held);

        QCOMPARE(recorded.count(), 1);
        const auto shortcut = recorded.first().first().value<Shortcut>();
        QTEST(shortcut.keyCode, "keyCode");
        QTEST(shortcut.modifiers, "modifiers");
        QTEST(shortcut.label(), "label");
        QVERIFY(!button.recording());
        QCOMPARE(button.text(), "Ctrl+Shift+G");
        button.setShortcut(shortcut);
        QTEST(button.text(), "label");
    }

    void needsCtrlAltOrSuperAndEscapeCancels()
    {
        RecorderButton button;
        QSignalSpy recorded(&button, &RecorderButton::recorded);
        button.startRecording();
        QTest::keyClick(&button, Qt::Key_A, Qt::ShiftModifier);
        QCOMPARE(button.text(), "Add Ctrl, Alt or Super");
        QVERIFY(button.recording());
        // A shortcut stored meanwhile shows only once the recording ends.
        button.setShortcut(Shortcut{VirtualKey::K, VirtualKey::controlModifier, QStringLiteral("K")});
        QCOMPARE(button.text(), "Add Ctrl, Alt or Super");
        QTest::keyClick(&button, Qt::Key_Escape, Qt::ControlModifier);
        QVERIFY(!button.recording());
        QCOMPARE(button.text(), "Ctrl+K");
        QCOMPARE(recorded.count(), 0);
    }

    void takesApplicationShortcutsAndCancelsOnFocusLoss()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *button = new RecorderButton;
        auto *field = new QLineEdit;
        layout->addWidget(button);
        layout->addWidget(field);
        QShortcut appShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), &window);
        QSignalSpy triggered(&appShortcut, &QShortcut::activated);
        QSignalSpy recorded(button, &RecorderButton::recorded);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        const auto pressCtrlK = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier); };
        button->startRecording();
        QCOMPARE(QApplication::focusWidget(), button);
        pressCtrlK();
        QCOMPARE(recorded.count(), 1);
        QCOMPARE(triggered.count(), 0);

        button->startRecording();
        field->setFocus();
        QVERIFY(!button->recording());
        QCOMPARE(button->text(), "Ctrl+Shift+G");
        pressCtrlK();
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(recorded.count(), 1);
    }
};

QTEST_MAIN(TestShortcutRecorder)
#include "tst_shortcutrecorder.moc"
