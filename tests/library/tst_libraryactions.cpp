#include "LibraryModelHarness.h"

#include "platform/SystemTrash.h"

#include <QBuffer>
#include <QImageReader>
#include <QStorageInfo>

#include <unistd.h>

using namespace harness;

#define CHECK_CONSISTENT(f) QVERIFY2((f).model->isConsistent(), "model invariants broken")

namespace {

// Every toast the model shows, in order (its disappearance is not counted).
struct ToastLog final
{
    explicit ToastLog(LibraryModel &model)
    {
        QObject::connect(&model, &LibraryModel::toastChanged, &model, [this, &model] {
            if (model.toast())
                shown.append(*model.toast());
        });
    }
    QStringList shown;
};

// A connected fixture whose scan and text reading are done.
std::unique_ptr<Fixture> connected(const QStringList &names, Watch watch = Watch::fake)
{
    auto f = std::make_unique<Fixture>(watch);
    for (const QString &name : names)
        f->shot(name);
    f->connectFolder();
    if (!QTest::qWaitFor([&] { return f->model->items().size() == names.size(); }, 10000))
        return nullptr;
    return f->settle() ? std::move(f) : nullptr;
}

QStringList shotNames(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(QStringLiteral("Screenshot %1.png").arg(i, 2, 10, QLatin1Char('0')));
    return names;
}

} // namespace

class TestLibraryActions final : public QObject
{
    Q_OBJECT

private slots:
    void secondCopyIsIgnored();
    void copyPutsPngOnTheClipboard_data();
    void copyPutsPngOnTheClipboard();
    void copyFailures_data();
    void copyFailures();
    void copiedMarkLastsAsLongAsItsToast();
    void pinToastClearsCopiedMark();
    void copyTextWaitsForRecognition();
    void copyTextOutcomes_data();
    void copyTextOutcomes();
    void copyTextOfReplacedFile();
    void copyTextIsCancelledByReconnecting();
    void pinPersists();
    void trashMovesSelection_data();
    void trashMovesSelection();
    void trashAndUndoKeepPin_data();
    void trashAndUndoKeepPin();
    void undoOntoOccupiedPath();
    void trashFailures();
    void copyReplacesTrashToast();
    void sessionKeepsEveryByte();
};

void TestLibraryActions::secondCopyIsIgnored()
{
    auto f = connected({QStringLiteral("Screenshot a.png"), QStringLiteral("Screenshot b.png")});
    QVERIFY(f);
    const Screenshot a = *f->item(QStringLiteral("Screenshot a.png"));
    const Screenshot b = *f->item(QStringLiteral("Screenshot b.png"));
    f->model->copy(a);
    QVERIFY(f->model->isCopying());
    f->model->copy(b);
    QTRY_VERIFY(!f->model->isCopying());
    QCOMPARE(f->clipboard->writeCount, 1);
    QFile file(a.id());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(f->clipboard->image, file.readAll());
    QCOMPARE(f->model->copiedID(), a.id());
    CHECK_CONSISTENT(*f);
}

void TestLibraryActions::copyPutsPngOnTheClipboard_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("exactBytes");
    QTest::newRow("png") << QStringLiteral("Screenshot p.png") << QByteArray("png") << true;
    QTest::newRow("PNG upper case") << QStringLiteral("Screenshot P.PNG") << QByteArray("png") << true;
    QTest::newRow("jpeg") << QStringLiteral("Screenshot j.jpg") << QByteArray("jpg") << false;
    QTest::newRow("jpeg named png") << QStringLiteral("Screenshot x.png") << QByteArray("jpg") << false;
}

