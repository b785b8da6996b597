#include "TestSupport.h"
#include "platform/freedesktop/SystemTrash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Contents that differ with `seed`, binary enough to show any conversion.
QByteArray contents(int seed) { return QByteArray::number(seed) + QByteArray("\0\r\n\xff\xfe", 5); }

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

const QString uid = QString::number(::getuid());
// Spaces, a percent sign that reads as an escape, a hash and non-ASCII: each comes back wrong
// from a raw Path.
const QString awkwardName = QStringLiteral("Screenshot é%20#.png");
const QByteArray awkwardNameEscaped = "Screenshot%20%C3%A9%2520%23.png";

// A trash entry as any program that follows the freedesktop.org Trash reads it: the
// description beside the "files" folder, its Path percent-decoded and, when relative, taken
// from the folder the trash sits in (the top folder for <top>/.Trash/<uid>).
struct SpecEntry
{
    QByteArray pathValue;
    QString origin;
    QByteArray deletionDate;
};

SpecEntry readEntry(const QString &trashedPath)
{
    const QFileInfo trashed(trashedPath);
    const QDir trash = QFileInfo(trashed.absolutePath()).dir();
    QFile info(trash.filePath(QStringLiteral("info/") + trashed.fileName() + QStringLiteral(".trashinfo")));
    if (!info.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = info.readAll().split('\n');
    if (lines.value(0) != "[Trash Info]")
        return {};
    SpecEntry entry;
    for (const QByteArray &line : lines) {
        if (line.startsWith("Path="))
            entry.pathValue = line.mid(5);
        else if (line.startsWith("DeletionDate="))
            entry.deletionDate = line.mid(13);
    }
    const QString path = QFile::decodeName(QByteArray::fromPercentEncoding(entry.pathValue));
    QDir top = trash;
    top.cdUp();
    if (trash.dirName() == uid && top.dirName() == QLatin1String(".Trash"))
        top.cdUp();
    entry.origin = QDir::isAbsolutePath(path) ? path : top.filePath(path);
    return entry;
}

} // namespace

class TestSystemTrash final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_savedCurrent;
    SystemTrash m_trash;

    QString dir(const QString &relative) const { return m_dir->filePath(relative); }
    QString home() const { return dir(QStringLiteral("home")); }
    QString dataHome() const { return home() + QStringLiteral("/.local/share"); }
    QString trashFiles() const { return dataHome() + QStringLiteral("/Trash/files"); }
    QString picture(const QString &name) const { return home() + QStringLiteral("/Pictures/") + name; }
    // The current directory: where a misdirected trash would land.
    QString workFolder() const { return dir(QStringLiteral("work")); }
    QStringList trashEntries() const { return entries(trashFiles()) + entries(dataHome() + QStringLiteral("/Trash/info")); }
    QByteArray withDir(QByteArray text) const { return text.replace("$DIR", QFile::encodeName(m_dir->path())); }

