// Every key of the gallery, sent to the real gallery panel of the real controller, in each
// combination of search field being edited and folder being connected.
#include "AppHarness.h"

#include "app/FloatingButtonPresenter.h"
#include "app/GalleryPresenter.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryView.h"
#include "ui/controls/GalleryButton.h"
#include "ui/feedback/FeedbackView.h"
#include "ui/settings/SettingsView.h"
#include "ui/settings/ShortcutRecorder.h"
#include "ui/gallery/WelcomeView.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>

using namespace apptest;

namespace {

// What a key may change, read before and after it.
struct Observed
{
    bool shown = false;
    QString query;
    bool pinnedOnly = false;
    bool searchFocused = false;
    int selection = -1;
    int clipboardWrites = 0;
    int trashed = 0;
    bool preview = false;
    QString field;
    QString fieldSelection;

    static Observed of(App &app)
    {
        Observed o;
        AppController &c = *app.controller;
        o.shown = c.gallery().isShown();
        o.query = app.model().query();
        o.pinnedOnly = app.model().pinnedOnly();
        o.searchFocused = c.gallery().view()->searchFocused();
        if (const auto selected = app.model().selected())
            o.selection = int(app.model().visibleItems().indexOf(*selected));
        o.clipboardWrites = app.clipboard->writeCount;
        o.trashed = app.trash->moveCount;
        o.preview = c.gallery().isPreviewShown();
        if (auto *field = c.gallery().view()->findChild<QLineEdit *>()) {
            o.field = field->text();
            o.fieldSelection = field->selectedText();
        }
        return o;
    }
};

QWidget *focusTarget(App &app)
{
    QWidget *focus = QApplication::focusWidget();
    return focus ? focus : app.controller->gallery().panel();
}

} // namespace

