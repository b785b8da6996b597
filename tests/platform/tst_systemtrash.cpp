#include "platform/SystemTrash.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
           && file.write(bytes) == bytes.size();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Contents that differ with `seed`, binary enough to show any conversion.
QByteArray contents(int seed) { return QByteArray::number(seed) + QByteArray("\0\r\n\xff\xfe", 5); }

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestSystemTrash final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_savedCurrent;
    SystemTrash m_trash;

    QString home() const { return m_dir->filePath(QStringLiteral("home")); }
    QString dataHome() const { return home() + QStringLiteral("/.local/share"); }
    QString trashFiles() const { return dataHome() + QStringLiteral("/Trash/files"); }
    QString picture(const QString &name) const { return home() + QStringLiteral("/Pictures/") + name; }
    // The current directory: where a misdirected trash would land.
    QString workFolder() const { return m_dir->filePath(QStringLiteral("work")); }
    QStringList trashEntries() const { return entries(trashFiles()) + entries(dataHome() + QStringLiteral("/Trash/info")); }

private slots:
    void init()
    {
        // Home, data folder and pictures share one file system, so the home trash is used, and
        // never the real user's Trash even when run outside the test script.
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkpath(home() + QStringLiteral("/Pictures")) && QDir().mkpath(workFolder()));
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        m_savedCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workFolder()));
    }

    void cleanup() { QDir::setCurrent(m_savedCurrent); }

    void trashThenRestore_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("occupant"); // what sits at the former path meanwhile
        QTest::newRow("plain") << QStringLiteral("Screenshot 2024-05-01 at 10.00.00.png") << QString();
        QTest::newRow("non-ASCII, percent, hash") << QStringLiteral("Capture d’écran – ٱلعربية 50%#1.png") << QString();
        for (const char *occupant : {"file", "folder", "link"})
            QTest::addRow("occupied by %s", occupant) << QStringLiteral("shot.png") << QString::fromLatin1(occupant);
    }

    void trashThenRestore()
    {
        QFETCH(QString, name);
        QFETCH(QString, occupant);
        const QString original = picture(name);
        const QStringList entriesWhileTrashed{name, name + QStringLiteral(".trashinfo")};
        QVERIFY(write(original, contents(1)));
        const Trash::MoveResult moved = m_trash.moveToTrash(original);
        QCOMPARE(moved, Trash::MoveResult::movedTo(trashFiles() + u'/' + name));
        QVERIFY(!m_trash.exists(original));
        QCOMPARE(trashEntries(), entriesWhileTrashed);
        if (!occupant.isEmpty()) {
            if (occupant == QLatin1String("file"))
                QVERIFY(write(original, contents(2)));
            else if (occupant == QLatin1String("folder"))
                QVERIFY(QDir().mkdir(original));
            else
                QCOMPARE(::symlink("nowhere.png", QFile::encodeName(original).constData()), 0);
            QVERIFY(m_trash.exists(original));
            // Restoring never replaces: both stay as they are.
            QVERIFY(!m_trash.restore(*moved.trashedPath, original));
            QCOMPARE(readAll(*moved.trashedPath), contents(1));
            QCOMPARE(trashEntries(), entriesWhileTrashed);
            QCOMPARE(QFileInfo(original).isSymLink(), occupant == QLatin1String("link"));
            QCOMPARE(QFileInfo(original).isDir(), occupant == QLatin1String("folder"));
            QCOMPARE(readAll(original), occupant == QLatin1String("file") ? contents(2) : QByteArray());
            // Once the path is free again, the same restore succeeds.
            QVERIFY(QDir().rmdir(original) || QFile::remove(original));
        }
        QVERIFY(m_trash.restore(*moved.trashedPath, original));
        QCOMPARE(readAll(original), contents(1));
        QCOMPARE(trashEntries(), QStringList());
    }

    void dataFolderNeverMisdirectsTheTrash_data()
    {
        QTest::addColumn<QString>("dataFolder"); // in the temporary directory; empty: variable unset
        QTest::addColumn<bool>("moves");
        QTest::newRow("unset") << QString() << true;
        QTest::newRow("missing") << QStringLiteral("new/data") << true;
        // Qt would trash into the current directory, which must be undone.
        QTest::newRow("under a plain file") << QStringLiteral("blocker/share") << false;
    }

    void dataFolderNeverMisdirectsTheTrash()
    {
        QFETCH(QString, dataFolder);
        QFETCH(bool, moves);
        QVERIFY(write(m_dir->filePath(QStringLiteral("blocker")), "not a folder"));
        const QString expectedData = dataFolder.isEmpty() ? dataHome() : m_dir->filePath(dataFolder);
        if (dataFolder.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", QFile::encodeName(expectedData));
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), expectedData);
        const QString original = picture(QStringLiteral("shot.png"));
        QVERIFY(write(original, contents(6)));
        if (!moves)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("trash directory")));
        QCOMPARE(m_trash.moveToTrash(original),
                 moves ? Trash::MoveResult::movedTo(expectedData + QStringLiteral("/Trash/files/shot.png"))
                       : Trash::MoveResult::failed());
        QCOMPARE(readAll(original), moves ? QByteArray() : contents(6));
        QCOMPARE(entries(workFolder()), QStringList());
    }

    void restoreRemovesOnlyItsOwnInfo()
    {
        // A mount's .Trash-<uid> keeps "files" and "info" side by side.
        const QString trash = m_dir->filePath(QStringLiteral("mnt/.Trash-%1").arg(::getuid()));
        const QString trashed = trash + QStringLiteral("/files/b.png-0002");
        const QString info = trash + QStringLiteral("/info/b.png-0002.trashinfo");
        const QString other = trash + QStringLiteral("/info/b.png.trashinfo");
        QVERIFY(write(trashed, contents(8)) && write(info, "[Trash Info]\nPath=b.png\n") && write(other, "keep"));
        QVERIFY(m_trash.restore(trashed, picture(QStringLiteral("b.png"))));
        QCOMPARE(readAll(picture(QStringLiteral("b.png"))), contents(8));
        QVERIFY(!QFileInfo::exists(info) && QFileInfo::exists(other));
        // A file outside any trash leaves a look-alike "info" folder next to it alone.
        const QString loose = m_dir->filePath(QStringLiteral("loose/"));
        QVERIFY(write(loose + "c.png", contents(9)) && write(loose + "info/c.png.trashinfo", "keep"));
        QVERIFY(m_trash.restore(loose + "c.png", picture(QStringLiteral("c.png"))));
        QVERIFY(QFileInfo::exists(loose + "info/c.png.trashinfo"));
    }
};

QTEST_GUILESS_MAIN(TestSystemTrash)
#include "tst_systemtrash.moc"
