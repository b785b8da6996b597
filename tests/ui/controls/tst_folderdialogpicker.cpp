// Where the folder dialog opens.
#include "ui/controls/FolderDialogPicker.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestFolderDialogPicker final : public QObject
{
    Q_OBJECT

private slots:
    void opensAtTheStartFolderElseHome_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("exists");
        QTest::newRow("existing") << QStringLiteral("Pictures/Screenshots") << true;
        QTest::newRow("missing") << QStringLiteral("Desktop") << false;
        QTest::newRow("none") << QString() << false;
    }

    void opensAtTheStartFolderElseHome()
    {
        QFETCH(QString, start);
        QFETCH(bool, exists);
        // The working directory is elsewhere, so falling back to it shows.
        QTemporaryDir elsewhere;
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        const QDir home = QDir::home();
        if (exists)
            QVERIFY(home.mkpath(start));

        FolderDialogPicker picker;
        int answers = 0;
        FolderPicker::Request request;
        request.startFolder = start.isEmpty() ? QUrl() : QUrl::fromLocalFile(home.filePath(start));
        picker.chooseFolder(request, [&](std::optional<QString> folder) {
            ++answers;
            QVERIFY(!folder);
        });
        QVERIFY(picker.dialog());
        QCOMPARE(picker.dialog()->directory().absolutePath(),
                 exists ? QDir(home.filePath(start)).absolutePath() : home.absolutePath());
        picker.dialog()->reject();
        QCOMPARE(answers, 1);
    }
};

QTEST_MAIN(TestFolderDialogPicker)
#include "tst_folderdialogpicker.moc"
