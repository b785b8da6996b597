#include "platform/SystemTrash.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray sha256(const QString &path)
{
    return QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha256);
}

// A small picture whose bytes differ with `seed`.
QByteArray pngBytes(int seed)
{
    QImage image(64, 48, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(4 + seed % 30, 4, 20, 20, QColor::fromHsv(seed * 37 % 360, 200, 200));
    painter.end();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

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
    QString trashInfo() const { return dataHome() + QStringLiteral("/Trash/info"); }
    QString pictures() const { return home() + QStringLiteral("/Pictures"); }
    QString picture(const QString &name) const { return pictures() + u'/' + name; }
    // A scratch current directory: the place a misdirected trash would land in.
    QString workFolder() const { return m_dir->filePath(QStringLiteral("work")); }

private slots:
    void init()
    {
        // Home, data folder and pictures share one file system, so the home trash is used, and
        // never the real user's Trash even when run outside the test script.
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkpath(pictures()));
        QVERIFY(QDir().mkpath(workFolder()));
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        m_savedCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workFolder()));
    }

    void cleanup()
    {
        QDir::setCurrent(m_savedCurrent);
        m_dir.reset();
    }

    void trashThenRestoreKeepsBytesAndEmptiesTrash_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("Screenshot 2024-05-01 at 10.00.00.png");
        QTest::newRow("non-ASCII") << QStringLiteral("Capture d’écran – ٱلعربية.png");
        QTest::newRow("percent and hash") << QStringLiteral("50%#1.png");
        QTest::newRow("hidden") << QStringLiteral(".shot.png");
    }

    void trashThenRestoreKeepsBytesAndEmptiesTrash()
    {
        QFETCH(QString, name);
        const QString original = picture(name);
        QVERIFY(writeAll(original, pngBytes(1)));
        const QByteArray hash = sha256(original);

        const Trash::MoveResult moved = m_trash.moveToTrash(original);
        QVERIFY(moved.succeeded);
        QVERIFY(moved.trashedPath);
        QCOMPARE(*moved.trashedPath, trashFiles() + u'/' + name);
        QVERIFY(!m_trash.exists(original));
        QCOMPARE(sha256(*moved.trashedPath), hash);
        QVERIFY(QFileInfo::exists(trashInfo() + u'/' + name + QStringLiteral(".trashinfo")));

        QVERIFY(m_trash.restore(*moved.trashedPath, original));
        QCOMPARE(sha256(original), hash);
        QCOMPARE(entries(trashFiles()), QStringList());
        QCOMPARE(entries(trashInfo()), QStringList());
    }

    void restoreNeverReplaces_data()
    {
        QTest::addColumn<QString>("occupant"); // what sits at the former path meanwhile
        QTest::newRow("file") << QStringLiteral("file");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("dangling link") << QStringLiteral("link");
    }

    void restoreNeverReplaces()
    {
        QFETCH(QString, occupant);
        const QString original = picture(QStringLiteral("shot.png"));
        QVERIFY(writeAll(original, pngBytes(2)));
        const QByteArray hash = sha256(original);
        const Trash::MoveResult moved = m_trash.moveToTrash(original);
        QVERIFY(moved.trashedPath);

        const QByteArray newcomer = pngBytes(3);
        if (occupant == QLatin1String("file"))
            QVERIFY(writeAll(original, newcomer));
        else if (occupant == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(original));
        else
            QVERIFY(::symlink("nowhere.png", QFile::encodeName(original).constData()) == 0);
        QVERIFY(m_trash.exists(original));

        QVERIFY(!m_trash.restore(*moved.trashedPath, original));
        QCOMPARE(sha256(*moved.trashedPath), hash);
        QVERIFY(QFile::exists(trashInfo() + QStringLiteral("/shot.png.trashinfo")));
        if (occupant == QLatin1String("file"))
            QCOMPARE(readAll(original), newcomer);
        else if (occupant == QLatin1String("folder"))
            QVERIFY(QFileInfo(original).isDir());
        else
            QVERIFY(QFileInfo(original).isSymLink());

        // Once the path is free again, the same restore succeeds.
        QVERIFY(QDir().rmdir(original) || QFile::remove(original));
        QVERIFY(!m_trash.exists(original));
        QVERIFY(m_trash.restore(*moved.trashedPath, original));
        QCOMPARE(sha256(original), hash);
        QCOMPARE(entries(trashFiles()), QStringList());
        QCOMPARE(entries(trashInfo()), QStringList());
    }

    void nameClashGetsSuffixAndRestoresItsOwnEntry()
    {
        const QString original = picture(QStringLiteral("a.png"));
        QVERIFY(writeAll(original, pngBytes(4)));
        const Trash::MoveResult first = m_trash.moveToTrash(original);
        QVERIFY(writeAll(original, pngBytes(5)));
        const QByteArray secondHash = sha256(original);
        const Trash::MoveResult second = m_trash.moveToTrash(original);

        QVERIFY(first.trashedPath && second.trashedPath);
        QCOMPARE(*first.trashedPath, trashFiles() + QStringLiteral("/a.png"));
        QCOMPARE(*second.trashedPath, trashFiles() + QStringLiteral("/a.png-0001"));

        QVERIFY(m_trash.restore(*second.trashedPath, original));
        QCOMPARE(sha256(original), secondHash);
        QCOMPARE(entries(trashFiles()), QStringList{QStringLiteral("a.png")});
        QCOMPARE(entries(trashInfo()), QStringList{QStringLiteral("a.png.trashinfo")});
    }

    void missingDataFolderIsCreated_data()
    {
        QTest::addColumn<bool>("unset"); // else XDG_DATA_HOME names a folder that does not exist
        QTest::newRow("unset") << true;
        QTest::newRow("missing") << false;
    }

    void missingDataFolderIsCreated()
    {
        QFETCH(bool, unset);
        const QString expectedData = unset ? dataHome() : m_dir->filePath(QStringLiteral("new/data"));
        if (unset)
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", QFile::encodeName(expectedData));
        QVERIFY(!QFileInfo::exists(expectedData));
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), expectedData);

        const QString original = picture(QStringLiteral("shot.png"));
        QVERIFY(writeAll(original, pngBytes(6)));
        const Trash::MoveResult moved = m_trash.moveToTrash(original);

        QCOMPARE(moved, Trash::MoveResult::movedTo(expectedData + QStringLiteral("/Trash/files/shot.png")));
        QCOMPARE(entries(workFolder()), QStringList());
    }

    void unusableDataFolderLeavesFileInPlace()
    {
        // The data folder cannot exist under a plain file: Qt would trash into the current
        // directory, which must be undone.
        const QString blocker = m_dir->filePath(QStringLiteral("blocker"));
        QVERIFY(writeAll(blocker, "not a folder"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(blocker + QStringLiteral("/share")));
        const QString original = picture(QStringLiteral("shot.png"));
        QVERIFY(writeAll(original, pngBytes(7)));
        const QByteArray hash = sha256(original);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("trash directory")));
        QCOMPARE(m_trash.moveToTrash(original), Trash::MoveResult::failed());
        QCOMPARE(sha256(original), hash);
        QCOMPARE(entries(workFolder()), QStringList());
    }

    void restoreFromMountTrashRemovesItsInfo()
    {
        // The layout of <mount>/.Trash-<uid>: "files" and "info" side by side.
        const QString trash = m_dir->filePath(QStringLiteral("mnt/.Trash-%1").arg(::getuid()));
        QVERIFY(QDir().mkpath(trash + QStringLiteral("/files")));
        QVERIFY(QDir().mkpath(trash + QStringLiteral("/info")));
        const QString trashed = trash + QStringLiteral("/files/b.png-0002");
        const QString info = trash + QStringLiteral("/info/b.png-0002.trashinfo");
        const QString other = trash + QStringLiteral("/info/b.png.trashinfo");
        QVERIFY(writeAll(trashed, pngBytes(8)));
        QVERIFY(writeAll(info, "[Trash Info]\nPath=b.png\n"));
        QVERIFY(writeAll(other, "[Trash Info]\nPath=b.png\n"));
        const QByteArray hash = sha256(trashed);

        QVERIFY(m_trash.restore(trashed, picture(QStringLiteral("b.png"))));
        QCOMPARE(sha256(picture(QStringLiteral("b.png"))), hash);
        QVERIFY(!QFileInfo::exists(info));
        QVERIFY(QFileInfo::exists(other));
    }

    void restoreOutsideTrashTouchesNoInfo()
    {
        const QString folder = m_dir->filePath(QStringLiteral("loose"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/info")));
        QVERIFY(writeAll(folder + QStringLiteral("/c.png"), pngBytes(9)));
        QVERIFY(writeAll(folder + QStringLiteral("/info/c.png.trashinfo"), "keep"));

        QVERIFY(m_trash.restore(folder + QStringLiteral("/c.png"), picture(QStringLiteral("c.png"))));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/info/c.png.trashinfo")));
        QVERIFY(!m_trash.restore(QStringLiteral("relative.png"), picture(QStringLiteral("d.png"))));
    }
};

QTEST_GUILESS_MAIN(TestSystemTrash)
#include "tst_systemtrash.moc"