void TestLibraryActions::copyPutsPngOnTheClipboard()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(bool, exactBytes);

    Fixture f;
    const QString path = writeShot(f.folder, name, format.constData(), QSize(300, 180));
    QVERIFY(!path.isEmpty());
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 1);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();

    f.model->copy(f.model->items().first());
    QTRY_VERIFY(f.clipboard->image.has_value());
    QCOMPARE(f.model->toast(), QStringLiteral("Copied. Ready to paste."));
    QCOMPARE(f.model->toastStyle(), ToastStyle::success);
    if (exactBytes) {
        QCOMPARE(*f.clipboard->image, original);
    } else {
        QBuffer buffer(&*f.clipboard->image);
        QImageReader reader(&buffer);
        QCOMPARE(reader.format(), QByteArray("png"));
        QCOMPARE(reader.size(), QSize(300, 180));
    }
    QVERIFY(f.settle());
    CHECK_CONSISTENT(f);
}

void TestLibraryActions::copyFailures_data()
{
    QTest::addColumn<bool>("fileGone");
    QTest::addColumn<QString>("message");
    QTest::newRow("file gone") << true << QStringLiteral("Couldn’t copy this image. It may have moved.");
    QTest::newRow("clipboard refuses") << false << QStringLiteral("Couldn’t update the clipboard. Try again.");
}

void TestLibraryActions::copyFailures()
{
    QFETCH(bool, fileGone);
    QFETCH(QString, message);
    auto f = connected({QStringLiteral("Screenshot a.png"), QStringLiteral("Screenshot b.png")});
    QVERIFY(f);
    const Screenshot a = *f->item(QStringLiteral("Screenshot a.png"));
    if (fileGone)
        QVERIFY(QFile::remove(a.id()));
    else
        f->clipboard->accepts = false;

    f->model->copy(a);
    QTRY_COMPARE(f->model->toast(), message);
    QCOMPARE(f->model->toastStyle(), ToastStyle::failure);
    QVERIFY(!f->model->copiedID());
    QVERIFY(!f->clipboard->image);
    if (fileGone) // the rescan that follows drops the vanished file
        QTRY_COMPARE(f->model->items().size(), 1);
    QVERIFY(f->settle());
    CHECK_CONSISTENT(*f);
}

void TestLibraryActions::copiedMarkLastsAsLongAsItsToast()
{
    auto f = connected({QStringLiteral("Screenshot a.png")});
    QVERIFY(f);
    const Screenshot a = f->model->items().first();
    bool markOutlivedToast = false;
    QObject::connect(f->model.get(), &LibraryModel::toastChanged, f->model.get(), [&] {
        // Checked once the expiry has finished its work.
        QTimer::singleShot(0, f->model.get(), [&] {
            if (!f->model->toast() && f->model->copiedID())
                markOutlivedToast = true;
        });
    });
    f->model->copy(a);
    QTRY_COMPARE(f->model->copiedID(), a.id());
    QCOMPARE(f->model->toast(), QStringLiteral("Copied. Ready to paste."));
    QTRY_VERIFY_WITH_TIMEOUT(!f->model->toast(), 10000);
    QVERIFY(!f->model->copiedID());
    QVERIFY(!markOutlivedToast);
    CHECK_CONSISTENT(*f);
}

void TestLibraryActions::pinToastClearsCopiedMark()
{
    auto f = connected({QStringLiteral("Screenshot a.png")});
    QVERIFY(f);
    const Screenshot a = f->model->items().first();
    f->model->copy(a);
    QTRY_COMPARE(f->model->copiedID(), a.id());
    f->model->pin(a);
    QVERIFY(!f->model->copiedID());
    QCOMPARE(f->model->toast(), QStringLiteral("Pinned for later"));
    f->model->pin(a);
    QCOMPARE(f->model->toast(), QStringLiteral("Unpinned"));
    QCOMPARE(f->model->toastStyle(), ToastStyle::success);
    CHECK_CONSISTENT(*f);
}

