#include "TestSupport.h"
#include "LibraryModelHarness.h"

#include "platform/freedesktop/SystemTrash.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

using namespace harness;

namespace {

const QString copied = QStringLiteral("Copied. Ready to paste.");
const QString textCopied = QStringLiteral("Text copied. Ready to paste.");
const QString refused = QStringLiteral("Couldn’t update the clipboard. Try again.");

} // namespace

class TestLibraryActions final : public QObject
{
    Q_OBJECT

private slots:
    void copy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        // "gone": file deleted first; "refused": by the clipboard; "hole": 2 GB of nothing after
        // the image; "huge": image data beyond what a copy takes
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("png: exact bytes") << "Screenshot p.png" << QByteArray("png") << "" << copied;
        QTest::newRow("jpeg") << "Screenshot j.jpg" << QByteArray("jpg") << "" << copied;
        QTest::newRow("jpeg named png") << "Screenshot x.png" << QByteArray("jpg") << "" << copied;
        QTest::newRow("file gone") << "Screenshot g.png" << QByteArray("png") << "gone"
                                   << QStringLiteral("Couldn’t copy this image. It may have moved.");
        QTest::newRow("clipboard refuses") << "Screenshot r.png" << QByteArray("png") << "refused" << refused;
        QTest::newRow("png followed by 2 GB: the image alone, never the rest")
            << "Screenshot h.png" << QByteArray("png") << "hole" << copied;
        QTest::newRow("png of 300 MB: refused, saying why")
            << "Screenshot b.png" << QByteArray("png") << "huge"
            << QStringLiteral("Couldn’t copy this image. It’s too large for the clipboard.");
    }
    void copy()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        Fixture f;
        const QString path = f.shot(name, format.constData());
        QVERIFY(!path.isEmpty());
        const QByteArray original = TestSupport::readFile(path);
        if (fault == QLatin1String("hole"))
            QVERIFY(TestSupport::writeSparseFile(path, {{0, original}}, original.size() + (qint64(2) << 30)));
        if (fault == QLatin1String("huge")) {
            // One more IDAT chunk of 300 MB before the IEND; sparse, so it costs nothing here.
            const qint64 length = 300 * 1024 * 1024;
            const qint64 end = original.size() - 12;
            QByteArray header(4, '\0');
            qToBigEndian<quint32>(quint32(length), header.data());
            QVERIFY(TestSupport::writeSparseFile(
                path, {{0, original.left(end) + header + "IDAT"}, {end + 8 + length, QByteArray(4, '\0') + original.right(12)}},
                end + 8 + length + 4 + 12));
        }
        f.connectFolder();
        QTRY_COMPARE(f.model->items().size(), 1);
        if (fault == QLatin1String("gone"))
            QVERIFY(QFile::remove(path));
        f.clipboard->accepts = fault != QLatin1String("refused");
        const bool copies = fault.isEmpty() || fault == QLatin1String("hole");

        PoolGate gate;
        f.model->copyActions().copy(f.model->items().first());
        QVERIFY(f.model->copyActions().isCopying());
        f.model->copyActions().copy(f.model->items().first()); // ignored while one runs
        gate.open();
        QTRY_COMPARE(f.model->toasts().message(), message);
        QCOMPARE(f.clipboard->writeCount, copies || fault == QLatin1String("refused") ? 1 : 0);
        QCOMPARE(f.model->toasts().style(), copies ? ToastStyle::success : ToastStyle::failure);
        QCOMPARE(f.model->copyActions().copiedID().has_value(), copies);
        QCOMPARE(f.clipboard->image.has_value(), copies);
        if (format == "png" && copies) {
            QCOMPARE(*f.clipboard->image, original);
        } else if (copies) {
            QBuffer buffer(&*f.clipboard->image);
            QImageReader reader(&buffer);
            QCOMPARE(reader.format(), QByteArray("png"));
            QCOMPARE(reader.size(), QSize(320, 200));
        }
        if (fault == QLatin1String("gone")) // the rescan that follows drops the vanished file
            QTRY_VERIFY(f.model->items().isEmpty());
        QVERIFY(f.settle());
        CHECK_CONSISTENT(f);
    }

    void copiedMarkAndPinToast()
    {
        Fixture f;
        QVERIFY(f.populate(shotNames(2)));
        const Screenshot a = f.model->items().first();
        bool markOutlivedToast = false;
        QObject::connect(&f.model->toasts(), &Toasts::messageChanged, f.model.get(), [&] {
            QTimer::singleShot(0, f.model.get(), [&] { // once the expiry has done its work
                markOutlivedToast = markOutlivedToast || (!f.model->toasts().message() && f.model->copyActions().copiedID());
            });
        });
        f.model->toasts().setDurationScale(0.25); // the first toast goes by itself
        f.model->copyActions().copy(a);
        QTRY_COMPARE(f.model->copyActions().copiedID(), a.id());
        QTRY_VERIFY(!f.model->toasts().message());
        QVERIFY(!f.model->copyActions().copiedID());
        QVERIFY(!markOutlivedToast);

        // Another toast ends the mark too.
        f.model->toasts().setDurationScale(1);
        f.model->copyActions().copy(a);
        QTRY_COMPARE(f.model->copyActions().copiedID(), a.id());
        f.model->pin(a);
        QVERIFY(!f.model->copyActions().copiedID());
        QCOMPARE(f.model->toasts().message(), QStringLiteral("Pinned for later"));
        f.model->pin(a);
        QCOMPARE(f.model->toasts().message(), QStringLiteral("Unpinned"));
        // A copy replaces the trash toast; the undo outlives it.
        f.model->trashUndo().trash(a);
        f.model->copyActions().copy(f.model->items().first());
        QTRY_COMPARE(f.model->toasts().message(), copied);
        QCOMPARE(f.model->toasts().style(), ToastStyle::success);
        QVERIFY(f.model->trashUndo().canUndo());
        QVERIFY(f.settle());
        CHECK_CONSISTENT(f);
    }

    void copyTextWaitsForRecognition()
    {
        Fixture f;
        const QString a = QStringLiteral("Screenshot a.png"), b = QStringLiteral("Screenshot b.png");
        f.shot(a);
        f.shot(b);
        f.recognizer->setText(b, QStringLiteral("  Line one\nLine TWO  "));
        f.recognizer->hold(a);
        f.recognizer->hold(b);
        f.connectFolder();
        QTRY_COMPARE(f.model->items().size(), 2);
        QTRY_VERIFY(f.model->textIndex().isIndexing());

        QStringList toasts; // shown ones; their disappearance is not counted
        QObject::connect(&f.model->toasts(), &Toasts::messageChanged, f.model.get(), [&] {
            if (f.model->toasts().message())
                toasts.append(*f.model->toasts().message());
        });
        f.model->copyActions().copyText(*f.item(b));
        QVERIFY(f.model->copyActions().isCopyingText());
        f.model->copyActions().copyText(*f.item(a)); // ignored while one waits
        QVERIFY(toasts.isEmpty());

        f.recognizer->release();
        QTRY_VERIFY(!f.model->copyActions().isCopyingText());
        QVERIFY(f.settle());
        QCOMPARE(toasts, QStringList{textCopied});
        QCOMPARE(f.clipboard->text, QStringLiteral("Line one\nLine TWO")); // not its search form
        QCOMPARE(f.clipboard->writeCount, 1);
        CHECK_CONSISTENT(f);
    }

    void copyTextOutcomes_data()
    {
        QTest::addColumn<QString>("text"); // what recognition finds; "!" fails; "~" replaces the file
        QTest::addColumn<bool>("clipboardAccepts");
        QTest::addColumn<QString>("message");
        QTest::addColumn<ToastStyle>("style");
        QTest::newRow("no text") << QString() << true
            << QStringLiteral("No readable text found. Clipboard unchanged.") << ToastStyle::success;
        QTest::newRow("recognition failed") << QStringLiteral("!") << true
            << QStringLiteral("Couldn’t read this screenshot’s text. Try again.") << ToastStyle::failure;
        QTest::newRow("clipboard refuses") << QStringLiteral("hello") << false << refused << ToastStyle::failure;
        QTest::newRow("text") << QStringLiteral("hello") << true << textCopied << ToastStyle::success;
        // Replaced after its text was read; the fake watcher is silent, so the record is the old one.
        QTest::newRow("file replaced") << QStringLiteral("~") << true
            << QStringLiteral("This screenshot changed. Please try again.") << ToastStyle::failure;
    }
    void copyTextOutcomes()
    {
        QFETCH(QString, text);
        QFETCH(bool, clipboardAccepts);
        QFETCH(QString, message);
        QFETCH(ToastStyle, style);
        Fixture f;
        const QString name = QStringLiteral("Screenshot a.png");
        if (text == QLatin1String("!"))
            f.recognizer->failing.insert(name);
        else
            f.recognizer->setText(name, text);
        QVERIFY(f.populate({name}));
        const QString before = QStringLiteral("what was there before");
        f.clipboard->text = before;
        f.clipboard->accepts = clipboardAccepts;
        const Screenshot item = f.model->items().first();
        if (text == QLatin1String("~")) {
            QVERIFY(f.model->textIndex().documents().contains(item.cacheKey()));
            QVERIFY(TestSupport::writeImage(item.id(), TestSupport::drawTextImage(QSize(500, 260), {"new"}), "png"));
            QVERIFY(TestSupport::setModificationTime(item.id(), item.modifiedAt().addSecs(5)));
        }

        f.model->copyActions().copyText(item);
        QTRY_VERIFY(!f.model->copyActions().isCopyingText());
        QCOMPARE(f.model->toasts().message(), message);
        QCOMPARE(f.model->toasts().style(), style);
        QCOMPARE(f.clipboard->text, message == textCopied ? text : before);
        CHECK_CONSISTENT(f);
        if (text == QLatin1String("~")) {
            // The rescan that follows picks up the new version; the old record is then unknown.
            QTRY_VERIFY(f.model->items().first().cacheKey() != item.cacheKey());
            QVERIFY(f.settle());
            f.model->copyActions().copyText(item);
            QCOMPARE(f.model->toasts().message(), QStringLiteral("This screenshot changed or moved. Please try again."));
            QVERIFY(!f.model->copyActions().isCopyingText());
        }
    }

    void trashMovesSelection_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("trashed");  // position in the visible list
        QTest::addColumn<int>("expected"); // position (in the list before) selected after; -1: none
        QTest::addColumn<bool>("fails");   // the Trash refuses the file
        QTest::newRow("middle") << 3 << 1 << 2 << false;
        QTest::newRow("first") << 3 << 0 << 1 << false;
        QTest::newRow("last") << 3 << 2 << 1 << false;
        QTest::newRow("only") << 1 << 0 << -1 << false;
        QTest::newRow("refused: everything stays") << 2 << 0 << 0 << true;
    }
    void trashMovesSelection()
    {
        QFETCH(int, count);
        QFETCH(int, trashed);
        QFETCH(int, expected);
        QFETCH(bool, fails);
        Fixture f;
        QVERIFY(f.populate(shotNames(count)));
        const QList<Screenshot> before = f.model->visibleItems();
        f.model->select(before.at(trashed));
        if (fails)
            f.trash->mode = FakeTrash::Mode::fail;

        f.model->trashUndo().trash(before.at(trashed));
        QCOMPARE(QFileInfo::exists(before.at(trashed).id()), fails);
        QCOMPARE(f.model->items().size(), fails ? count : count - 1);
        QCOMPARE(f.model->selectedID(), expected < 0 ? std::nullopt : std::optional(before.at(expected).id()));
        QCOMPARE(f.model->trashUndo().canUndo(), !fails);
        QCOMPARE(f.model->toasts().message(),
                 fails ? QStringLiteral("Couldn’t move this screenshot to Trash.") : QStringLiteral("Moved to Trash"));
        QCOMPARE(f.model->toasts().style(), fails ? ToastStyle::failure : ToastStyle::trash);
        CHECK_CONSISTENT(f);
        QVERIFY(f.settle());
    }

    // While the scan that brings an undone screenshot back runs, and whatever it finds, the
    // selection names a shown screenshot (or nothing), so the keys act on what is highlighted.
    // A pin goes with the file into the Trash and comes back with it, in the settings too.
    void undoSelectsOnlyWhatTheRescanShows_data()
    {
        QTest::addColumn<QString>("rescan");
        QTest::addColumn<bool>("pinned"); // and trashed while another was selected
        QTest::newRow("brings it back") << "back" << false;
        QTest::newRow("brings it back, pinned") << "back" << true;
        QTest::newRow("finds it gone again") << "gone" << false;
        QTest::newRow("fails") << "fails" << false;
    }
    void undoSelectsOnlyWhatTheRescanShows()
    {
        QFETCH(QString, rescan);
        QFETCH(bool, pinned);
        Fixture f;
        QVERIFY(f.populate(shotNames(3)));
        const Screenshot item = f.model->items().at(1);
        auto storedPin = [&] {
            const auto data = f.store->data(QLatin1String(Preferences::libraryStateKey));
            return data && LibraryState::fromJson(*data).contains(item.id());
        };
        if (pinned)
            f.model->pin(item);
        else
            f.model->select(item);
        f.model->trashUndo().trash(item);
        QVERIFY(!f.model->state().contains(item.id()));
        QVERIFY(!storedPin());
        const std::optional<QString> neighbour = f.model->selectedID();
        QVERIFY(neighbour && neighbour != item.id());

        PoolGate gate;
        f.model->trashUndo().undo();
        QCOMPARE(f.model->toasts().message(), QStringLiteral("Screenshot restored"));
        QVERIFY(!f.model->trashUndo().canUndo());
        QCOMPARE(storedPin(), pinned);
        QVERIFY(f.model->isScanning());
        QCOMPARE(f.model->selectedID(), neighbour);
        QCOMPARE(f.model->selected()->id(), *neighbour);
        CHECK_CONSISTENT(f);
        if (rescan == QLatin1String("gone"))
            QVERIFY(QFile::remove(item.id()));
        else if (rescan == QLatin1String("fails"))
            QVERIFY(QDir(f.folder).removeRecursively());
        gate.open();
        QTRY_VERIFY(!f.model->isScanning());

        if (rescan == QLatin1String("back")) {
            QCOMPARE(f.model->selectedID(), item.id());
            QCOMPARE(f.model->pinnedCount(), pinned ? 1 : 0);
        } else if (rescan == QLatin1String("gone")) {
            QCOMPARE(f.model->selectedID(), neighbour);
        }
        if (f.model->selectedID())
            QVERIFY(f.model->visibleItems().contains(*f.model->selected()));
        CHECK_CONSISTENT(f);
        // A later scan does not pull the selection away again.
        if (rescan != QLatin1String("fails")) {
            f.model->select(f.model->visibleItems().last());
            const std::optional<QString> chosen = f.model->selectedID();
            QVERIFY(writeShot(f.folder, QStringLiteral("Screenshot 99.png")).size() > 0);
            f.model->refresh(false);
            QTRY_COMPARE(f.model->items().size(), rescan == QLatin1String("back") ? 4 : 3);
            QCOMPARE(f.model->selectedID(), chosen);
        }
        QVERIFY(f.settle());
        // A new model over the same settings starts with the pin.
        LibraryModel again(*f.preferences, LibraryModel::Services{
            std::make_unique<FakeClipboard>(), std::make_unique<FakeTrash>(f.root.filePath("T")),
            &f.images, nullptr, std::make_unique<FakeFolderEvents>(),
            std::make_unique<ScreenshotTextWorker>(f.root.filePath("Cache2"),
                                                   std::make_unique<FakeRecognizer>()),
            ScreenshotNamePatterns()});
        QCOMPARE(again.state().contains(item.id()), pinned);
    }

    // An undo that cannot put the file back says why and, while the Trash still holds it, may
    // be tried again; a file that took the place is never replaced.
    void undoThatCannotRestore_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("undoable");
        QTest::newRow("a file where it was") << "occupied"
            << QStringLiteral("A file already exists there. Restore the screenshot from Trash.") << true;
        QTest::newRow("the move back fails") << "restore fails"
            << QStringLiteral("Couldn’t restore this screenshot. It’s still in Trash.") << true;
        // Emptied, or put back by a file manager meanwhile.
        QTest::newRow("no longer in Trash") << "gone"
            << QStringLiteral("Couldn’t restore this screenshot. It’s no longer in Trash.") << false;
    }
    void undoThatCannotRestore()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, message);
        QFETCH(bool, undoable);
        Fixture f;
        QVERIFY(f.populate(shotNames(2)));
        const Screenshot item = f.model->items().first();
        f.model->trashUndo().trash(item);
        const QDir trash(f.root.filePath(QStringLiteral("Trash")));
        QCOMPARE(trash.entryList(QDir::Files).size(), 1);
        if (obstacle == QLatin1String("occupied"))
            QVERIFY(TestSupport::writeFile(item.id(), "a newer file"));
        else if (obstacle == QLatin1String("gone"))
            QVERIFY(QFile::remove(trash.filePath(trash.entryList(QDir::Files).first())));
        f.trash->failRestore = obstacle == QLatin1String("restore fails");

        f.model->trashUndo().undo();
        QCOMPARE(f.model->toasts().message(), message);
        QCOMPARE(f.model->toasts().style(), ToastStyle::failure);
        QCOMPARE(f.model->trashUndo().canUndo(), undoable);
        if (obstacle != QLatin1String("restore fails"))
            QCOMPARE(f.trash->restoreCount, 0);
        if (obstacle == QLatin1String("occupied")) {
            QCOMPARE(TestSupport::readFile(item.id()), QByteArray("a newer file"));
            QVERIFY(QFile::remove(item.id()));
        }
        if (undoable) {
            f.trash->failRestore = false;
            f.model->trashUndo().undo();
            QCOMPARE(f.model->toasts().message(), QStringLiteral("Screenshot restored"));
            QVERIFY(!f.model->trashUndo().canUndo());
            QVERIFY(item.matchesCurrentFile());
        }
        QVERIFY(f.settle());
        CHECK_CONSISTENT(f);
    }

    void sessionKeepsEveryByte()
    {
        // The real freedesktop Trash, under this test's private data folder.
        Fixture f(Watch::inotify, std::make_unique<SystemTrash>());
        QHash<QString, QByteArray> hashes;
        for (const QString &name : shotNames(20)) {
            const QString path = f.shot(name, name.endsWith(QLatin1String("7.png")) ? "jpg" : "png");
            QVERIFY(!path.isEmpty());
            hashes.insert(path, sha256(path));
        }
        f.connectFolder();
        QTRY_COMPARE(f.model->items().size(), 20);
        QVERIFY(f.settle());

        const QList<Screenshot> items = f.model->items();
        for (int round = 0; round < 4; ++round) {
            const Screenshot item = items.at(round * 5 + 2);
            f.model->copyActions().copy(item);
            QTRY_VERIFY(!f.model->copyActions().isCopying());
            f.model->copyActions().copyText(item);
            QTRY_VERIFY(!f.model->copyActions().isCopyingText());
            QCOMPARE(f.model->toasts().message(), textCopied);
            f.model->pin(item);
            f.model->trashUndo().trash(item);
            QCOMPARE(f.model->toasts().message(), QStringLiteral("Moved to Trash"));
            QVERIFY(!QFileInfo::exists(item.id()));
            f.model->trashUndo().undo();
            QCOMPARE(f.model->toasts().message(), QStringLiteral("Screenshot restored"));
            QTRY_COMPARE(f.model->items().size(), 20);
            QVERIFY(f.settle());
            CHECK_CONSISTENT(f);
        }
        QCOMPARE(f.model->pinnedCount(), 4);
        for (auto it = hashes.cbegin(); it != hashes.cend(); ++it)
            QVERIFY2(sha256(it.key()) == it.value(), qPrintable(it.key()));

    }
};

QTEST_MAIN(TestLibraryActions)
#include "tst_libraryactions.moc"