class TestKeyRouting final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void routes_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("effect");

        struct Row { const char *keys; const char *grid; const char *field; const char *away; };
        // What each key does in the grid (connected), in the search field, and in the grid with
        // the folder gone. "passed": nothing the gallery owns changes (Ctrl+C in the field is the
        // field's own copy: the library's clipboard is not involved). "select n": the
        // screenshot at index n is selected (the one at 1 was before the key).
        const Row rows[] = {
            {"Esc", "hidden", "queryCleared", "hidden"},
            {"Ctrl+,", "hidden", "hidden", "hidden"},
            {"Ctrl+F", "searchFocused", "searchFocused", "searchFocused"},
            {"Ctrl+2", "pinnedTab", "pinnedTab", "pinnedTab"},
            {"Ctrl+Shift+C", "copied", "copied", "passed"},
            {"Ctrl+C", "copied", "passed", "passed"},
            {"Ctrl+Backspace", "trashed", "wordDeleted", "passed"},
            {"Return", "preview", "passed", "passed"},
            {"Space", "preview", "typed", "passed"},
            {"Home", "select 0", "passed", "passed"},
            {"End", "select 6", "passed", "passed"},
            {"Left", "select 0", "passed", "passed"},
            {"Right", "select 2", "passed", "passed"},
            {"Down", "select 4", "passed", "passed"},
            {"Ctrl+A", "passed", "fieldSelectAll", "passed"},
            {"X", "passed", "typed", "passed"},
        };
        for (const Row &row : rows) {
            QTest::addRow("%s grid", row.keys) << row.keys << false << true << row.grid;
            QTest::addRow("%s field", row.keys) << row.keys << true << true << row.field;
            QTest::addRow("%s away", row.keys) << row.keys << false << false << row.away;
        }
    }

    void routes()
    {
        QFETCH(QString, keys);
        QFETCH(bool, editing);
        QFETCH(bool, connected);
        QFETCH(QString, effect);

        App app;
        QVERIFY(app.start(7));
        AppController &c = *app.controller;
        c.gallery().show(false);
        QVERIFY(QTest::qWaitForWindowActive(c.gallery().panel()));
        app.model().select(app.model().visibleItems().at(1));
        if (editing) {
            c.gallery().focusRequests().postFocusSearch();
            QTRY_VERIFY(c.gallery().view()->searchFocused());
            // Every screenshot's name holds both words, so all stay visible.
            QTest::keyClicks(focusTarget(app), QStringLiteral("screen shot"));
            QTRY_COMPARE(app.model().query(), QStringLiteral("screen shot"));
            QCOMPARE(app.model().visibleItems().size(), 7);
            app.model().select(app.model().visibleItems().at(1));
        }
        if (!connected) {
            app.events->folderGone();
            QTRY_VERIFY(!app.model().connected());
            // The grid gives way to the disconnected message before the key comes.
            QTRY_COMPARE(c.gallery().view()->area(), GalleryView::Area::disconnected);
        }
        const Observed before = Observed::of(app);
        QVERIFY(before.shown);
        QCOMPARE(before.searchFocused, editing);

        const QKeyCombination combination = QKeySequence::fromString(keys)[0];
        QTest::keyClick(focusTarget(app), combination.key(), combination.keyboardModifiers());
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();

        Observed expected = before;
        if (effect == QLatin1String("hidden")) {
            expected.shown = false;
            expected.searchFocused = false;
            QTRY_VERIFY(!c.gallery().panel()->isVisible());
        } else if (effect == QLatin1String("queryCleared")) {
            expected.query.clear();
            expected.field.clear();
            expected.searchFocused = false;
        } else if (effect == QLatin1String("searchFocused")) {
            QTRY_VERIFY(c.gallery().view()->searchFocused());
            expected.searchFocused = true;
        } else if (effect == QLatin1String("pinnedTab")) {
            expected.pinnedOnly = true;
            expected.selection = -1; // nothing is pinned
        } else if (effect == QLatin1String("copied")) {
            QTRY_COMPARE(app.clipboard->writeCount, before.clipboardWrites + 1);
            expected.clipboardWrites += 1;
        } else if (effect == QLatin1String("trashed")) {
            QTRY_COMPARE(app.trash->moveCount, 1);
            expected.trashed = 1;
        } else if (effect == QLatin1String("preview")) {
            expected.preview = true;
        } else if (effect.startsWith(QLatin1String("select "))) {
            expected.selection = effect.mid(7).toInt();
        } else if (effect == QLatin1String("wordDeleted")) {
            expected.field = QStringLiteral("screen ");
            expected.query = QStringLiteral("screen ");
        } else if (effect == QLatin1String("typed")) {
            const bool space = keys == QLatin1String("Space");
            expected.field = before.field + (space ? u' ' : u'x');
            expected.query = expected.field;
            if (!space)
                expected.selection = -1; // "shotx" matches nothing
        } else if (effect == QLatin1String("fieldSelectAll")) {
            expected.fieldSelection = before.field;
        } else {
            QCOMPARE(effect, QStringLiteral("passed"));
        }
        Observed after = Observed::of(app);
        if (effect == QLatin1String("trashed")) {
            // The trashed screenshot leaves the grid; only the count matters here.
            after.selection = expected.selection;
        }
        if (after.query != expected.query || after.field != expected.field) {
            QTRY_COMPARE(app.model().query(), expected.query);
            after = Observed::of(app);
        }
        QCOMPARE(after.shown, expected.shown);
        QCOMPARE(after.query, expected.query);
        QCOMPARE(after.pinnedOnly, expected.pinnedOnly);
        QCOMPARE(after.searchFocused, expected.searchFocused);
        QCOMPARE(after.selection, expected.selection);
        QCOMPARE(after.clipboardWrites, expected.clipboardWrites);
        QCOMPARE(after.trashed, expected.trashed);
        QCOMPARE(after.preview, expected.preview);
        QCOMPARE(after.field, expected.field);
        QCOMPARE(after.fieldSelection, expected.fieldSelection);
        QVERIFY(app.model().isConsistent());
    }

    // Connecting the folder from the welcome view leaves the keyboard with the grid: the keys
    // act on the selection at once.
    void connectingFromTheWelcomeViewFocusesTheGrid()
    {
        App app;
        for (const QString &name : shotNames(5))
            QVERIFY(!writeShot(app.folder, name).isEmpty());
        AppController &c = *app.controller;
        c.start(); // no folder yet: the welcome view shows, the floating button after its first frame
        QTRY_VERIFY(c.floating().panel() && c.floating().panel()->isVisible());
        c.gallery().panel()->activateWindow(); // this platform activates every window it shows
        QVERIFY(QTest::qWaitForWindowActive(c.gallery().panel()));
        GalleryView *view = c.gallery().view();
        QTest::mouseClick(view->findChild<WelcomeView *>()->connectButton(), Qt::LeftButton);
        QVERIFY(app.picker->pending);
        // The folder dialog takes the keyboard while it is open and gives it back on closing.
        QWidget dialog;
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        app.picker->pending(app.folder);
        dialog.close();
        c.gallery().panel()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(c.gallery().panel()));
        QTRY_COMPARE(app.model().visibleItems().size(), 5);
        QTRY_COMPARE(view->area(), GalleryView::Area::grid);

        QTest::keyClick(focusTarget(app), Qt::Key_End);
        QTRY_COMPARE(app.model().selected(), std::optional(app.model().visibleItems().last()));
        QVERIFY(!view->searchFocused());
    }

    // Ctrl+Q quits from every window of ours, as the tray menu says.
    void controlQQuitsFromEveryWindow_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *window : {"grid", "search", "preview", "settings", "feedback"})
            QTest::newRow(window) << QString::fromLatin1(window);
    }

    void controlQQuitsFromEveryWindow()
    {
        QFETCH(QString, window);
        App app;
        QVERIFY(app.start(2));
        AppController &c = *app.controller;
        QWidget *shown = nullptr;
        if (window == QLatin1String("settings")) {
            c.showSettings();
            shown = c.settingsWindow();
        } else if (window == QLatin1String("feedback")) {
            c.showFeedback();
            shown = c.feedbackWindow();
        } else {
            c.gallery().show(false);
            shown = c.gallery().panel();
        }
        QVERIFY(QTest::qWaitForWindowActive(shown));
        if (window == QLatin1String("search")) {
            c.gallery().focusRequests().postFocusSearch();
            QTRY_VERIFY(c.gallery().view()->searchFocused());
        } else if (window == QLatin1String("preview")) {
            // The preview passes on every key but its own two; these come first.
            c.gallery().showPreview(app.model().visibleItems().first());
            QTRY_VERIFY(c.gallery().isPreviewShown());
        }
        QTimer::singleShot(0, shown, [&] { QTest::keyClick(focusTarget(app), Qt::Key_Q, Qt::ControlModifier); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); }); // a guard, not a wait
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    // Ctrl+, opens the settings from any window of ours; while the recorder records, it and
    // Ctrl+Q are what it records.
    void controlCommaOpensSettingsUnlessRecording()
    {
        App app;
        QVERIFY(app.start(1));
        AppController &c = *app.controller;
        c.showFeedback();
        QVERIFY(QTest::qWaitForWindowActive(c.feedbackWindow()));
        QTest::keyClick(focusTarget(app), Qt::Key_Comma, Qt::ControlModifier);
        QVERIFY(c.settingsWindow());
        QVERIFY(QTest::qWaitForWindowActive(c.settingsWindow()));

        RecorderButton *recorder = c.settingsWindow()->recorder();
        QSignalSpy recorded(recorder, &RecorderButton::recorded);
        for (const Qt::Key key : {Qt::Key_Comma, Qt::Key_Q}) {
            recorder->startRecording();
            QVERIFY(recorder->hasFocus());
            QTest::keyClick(recorder, key, Qt::ControlModifier);
            QVERIFY(!recorder->recording());
        }
        QCOMPARE(recorded.size(), 2);
        QVERIFY(recorded.at(0).at(0).value<Shortcut>().label().endsWith(u','));
        QVERIFY(recorded.at(1).at(0).value<Shortcut>().label().endsWith(u'Q'));
    }

    // Held keys repeat: one screenshot per press, not one per repeat.
    void heldTrashKeyTrashesOne()
    {
        App app;
        QVERIFY(app.start(5));
        app.controller->gallery().show(false);
        QVERIFY(QTest::qWaitForWindowActive(app.controller->gallery().panel()));
        QWidget *target = focusTarget(app);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Backspace, Qt::ControlModifier);
        QApplication::sendEvent(target, &press);
        for (int i = 0; i < 4; ++i) {
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Backspace, Qt::ControlModifier, QString(), true);
            QApplication::sendEvent(focusTarget(app), &repeat);
        }
        QTRY_COMPARE(app.trash->moveCount, 1);
        QCoreApplication::processEvents(); // anything the repeats queued
        QCOMPARE(app.trash->moveCount, 1);
    }

    // Closing the preview with its keys gives the keyboard back to the gallery (what showing the
    // gallery again resets is tst_appcontroller's).
    void previewGivesTheKeyboardBack()
    {
        App app;
        QVERIFY(app.start(4));
        AppController &c = *app.controller;
        c.gallery().show(false);
        QVERIFY(QTest::qWaitForWindowActive(c.gallery().panel()));
        QTest::keyClick(focusTarget(app), Qt::Key_Space);
        QTRY_VERIFY(c.gallery().isPreviewShown());
        QTest::keyClick(focusTarget(app), Qt::Key_Space);
        QTRY_VERIFY(!c.gallery().isPreviewShown());
        QTRY_VERIFY(QTest::qWaitForWindowActive(c.gallery().panel()));
        QTest::keyClick(focusTarget(app), Qt::Key_Right);
        QCOMPARE(app.model().selected()->id(), app.model().visibleItems().at(1).id());
    }
};

QTEST_MAIN(TestKeyRouting)
#include "tst_keyrouting.moc"