private slots:
    void initTestCase()
    {
        // Far from UTC, so a deletion time written in UTC shows.
        qputenv("TZ", "XST-05:45");
        ::tzset();
    }

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

    // Awkward names are entriesAsOtherProgramsReadThem's; these rows vary what takes the path meanwhile.
    void trashThenRestore_data()
    {
        QTest::addColumn<QString>("occupant"); // what sits at the former path meanwhile
        QTest::newRow("none") << QString();
        for (const char *occupant : {"file", "folder", "link"})
            QTest::addRow("occupied by %s", occupant) << QString::fromLatin1(occupant);
    }

    void trashThenRestore()
    {
        QFETCH(QString, occupant);
        const QString name = QStringLiteral("shot.png");
        const QString original = picture(name);
        const QStringList entriesWhileTrashed{name, name + QStringLiteral(".trashinfo")};
        QVERIFY(TestSupport::writeFile(original, contents(1)));
        const Trash::MoveResult moved = m_trash.moveToTrash(original);
        QCOMPARE(moved, Trash::MoveResult::movedTo(trashFiles() + u'/' + name));
        QVERIFY(!m_trash.exists(original));
        QCOMPARE(trashEntries(), entriesWhileTrashed);
        QCOMPARE(readEntry(*moved.trashedPath).origin, original);
        if (!occupant.isEmpty()) {
            if (occupant == QLatin1String("file"))
                QVERIFY(TestSupport::writeFile(original, contents(2)));
            else if (occupant == QLatin1String("folder"))
                QVERIFY(QDir().mkdir(original));
            else
                QCOMPARE(::symlink("nowhere.png", QFile::encodeName(original).constData()), 0);
            QVERIFY(m_trash.exists(original));
            // Restoring never replaces: both stay as they are.
            QVERIFY(!m_trash.restore(*moved.trashedPath, original));
            QCOMPARE(TestSupport::readFile(*moved.trashedPath), contents(1));
            QCOMPARE(trashEntries(), entriesWhileTrashed);
            QCOMPARE(QFileInfo(original).isSymLink(), occupant == QLatin1String("link"));
            QCOMPARE(QFileInfo(original).isDir(), occupant == QLatin1String("folder"));
            QCOMPARE(TestSupport::readFile(original), occupant == QLatin1String("file") ? contents(2) : QByteArray());
            // Once the path is free again, the same restore succeeds.
            QVERIFY(QDir().rmdir(original) || QFile::remove(original));
        }
        QVERIFY(m_trash.restore(*moved.trashedPath, original));
        QCOMPARE(TestSupport::readFile(original), contents(1));
        QCOMPARE(trashEntries(), QStringList());
    }

    void entriesAsOtherProgramsReadThem_data()
    {
        QTest::addColumn<QString>("folder"); // where the file sits
        QTest::addColumn<QString>("top");    // the mount's top folder; empty: the home trash
        // <top>/.Trash as a "sticky" or "plain" folder or a "link"; "own link": <top>/.Trash-<uid> is one
        QTest::addColumn<QString>("shared");
        QTest::addColumn<QString>("trash");  // the trash expected; empty: none may be used
        QTest::addColumn<QByteArray>("path"); // the Path value expected
        const QByteArray relative = "Shots%20dir/" + awkwardNameEscaped;
        const QString ownTrash = QStringLiteral("mnt/.Trash-") + uid;
        const auto row = [](const char *name, const char *folder, const char *top, const char *shared,
                            const QString &trash, const QByteArray &path) {
            QTest::newRow(name) << QString::fromLatin1(folder) + QStringLiteral("/Shots dir") << QString::fromLatin1(top)
                                << QString::fromLatin1(shared) << trash << path;
        };
        row("home trash: absolute", "home", "", "", QStringLiteral("home/.local/share/Trash"), "$DIR/home/" + relative);
        row("own mount trash: relative", "mnt", "mnt", "", ownTrash, relative);
        row("shared mount trash: relative", "mnt", "mnt", "sticky", QStringLiteral("mnt/.Trash/") + uid, relative);
        row("shared .Trash without the sticky bit is passed over", "mnt", "mnt", "plain", ownTrash, relative);
        row("shared .Trash as a link is passed over", "mnt", "mnt", "link", ownTrash, relative);
        row("file outside the top folder: absolute", "home", "mnt", "", ownTrash, "$DIR/home/" + relative);
        row("own mount trash as a link is refused", "mnt", "mnt", "own link", QString(), QByteArray());
    }

    void entriesAsOtherProgramsReadThem()
    {
        QFETCH(QString, folder);
        QFETCH(QString, top);
        QFETCH(QString, shared);
        QFETCH(QString, trash);
        QFETCH(QByteArray, path);
        // The expected values take the temporary folder's path as it is, unescaped.
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9/._~-]+$")).match(m_dir->path()).hasMatch());
        const QString original = dir(folder) + u'/' + awkwardName;
        QVERIFY(TestSupport::writeFile(original, contents(3)) && QDir().mkpath(dir(top)));
        const QString elsewhere = dir(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere) && ::chmod(QFile::encodeName(elsewhere).constData(), 01777) == 0);
        const QByteArray sharedPath = QFile::encodeName(dir(top) + QStringLiteral("/.Trash"));
        if (shared == QLatin1String("sticky") || shared == QLatin1String("plain")) {
            QVERIFY(QDir().mkpath(dir(top + QStringLiteral("/.Trash"))));
            QCOMPARE(::chmod(sharedPath.constData(), shared == QLatin1String("sticky") ? 01777 : 0777), 0);
        } else if (shared == QLatin1String("link")) {
            QCOMPARE(::symlink(QFile::encodeName(elsewhere).constData(), sharedPath.constData()), 0);
        } else if (shared == QLatin1String("own link")) {
            QCOMPARE(::symlink(QFile::encodeName(elsewhere).constData(), (sharedPath + '-' + uid.toLatin1()).constData()), 0);
        }

        const QDateTime before = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
        Trash::MoveResult moved = Trash::MoveResult::failed();
        if (top.isEmpty()) {
            moved = m_trash.moveToTrash(original);
        } else {
            const std::optional<SystemTrash::Location> location = SystemTrash::mountTrash(dir(top));
            QCOMPARE(location.has_value(), !trash.isEmpty());
            if (location) {
                QCOMPARE(location->folder, dir(trash));
                moved = SystemTrash::moveInto(original, *location);
            }
        }
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(entries(elsewhere), QStringList());
        if (trash.isEmpty()) {
            QCOMPARE(moved, Trash::MoveResult::failed());
            QCOMPARE(TestSupport::readFile(original), contents(3));
            return;
        }
        QCOMPARE(moved, Trash::MoveResult::movedTo(dir(trash) + QStringLiteral("/files/") + awkwardName));
        QCOMPARE(::access(QFile::encodeName(original).constData(), F_OK), -1);

        const SpecEntry entry = readEntry(*moved.trashedPath);
        QCOMPARE(entry.pathValue, withDir(path));
        QCOMPARE(entry.origin, original);
        // Local time, to the second, in the one format the Trash knows.
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"))
                     .match(QString::fromLatin1(entry.deletionDate)).hasMatch(),
                 entry.deletionDate.constData());
        const QDateTime deleted = QDateTime::fromString(QString::fromLatin1(entry.deletionDate), Qt::ISODate);
        QVERIFY2(before <= deleted && deleted <= after, entry.deletionDate.constData());

        QVERIFY(m_trash.restore(*moved.trashedPath, original));
        QCOMPARE(TestSupport::readFile(original), contents(3));
        QCOMPARE(entries(dir(trash) + QStringLiteral("/files")) + entries(dir(trash) + QStringLiteral("/info")),
                 QStringList());
    }

    // From "<top>/Shots dir", <top> being the trash's first level.
    void restoreReadsEitherForm_data()
    {
        QTest::addColumn<QString>("trash");
        QTest::addColumn<QByteArray>("info"); // its description; empty: none
        QTest::addColumn<bool>("restores");
        const QString home = QStringLiteral("home/.local/share/Trash");
        const QString mount = QStringLiteral("mnt/.Trash-") + uid;
        const QByteArray group = "[Trash Info]\nDeletionDate=2024-05-01T10:00:00\nPath=";
        const QByteArray escaped = "Shots%20dir/" + awkwardNameEscaped;
        const QByteArray raw = "Shots dir/" + awkwardName.toUtf8();
        QTest::newRow("escaped, absolute") << home << group + "$DIR/home/" + escaped << true;
        // Earlier versions wrote the raw path, whose "%20" must not be decoded to a space.
        QTest::newRow("raw, absolute") << home << group + "$DIR/home/" + raw << true;
        QTest::newRow("raw, absolute, in a mount trash") << mount << group + "$DIR/mnt/" + raw << true;
        QTest::newRow("escaped, relative to the mount") << mount << group + escaped << true;
        QTest::newRow("escaped, relative to the mount's shared trash")
            << QStringLiteral("mnt/.Trash/") + uid << group + escaped << true;
        QTest::newRow("no description") << home << QByteArray() << true;
        // The name in the Trash was reused for another file since.
        QTest::newRow("another file's") << home << group + "$DIR/home/Shots%20dir/other.png" << false;
        QTest::newRow("Path outside its group")
            << home << "[Other]\nPath=$DIR/home/" + escaped + "\n[Trash Info]\n" << false;
    }

    void restoreReadsEitherForm()
    {
        QFETCH(QString, trash);
        QFETCH(QByteArray, info);
        QFETCH(bool, restores);
        const QString trashed = dir(trash) + QStringLiteral("/files/") + awkwardName;
        const QString infoPath = dir(trash) + QStringLiteral("/info/") + awkwardName + QStringLiteral(".trashinfo");
        const QString neighbour = dir(trash) + QStringLiteral("/info/b.png.trashinfo");
        const QString folder = dir(trash.section(u'/', 0, 0) + QStringLiteral("/Shots dir"));
        const QString original = folder + u'/' + awkwardName;
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(TestSupport::writeFile(trashed, contents(4)) && TestSupport::writeFile(neighbour, "keep"));
        if (!info.isEmpty())
            QVERIFY(TestSupport::writeFile(infoPath, withDir(info)));
        QCOMPARE(m_trash.restore(trashed, original), restores);
        QCOMPARE(TestSupport::readFile(restores ? original : trashed), contents(4));
        QCOMPARE(QFileInfo::exists(original), restores);
        QCOMPARE(QFileInfo::exists(infoPath), !restores && !info.isEmpty());
        QCOMPARE(TestSupport::readFile(neighbour), QByteArray("keep"));
    }

    void looseFileRestoresWithoutTouchingLookAlikes()
    {
        const QString loose = dir(QStringLiteral("loose/"));
        QVERIFY(TestSupport::writeFile(loose + "c.png", contents(9)) && TestSupport::writeFile(loose + "info/c.png.trashinfo", "keep"));
        QVERIFY(m_trash.restore(loose + "c.png", picture(QStringLiteral("c.png"))));
        QCOMPARE(TestSupport::readFile(picture(QStringLiteral("c.png"))), contents(9));
        QVERIFY(QFileInfo::exists(loose + "info/c.png.trashinfo"));
    }

    void nameClashesGetNamesOfTheirOwn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("taken"); // "files/x" a dangling link, "info/x" a description alone
        QTest::newRow("taken by a dangling link and a claimed name")
            << QStringLiteral("shot.png")
            << QStringList{QStringLiteral("files/shot.png"), QStringLiteral("info/shot.png-0001.trashinfo")};
        // The longest name a file can have: its description's name would be too long.
        QTest::newRow("too long for its description")
            << QStringLiteral("a") + QString((NAME_MAX - 5) / 2, u'é') + QStringLiteral(".png") << QStringList();
    }

    void nameClashesGetNamesOfTheirOwn()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, taken);
        const QString trash = dataHome() + QStringLiteral("/Trash/");
        for (const QString &entry : taken) {
            QVERIFY(QDir().mkpath(trash + QStringLiteral("files")));
            QVERIFY(entry.startsWith(QLatin1String("info/"))
                        ? TestSupport::writeFile(trash + entry, "[Trash Info]\nPath=/elsewhere\n")
                        : ::symlink("nowhere", QFile::encodeName(trash + entry).constData()) == 0);
        }
        const QStringList originals{picture(name), picture(QStringLiteral("a/") + name), picture(QStringLiteral("b/") + name)};
        QStringList trashedPaths;
        for (int i = 0; i < originals.size(); ++i) {
            QVERIFY(TestSupport::writeFile(originals[i], contents(10 + i)));
            const Trash::MoveResult moved = m_trash.moveToTrash(originals[i]);
            QVERIFY(moved.succeeded && moved.trashedPath);
            const QString trashedName = QFileInfo(*moved.trashedPath).fileName();
            QVERIFY(!trashedPaths.contains(*moved.trashedPath));
            QVERIFY(!taken.contains(QStringLiteral("files/") + trashedName));
            QVERIFY(!taken.contains(QStringLiteral("info/") + trashedName + QStringLiteral(".trashinfo")));
            QVERIFY(QFile::encodeName(trashedName + QStringLiteral(".trashinfo")).size() <= NAME_MAX);
            QCOMPARE(readEntry(*moved.trashedPath).origin, originals[i]);
            trashedPaths << *moved.trashedPath;
        }
        for (const QString &entry : taken) // never replaced
            QVERIFY(QFileInfo(trash + entry).isSymLink() || TestSupport::readFile(trash + entry) == "[Trash Info]\nPath=/elsewhere\n");
        for (int i = 0; i < originals.size(); ++i) {
            QVERIFY(m_trash.restore(trashedPaths[i], originals[i]));
            QCOMPARE(TestSupport::readFile(originals[i]), contents(10 + i));
        }
    }

    void dataFolderNeverMisdirectsTheTrash_data()
    {
        QTest::addColumn<QString>("dataFolder"); // in the temporary directory; empty: variable unset
        QTest::addColumn<bool>("moves");
        QTest::newRow("unset") << QString() << true;
        QTest::newRow("missing") << QStringLiteral("new/data") << true;
        QTest::newRow("under a plain file") << QStringLiteral("blocker/share") << false;
    }

    void dataFolderNeverMisdirectsTheTrash()
    {
        QFETCH(QString, dataFolder);
        QFETCH(bool, moves);
        QVERIFY(TestSupport::writeFile(dir(QStringLiteral("blocker")), "not a folder"));
        const QString expectedData = dataFolder.isEmpty() ? dataHome() : dir(dataFolder);
        if (dataFolder.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", QFile::encodeName(expectedData));
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), expectedData);
        const QString original = picture(QStringLiteral("shot.png"));
        QVERIFY(TestSupport::writeFile(original, contents(6)));
        if (!moves)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("trash")));
        QCOMPARE(m_trash.moveToTrash(original),
                 moves ? Trash::MoveResult::movedTo(expectedData + QStringLiteral("/Trash/files/shot.png"))
                       : Trash::MoveResult::failed());
        QCOMPARE(TestSupport::readFile(original), moves ? QByteArray() : contents(6));
        QCOMPARE(entries(workFolder()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSystemTrash)
#include "tst_systemtrash.moc"