void TestLibraryActions::copyTextWaitsForRecognition()
{
    Fixture f;
    f.shot(QStringLiteral("Screenshot a.png"));
    f.shot(QStringLiteral("Screenshot b.png"));
    f.recognizer->setText(QStringLiteral("Screenshot b.png"), QStringLiteral("  Line one\nLine TWO  "));
    f.recognizer->hold(QStringLiteral("Screenshot a.png"));
    f.recognizer->hold(QStringLiteral("Screenshot b.png"));
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 2);
    QTRY_VERIFY(f.model->textIndex().isIndexing());

    ToastLog toasts(*f.model);
    f.model->copyText(*f.item(QStringLiteral("Screenshot b.png")));
    QVERIFY(f.model->isCopyingText());
    CHECK_CONSISTENT(f);
    f.model->copyText(*f.item(QStringLiteral("Screenshot a.png"))); // ignored while one waits
    QVERIFY(toasts.shown.isEmpty());

    f.recognizer->release();
    QTRY_VERIFY(!f.model->isCopyingText());
    QVERIFY(f.settle());
    QCOMPARE(toasts.shown, QStringList{QStringLiteral("Text copied. Ready to paste.")});
    // The text as recognised, not its search form.
    QCOMPARE(f.clipboard->text, QStringLiteral("Line one\nLine TWO"));
    QCOMPARE(f.clipboard->writeCount, 1);
    CHECK_CONSISTENT(f);
}

void TestLibraryActions::copyTextOutcomes_data()
{
    QTest::addColumn<QString>("text");     // what recognition finds; "!" fails
    QTest::addColumn<bool>("clipboardAccepts");
    QTest::addColumn<QString>("message");
    QTest::addColumn<ToastStyle>("style");
    QTest::addColumn<bool>("clipboardChanged");

    QTest::newRow("no text") << QString() << true
        << QStringLiteral("No readable text found. Clipboard unchanged.") << ToastStyle::success << false;
    QTest::newRow("recognition failed") << QStringLiteral("!") << true
        << QStringLiteral("Couldn’t read this screenshot’s text. Try again.") << ToastStyle::failure << false;
    QTest::newRow("clipboard refuses") << QStringLiteral("hello") << false
        << QStringLiteral("Couldn’t update the clipboard. Try again.") << ToastStyle::failure << false;
    QTest::newRow("text") << QStringLiteral("hello") << true
        << QStringLiteral("Text copied. Ready to paste.") << ToastStyle::success << true;
}

void TestLibraryActions::copyTextOutcomes()
{
    QFETCH(QString, text);
    QFETCH(bool, clipboardAccepts);
    QFETCH(QString, message);
    QFETCH(ToastStyle, style);
    QFETCH(bool, clipboardChanged);

    Fixture f;
    const QString name = QStringLiteral("Screenshot a.png");
    f.shot(name);
    if (text == QLatin1String("!"))
        f.recognizer->failing.insert(name);
    else
        f.recognizer->setText(name, text);
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 1);
    QVERIFY(f.settle());
    f.clipboard->text = QStringLiteral("what was there before");
    f.clipboard->accepts = clipboardAccepts;

    f.model->copyText(f.model->items().first());
    QTRY_VERIFY(!f.model->isCopyingText());
    QCOMPARE(f.model->toast(), message);
    QCOMPARE(f.model->toastStyle(), style);
    QCOMPARE(f.clipboard->text, clipboardChanged ? text : QStringLiteral("what was there before"));
    QVERIFY(f.settle());
    CHECK_CONSISTENT(f);
}

void TestLibraryActions::copyTextOfReplacedFile()
{
    auto f = connected({QStringLiteral("Screenshot a.png")});
    QVERIFY(f);
    const Screenshot before = f->model->items().first();
    QVERIFY(f->model->textIndex().documents().contains(before.cacheKey()));

    // Replaced after its text was read; the fake watcher stays silent, so the library still
    // holds the old record.
    const QImage other = TestSupport::drawTextImage(QSize(500, 260), {QStringLiteral("new")});
    QVERIFY(TestSupport::writeImage(before.id(), other, "png"));
    QVERIFY(TestSupport::setModificationTime(before.id(), before.modifiedAt().addSecs(5)));
    f->clipboard->text = QStringLiteral("untouched");

    f->model->copyText(before);
    QTRY_VERIFY(!f->model->isCopyingText());
    QCOMPARE(f->model->toast(), QStringLiteral("This screenshot changed. Please try again."));
    QCOMPARE(f->model->toastStyle(), ToastStyle::failure);
    QCOMPARE(f->clipboard->text, QStringLiteral("untouched"));
    // The rescan that follows picks up the new version.
    QTRY_VERIFY(f->model->items().first().cacheKey() != before.cacheKey());
    QVERIFY(f->settle());

    // A record the library no longer holds.
    f->model->copyText(before);
    QCOMPARE(f->model->toast(), QStringLiteral("This screenshot changed or moved. Please try again."));
    QVERIFY(!f->model->isCopyingText());
    CHECK_CONSISTENT(*f);
}

