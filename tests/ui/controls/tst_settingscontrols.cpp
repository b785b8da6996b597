#include "ui/controls/ElidedLabel.h"
#include "ui/controls/PopupPicker.h"
#include "ui/controls/SegmentedControl.h"
#include "ui/controls/SettingsRow.h"
#include "ui/controls/SettingsSwitch.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

class TestSettingsControls final : public QObject
{
    Q_OBJECT

private slots:
    void segmentedControlKeysAndClicks()
    {
        SegmentedControl control({"Compact", "Standard", "Large"}, "Button size");
        control.show();
        QVERIFY(QTest::qWaitForWindowExposed(&control));
        QSignalSpy activated(&control, &SegmentedControl::activated);

        control.setCurrentIndex(1);
        QCOMPARE(control.currentIndex(), 1);
        QCOMPARE(activated.count(), 0);

        control.segment(2)->click();
        QCOMPARE(control.currentIndex(), 2);
        QCOMPARE(activated.takeFirst().first().toInt(), 2);

        // The arrow keys move the choice, as between radio buttons.
        control.segment(2)->setFocus();
        QTest::keyClick(control.segment(2), Qt::Key_Left);
        QCOMPARE(control.currentIndex(), 1);
        QCOMPARE(activated.takeFirst().first().toInt(), 1);

        // No choice at all is possible, and a later one still takes.
        control.setCurrentIndex(-1);
        QCOMPARE(control.currentIndex(), -1);
        control.setCurrentIndex(0);
        QCOMPARE(control.currentIndex(), 0);
        QCOMPARE(activated.count(), 0);
    }

    void pickerChoosesThroughItsMenu()
    {
        // The palette is given to the window only, as the owner applies an appearance: the
        // picker's menu inherits it.
        QWidget window;
        QPalette dark(QColor(30, 30, 34), QColor(38, 38, 42));
        dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
        window.setPalette(dark);
        PopupPicker &picker = *new PopupPicker({"System", "Light", "Dark"}, "Appearance", &window);
        QCOMPARE(picker.accessibleName(), "Appearance");
        QSignalSpy activated(&picker, &PopupPicker::activated);
        picker.setCurrentIndex(0);
        QCOMPARE(picker.text(), "System");
        // Wide enough for the longest entry whichever shows.
        const int width = picker.sizeHint().width();
        picker.setCurrentIndex(2);
        QCOMPARE(picker.sizeHint().width(), width);
        QCOMPARE(activated.count(), 0);

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        picker.click();
        QTRY_VERIFY(picker.menu()->isVisible());
        QVERIFY(picker.action(2)->isChecked());
        QCOMPARE(picker.menu()->palette().color(QPalette::Window), QColor(38, 38, 42));
        QCOMPARE(picker.menu()->palette().color(QPalette::WindowText), QColor(240, 240, 240));
        picker.menu()->hide();

        picker.action(1)->trigger();
        QCOMPARE(picker.currentIndex(), 1);
        QCOMPARE(picker.text(), "Light");
        QCOMPARE(activated.takeFirst().first().toInt(), 1);
        QVERIFY(!picker.action(2)->isChecked());
        picker.setCurrentIndex(7);
        QCOMPARE(picker.currentIndex(), -1);
        QVERIFY(picker.text().isEmpty());
    }

    void rowClickOperatesAnEnabledActivatorOnly()
    {
        SettingsRow row;
        auto *title = new QLabel("Snap near screen edges", &row);
        auto *control = new SettingsSwitch("Snap near screen edges", &row);
        row.content()->addWidget(title, 1);
        row.content()->addWidget(control);
        row.setActivator(control);
        row.resize(400, 46);
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));
        QSignalSpy clicked(control, &QAbstractButton::clicked);

        QTest::mouseClick(title, Qt::LeftButton);
        QVERIFY(control->isChecked());
        QCOMPARE(clicked.count(), 1);
        QTest::keyClick(control, Qt::Key_Space);
        QVERIFY(!control->isChecked());

        control->setEnabled(false);
        QTest::mouseClick(title, Qt::LeftButton);
        QVERIFY(!control->isChecked());
        QCOMPARE(clicked.count(), 2);
    }

    void elidedLabelKeepsTheWholeText()
    {
        const QString path = QStringLiteral("/home/ada/Pictures/Screenshots/2024/Project Lighthouse");
        ElidedLabel label(11, QFont::Normal, SettingsStyle::Tone::secondary, Qt::ElideMiddle);
        label.setText(path);
        label.resize(label.sizeHint());
        QCOMPARE(label.shownText(), path);

        label.resize(label.sizeHint().width() / 2, label.height());
        const QString shown = label.shownText();
        QVERIFY2(shown.contains(QChar(0x2026)) && shown.startsWith(u'/')
                     && shown.endsWith(QStringLiteral("Lighthouse")),
                 qPrintable(shown));
        QCOMPARE(label.toolTip(), path);
        QCOMPARE(label.accessibleName(), path);
        // It may shrink to nothing; the row decides its width.
        QCOMPARE(label.minimumSizeHint().width(), 0);
    }
};

QTEST_MAIN(TestSettingsControls)
#include "tst_settingscontrols.moc"