void TestLibraryActions::copyTextIsCancelledByReconnecting()
{
    Fixture f;
    f.shot(QStringLiteral("Screenshot a.png"));
    f.recognizer->hold(QStringLiteral("Screenshot a.png"));
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 1);
    ToastLog toasts(*f.model);
    f.model->copyText(f.model->items().first());
    QVERIFY(f.model->isCopyingText());
    f.connectFolder();
    QVERIFY(!f.model->isCopyingText());
    f.recognizer->release();
    QVERIFY(f.settle());
    QVERIFY(toasts.shown.isEmpty());
    QCOMPARE(f.clipboard->writeCount, 0);
    CHECK_CONSISTENT(f);

    // Disconnected: ignored.
    QVERIFY(QDir(f.folder).removeRecursively());
    f.model->refresh(false);
    QTRY_VERIFY(!f.model->connected());
    f.model->copyText(f.model->items().first());
    QVERIFY(!f.model->isCopyingText());
}

void TestLibraryActions::pinPersists()
{
    auto f = connected({QStringLiteral("Screenshot a.png"), QStringLiteral("Screenshot b.png")});
    QVERIFY(f);
    const Screenshot a = *f->item(QStringLiteral("Screenshot a.png"));
    f->model->pin(a);
    QCOMPARE(f->model->pinnedCount(), 1);
    QVERIFY(f->model->state().contains(a.id()));
    const auto stored = f->store->data(QLatin1String(Preferences::libraryStateKey));
    QVERIFY(stored);
    QCOMPARE(LibraryState::fromJson(*stored).pinnedPaths(), QSet<QString>{a.id()});

    // A new model over the same store starts with the pin.
    LibraryModel again(*f->preferences, LibraryModel::Services{
        std::make_unique<FakeClipboard>(), std::make_unique<FakeTrash>(f->root.path() + QStringLiteral("/T")),
        nullptr, nullptr, {}, f->root.path() + QStringLiteral("/Cache2"),
        std::make_unique<FakeRecognizer>(f->recognizer), nullptr});
    QVERIFY(again.state().contains(a.id()));
    CHECK_CONSISTENT(*f);
}

void TestLibraryActions::trashMovesSelection_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("trashed");  // position in the visible list
    QTest::addColumn<int>("expected"); // position (in the list before) selected after; -1: none
    QTest::newRow("middle") << 3 << 1 << 2;
    QTest::newRow("first") << 3 << 0 << 1;
    QTest::newRow("last") << 3 << 2 << 1;
    QTest::newRow("only") << 1 << 0 << -1;
}

void TestLibraryActions::trashMovesSelection()
{
    QFETCH(int, count);
    QFETCH(int, trashed);
    QFETCH(int, expected);
    auto f = connected(shotNames(count));
    QVERIFY(f);
    const QList<Screenshot> before = f->model->visibleItems();
    f->model->select(before.at(trashed));

    f->model->trash(before.at(trashed));
    QVERIFY(!QFileInfo::exists(before.at(trashed).id()));
    QCOMPARE(f->model->items().size(), count - 1);
    if (expected < 0)
        QVERIFY(!f->model->selectedID());
    else
        QCOMPARE(f->model->selectedID(), before.at(expected).id());
    QVERIFY(f->model->canUndo());
    QCOMPARE(f->model->toast(), QStringLiteral("Moved to Trash"));
    QCOMPARE(f->model->toastStyle(), ToastStyle::trash);
    CHECK_CONSISTENT(*f);
    QVERIFY(f->settle());
}

void TestLibraryActions::trashAndUndoKeepPin_data()
{
    QTest::addColumn<bool>("pinned");
    QTest::newRow("pinned") << true;
    QTest::newRow("not pinned") << false;
}

void TestLibraryActions::trashAndUndoKeepPin()
{
    QFETCH(bool, pinned);
    auto f = connected(shotNames(3));
    QVERIFY(f);
    const Screenshot item = f->model->items().at(1);
    if (pinned)
        f->model->pin(item);
    f->model->trash(item);
    QVERIFY(!f->model->state().contains(item.id()));
    QCOMPARE(f->model->pinnedCount(), 0);
    CHECK_CONSISTENT(*f);

    f->model->undoTrash();
    QCOMPARE(f->model->toast(), QStringLiteral("Screenshot restored"));
    QVERIFY(!f->model->canUndo());
    QCOMPARE(f->model->state().contains(item.id()), pinned);
    QCOMPARE(LibraryState::fromJson(*f->store->data(QLatin1String(Preferences::libraryStateKey)))
                 .contains(item.id()), pinned);
    QCOMPARE(f->model->selectedID(), item.id());
    CHECK_CONSISTENT(*f);
    QTRY_COMPARE(f->model->items().size(), 3);
    QVERIFY(f->settle());
    QCOMPARE(f->model->selectedID(), item.id());
    QCOMPARE(f->model->pinnedCount(), pinned ? 1 : 0);
    CHECK_CONSISTENT(*f);

    f->model->undoTrash(); // nothing left to undo
    QCOMPARE(f->model->toast(), QStringLiteral("Screenshot restored"));
    QCOMPARE(f->trash->restoreCount, 1);
}

void TestLibraryActions::undoOntoOccupiedPath()
{
    auto f = connected(shotNames(2));
    QVERIFY(f);
    const Screenshot item = f->model->items().first();
    f->model->trash(item);
    QVERIFY(TestSupport::writeFile(item.id(), "a newer file"));

    f->model->undoTrash();
    QCOMPARE(f->model->toast(),
             QStringLiteral("A file already exists there. Restore the screenshot from Trash."));
    QCOMPARE(f->model->toastStyle(), ToastStyle::failure);
    QVERIFY(f->model->canUndo());
    QCOMPARE(f->trash->restoreCount, 0);
    QFile newer(item.id());
    QVERIFY(newer.open(QIODevice::ReadOnly));
    QCOMPARE(newer.readAll(), QByteArray("a newer file"));
    newer.close();

    // The move back itself refuses (the Trash lost the file): still undoable.
    f->trash->failRestore = true;
    QVERIFY(QFile::remove(item.id()));
    f->model->undoTrash();
    QCOMPARE(f->model->toast(), QStringLiteral("Couldn’t restore this screenshot. It’s still in Trash."));
    QVERIFY(f->model->canUndo());

    f->trash->failRestore = false;
    f->model->undoTrash();
    QCOMPARE(f->model->toast(), QStringLiteral("Screenshot restored"));
    QVERIFY(!f->model->canUndo());
    QCOMPARE(sha256(item.id()).isEmpty(), false);
    QVERIFY(item.matchesCurrentFile());
    QVERIFY(f->settle());
    CHECK_CONSISTENT(*f);
}

void TestLibraryActions::trashFailures()
{
    auto f = connected(shotNames(2));
    QVERIFY(f);
    const Screenshot item = f->model->items().first();
    f->trash->mode = FakeTrash::Mode::fail;
    f->model->trash(item);
    QCOMPARE(f->model->toast(), QStringLiteral("Couldn’t move this screenshot to Trash."));
    QCOMPARE(f->model->toastStyle(), ToastStyle::failure);
    QVERIFY(QFileInfo::exists(item.id()));
    QVERIFY(!f->model->canUndo());
    QVERIFY(f->settle());
    QCOMPARE(f->model->items().size(), 2);

    // Moved, but the Trash won't say where: no undo, no message; a rescan drops it.
    f->model->showToast(QStringLiteral("marker"));
    f->trash->mode = FakeTrash::Mode::moveWithoutLocation;
    f->model->trash(item);
    QCOMPARE(f->model->toast(), QStringLiteral("marker"));
    QVERIFY(!f->model->canUndo());
    QTRY_COMPARE(f->model->items().size(), 1);
    QVERIFY(f->settle());
    CHECK_CONSISTENT(*f);
}

void TestLibraryActions::copyReplacesTrashToast()
{
    auto f = connected(shotNames(3));
    QVERIFY(f);
    f->model->trash(f->model->items().first());
    QCOMPARE(f->model->toastStyle(), ToastStyle::trash);
    f->model->copy(f->model->items().first());
    QTRY_COMPARE(f->model->toast(), QStringLiteral("Copied. Ready to paste."));
    QCOMPARE(f->model->toastStyle(), ToastStyle::success);
    // Undo outlives its toast.
    QVERIFY(f->model->canUndo());
    QVERIFY(f->settle());
    CHECK_CONSISTENT(*f);
}

void TestLibraryActions::sessionKeepsEveryByte()
{
    // The real freedesktop Trash, under this test's private data folder.
    Fixture f(Watch::inotify, std::make_unique<SystemTrash>());
    const QStringList names = shotNames(20);
    QHash<QString, QByteArray> hashes;
    for (const QString &name : names) {
        const QString path = name.endsWith(QLatin1String("7.png")) ? writeShot(f.folder, name, "jpg")
                                                                  : f.shot(name);
        QVERIFY(!path.isEmpty());
        hashes.insert(path, sha256(path));
    }
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 20);
    QVERIFY(f.settle());

    const QList<Screenshot> items = f.model->items();
    for (int round = 0; round < 4; ++round) {
        const Screenshot item = items.at(round * 5 + 2);
        f.model->copy(item);
        QTRY_VERIFY(!f.model->isCopying());
        f.model->copyText(item);
        QTRY_VERIFY(!f.model->isCopyingText());
        QCOMPARE(f.model->toast(), QStringLiteral("Text copied. Ready to paste."));
        f.model->pin(item);
        f.model->trash(item);
        QCOMPARE(f.model->toast(), QStringLiteral("Moved to Trash"));
        QVERIFY(!QFileInfo::exists(item.id()));
        f.model->undoTrash();
        QCOMPARE(f.model->toast(), QStringLiteral("Screenshot restored"));
        QTRY_COMPARE(f.model->items().size(), 20);
        QVERIFY(f.settle());
        CHECK_CONSISTENT(f);
    }
    QCOMPARE(f.model->pinnedCount(), 4);

    for (auto it = hashes.cbegin(); it != hashes.cend(); ++it)
        QVERIFY2(sha256(it.key()) == it.value(), qPrintable(it.key()));

    // No entry of the restored files is left in any Trash they could have gone to.
    const QString uid = QString::number(::getuid());
    const QStringList trashes = {
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash"),
        QStorageInfo(f.folder).rootPath() + QStringLiteral("/.Trash-") + uid,
        QStorageInfo(f.folder).rootPath() + QStringLiteral("/.Trash/") + uid,
    };
    bool sawTrash = false;
    for (const QString &trash : trashes) {
        sawTrash = sawTrash || QDir(trash + QStringLiteral("/files")).exists();
        for (const QString &sub : {QStringLiteral("/files"), QStringLiteral("/info")}) {
            const QStringList left = QDir(trash + sub).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
            for (const QString &entry : left)
                QVERIFY2(!entry.startsWith(QLatin1String("Screenshot")), qPrintable(trash + sub + "/" + entry));
        }
    }
    QVERIFY(sawTrash); // the files did go through one of them
}

QTEST_MAIN(TestLibraryActions)
#include "tst_libraryactions.moc"
