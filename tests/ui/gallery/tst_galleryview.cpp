// The gallery view over a real library model (fake clipboard, Trash, picker and recogniser)
// on a temporary folder of drawn screenshots.

#include "FakeShare.h"
#include "SystemImages.h"
#include "LibraryModelHarness.h"
#include "FakeAccessibility.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BusySpinner.h"
#include "ui/gallery/FilterTab.h"
#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryActionBar.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/controls/GalleryButton.h"
#include "ui/gallery/GalleryEmptyState.h"
#include "ui/gallery/GalleryErrorBanner.h"
#include "ui/gallery/GalleryFilters.h"
#include "ui/gallery/GalleryFooter.h"
#include "ui/gallery/grid/GalleryGrid.h"
#include "ui/gallery/GalleryHeader.h"
#include "ui/gallery/GallerySearchField.h"
#include "ui/gallery/GalleryView.h"
#include "ui/controls/QuietIconButton.h"
#include "ui/design/StatusDot.h"
#include "ui/design/SymbolView.h"
#include "ui/gallery/grid/ThumbnailCache.h"
#include "ui/gallery/WelcomeView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using harness::Fixture;

namespace {

// The library, the view and everything the view is handed.
struct Gallery final
{
    explicit Gallery(bool demo = false)
        : thumbnails(systemImages())
    {
        QObject::connect(&actions, &GalleryActions::previewRequested, &actions,
                         [this](const Screenshot &item) { previewed.append(item.id()); });
        view = std::make_unique<GalleryView>(*f.model, *f.preferences, demo, accessibility,
                                             thumbnails, share, focus, actions);
        QObject::connect(view.get(), &GalleryView::closeRequested, [this] { ++closed; });
        QObject::connect(view.get(), &GalleryView::settingsRequested, [this] { ++settings; });
        view->resize(598, 590);
        view->show();
    }

    // Connects the folder with the given screenshots, waits until text is read, selects one.
    void connectWith(int count, int selected = -1)
    {
        QVERIFY(f.populate(QStringList{"Screenshot 1.png", "Screenshot 2.png", "Screenshot 3.png"}.first(count)));
        if (selected >= 0)
            f.model->select(*f.item(QStringLiteral("Screenshot %1.png").arg(selected + 1)));
    }

    // The view renders the library's changes at the next event-loop turn; this is that turn,
    // and nothing else of it, for the checks that follow.
    void rendered() { QCoreApplication::sendPostedEvents(view.get(), QEvent::MetaCall); }

    Fixture f;
    FakeAccessibility accessibility{true, false}; // no fades: every change shows at once
    ThumbnailCache thumbnails;
    FakeShare share{false};
    GalleryActions actions{*f.model, share};
    FocusRequests focus;
    int closed = 0, settings = 0;
    QStringList previewed;
    std::unique_ptr<GalleryView> view;
};

// Clicks, then lets the gallery render what the click changed.
void click(QAbstractButton *button)
{
    QVERIFY(button && button->isVisible() && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    if (QWidget *gallery = button->window())
        QCoreApplication::sendPostedEvents(gallery, QEvent::MetaCall);
}

} // namespace

class TestGalleryView : public QObject
{
    Q_OBJECT

private slots:
    void welcomeBeforeAnyFolderThenWatching()
    {
        Gallery g;
        GalleryView &view = *g.view;
        QVERIFY(view.welcome()->isVisible());
        QVERIFY(!view.mainContent()->isVisible());
        QVERIFY(!view.actionBar()->isVisible());
        QCOMPARE(view.welcome()->folderPath(), g.f.preferences->folderPath());
        QVERIFY(!view.header()->previewBadge()); // demo mode only
        const Gallery demo(true);
        QVERIFY(demo.view->header()->previewBadge()->isVisible());
        QCOMPARE(demo.view->header()->previewBadge()->text(), QStringLiteral("PREVIEW"));

        GalleryFooter &footer = *view.footer();
        QCOMPARE(footer.form(), GalleryFooter::Form::folder);
        QCOMPARE(footer.folderLabel()->text(), QStringLiteral("Local. Private. Yours."));
        QCOMPARE(footer.folderDot()->colour(), BrimfoldDesign::secondary(footer.palette()));
        QCOMPARE(footer.shortcutLabel()->text(), QStringLiteral("Ctrl+Shift+G"));

        click(view.header()->settingsButton());
        click(view.header()->closeButton());
        QCOMPARE(g.settings, 1);
        QCOMPARE(g.closed, 1);

        click(view.welcome()->connectButton());
        QVERIFY(g.f.folderPicker->pending);
        g.f.folderPicker->pending(g.f.folder);
        QTRY_VERIFY(view.mainContent()->isVisible());
        QVERIFY(!view.welcome()->isVisible());

        // Connected with nothing selected: the bar says what to do, the footer what is watched.
        QVERIFY(g.f.settle());
        QVERIFY(!view.actionBar()->showsActions());
        QCOMPARE(view.actionBar()->messageLabel()->text(), QStringLiteral("Select a screenshot to use it."));
        QCOMPARE(footer.form(), GalleryFooter::Form::folder);
        QCOMPARE(footer.folderLabel()->text(), QStringLiteral("Watching Shots"));
        QCOMPARE(footer.folderDot()->colour(), GalleryFooter::green());
    }

    void findingThenGrid()
    {
        Gallery g;
        g.f.shot(QStringLiteral("Screenshot 1.png"));
        // The scan may end quickly: record the view as each scan starts.
        struct Seen
        {
            GalleryView::Area area;
            bool spinner;
            QString title, detail;
        };
        QList<Seen> seen;
        GalleryEmptyState &message = *g.view->emptyState();
        QObject::connect(g.f.model.get(), &LibraryModel::isScanningChanged, g.view.get(), [&] {
            if (!g.f.model->isScanning())
                return;
            g.rendered();
            seen.append({g.view->area(), message.findChild<BusySpinner *>()->isVisible(),
                         message.titleLabel()->text(), message.detailLabel()->text()});
        });
        g.f.connectFolder();
        QTRY_VERIFY(!seen.isEmpty());
        QCOMPARE(seen.first().area, GalleryView::Area::finding);
        QVERIFY(seen.first().spinner);
        QCOMPARE(seen.first().title, QStringLiteral("Finding your screenshots…"));
        QCOMPARE(seen.first().detail, QStringLiteral("They’ll appear here as your folder is indexed."));

        QTRY_COMPARE(g.view->area(), GalleryView::Area::grid);
        QVERIFY(g.view->grid()->isVisible());
        QVERIFY(!message.isVisible());
        // A rescan of a filled library keeps the grid.
        QVERIFY(g.f.settle());
        const qsizetype scans = seen.size();
        g.f.model->refresh(false);
        QTRY_VERIFY(seen.size() > scans);
        QCOMPARE(seen.last().area, GalleryView::Area::grid);
        QVERIFY(g.f.settle());
    }

    void emptyStates_data()
    {
        QTest::addColumn<bool>("withShot");
        QTest::addColumn<bool>("pinnedOnly");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("situation"); // "reading": text is still being read; "gone": the folder
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("detail");

        const QString searchDetail = QStringLiteral("Try words from the screenshot or its filename. "
                                                    "Results appear as text becomes available.");
        QTest::newRow("recent") << false << false << QString() << QString() << "viewfinder"
                                << "Ready for your next screenshot."
                                << "Take a screenshot with Print Screen. It appears here once your "
                                   "desktop saves it.";
        QTest::newRow("pinned") << true << true << QString() << QString() << "pin"
                                << "Keep the good ones close." << "Pin a screenshot to find it here.";
        QTest::newRow("searching while reading") << true << false << "zebra" << "reading" << "magnifyingglass"
                                                 << "Searching as text is read…" << searchDetail;
        QTest::newRow("no match") << true << false << "zebra" << QString() << "magnifyingglass"
                                  << "No matching screenshots." << searchDetail;
        QTest::newRow("pinned tab search") << true << true << "zebra" << QString() << "pin"
                                           << "No matching screenshots." << searchDetail;
        QTest::newRow("disconnected") << true << false << QString() << "gone" << "folder.badge.questionmark"
                                      << "Let’s reconnect your folder."
                                      << "Use Reconnect above to bring your screenshots back.";
    }

    void emptyStates()
    {
        QFETCH(bool, withShot);
        QFETCH(bool, pinnedOnly);
        QFETCH(QString, query);
        QFETCH(QString, situation);
        QFETCH(QString, symbol);
        QFETCH(QString, title);
        QFETCH(QString, detail);
        const bool reading = situation == QLatin1String("reading");
        const bool gone = situation == QLatin1String("gone");

        Gallery g;
        if (reading)
            g.f.recognizer->hold(QStringLiteral("Screenshot 1.png"));
        if (withShot)
            g.f.shot(QStringLiteral("Screenshot 1.png"));
        g.f.connectFolder();
        QTRY_VERIFY(!g.f.model->isScanning());
        if (reading)
            QTRY_VERIFY(g.f.model->textIndex().isIndexing());
        else
            QVERIFY(g.f.settle());
        if (gone) {
            QVERIFY(QDir(g.f.folder).removeRecursively());
            g.f.model->refresh(false);
            QTRY_VERIFY(!g.f.model->connected());
        }
        g.f.model->setPinnedOnly(pinnedOnly);
        g.f.model->setQuery(query);
        g.rendered();

        QCOMPARE(g.view->area(), gone ? GalleryView::Area::disconnected : GalleryView::Area::empty);
        GalleryEmptyState &message = *g.view->emptyState();
        QVERIFY(message.isVisible());
        QCOMPARE(message.symbolView()->symbol(), symbol);
        QCOMPARE(message.titleLabel()->text(), title);
        QCOMPARE(message.detailLabel()->text(), detail);
        QCOMPARE(message.clearButton()->isVisible(), !query.isEmpty());
        if (reading) {
            g.f.recognizer->release(); // reading ends without a match
            QTRY_COMPARE(message.titleLabel()->text(), QStringLiteral("No matching screenshots."));
        }
        if (!query.isEmpty()) {
            click(message.clearButton());
            QCOMPARE(g.f.model->query(), QString());
            QCOMPARE(g.view->area(), pinnedOnly ? GalleryView::Area::empty : GalleryView::Area::grid);
        }
        if (gone) {
            // Said in three places: the message, the action bar and the footer. The banner carries
            // the library's message and always offers "Reconnect".
            QCOMPARE(g.view->actionBar()->messageLabel()->text(),
                     QStringLiteral("Reconnect your folder to use screenshots."));
            QVERIFY(!g.view->actionBar()->showsActions());
            QCOMPARE(g.view->footer()->folderLabel()->text(), QStringLiteral("Folder disconnected"));
            QCOMPARE(g.view->footer()->folderDot()->colour(), GalleryFooter::orange());
            GalleryErrorBanner &banner = *g.view->errorBanner();
            QVERIFY(banner.isVisible());
            QCOMPARE(banner.message(), *g.f.model->errorMessage());
            click(banner.reconnectButton());
            QVERIFY(g.f.folderPicker->pending);
        }
    }

    void searchFieldIsBoundToTheQuery()
    {
        Gallery g;
        g.f.recognizer->setText(QStringLiteral("Screenshot 2.png"), QStringLiteral("invoice total"));
        g.connectWith(2);
        GallerySearchField &field = *g.view->filters()->searchField();
        QLineEdit *edit = field.lineEdit();
        QVERIFY(!field.clearButton()->isVisible());

        // Typing into the field is the key routing's to check; here the model leads.
        g.f.model->setQuery(QStringLiteral("invoice"));
        g.rendered();
        QCOMPARE(edit->text(), QStringLiteral("invoice"));
        QCOMPARE(g.view->grid()->model()->rowCount(), 1);
        QVERIFY(field.clearButton()->isVisible());
        QVERIFY(!edit->accessibleName().isEmpty() && !field.clearButton()->accessibleName().isEmpty());
        click(field.clearButton());
        QCOMPARE(g.f.model->query(), QString());
        QCOMPARE(edit->text(), QString());
    }

    void tabsShowCountsAndSwitch()
    {
        Gallery g;
        g.connectWith(3);
        g.f.model->pin(*g.f.item(QStringLiteral("Screenshot 2.png")));
        g.rendered();
        FilterTab &recent = *g.view->filters()->recentTab();
        FilterTab &pinned = *g.view->filters()->pinnedTab();
        QCOMPARE(recent.count(), 3);
        QCOMPARE(pinned.count(), 1);
        QCOMPARE(pinned.toolTip(), QStringLiteral("Pinned screenshots · Ctrl+2"));
        click(&pinned);
        click(&pinned); // pressing the selected tab keeps it selected
        QVERIFY(g.f.model->pinnedOnly() && pinned.selected() && !recent.selected());
        click(&recent);
        QVERIFY(!g.f.model->pinnedOnly() && recent.selected());
    }

    void actionBarWithSelection()
    {
        Gallery g;
        g.connectWith(1, 0);
        const Screenshot item = *g.f.item(QStringLiteral("Screenshot 1.png"));
        GalleryActionBar &bar = *g.view->actionBar();
        QVERIFY(bar.showsActions());
        QCOMPARE(bar.dimensionsLabel()->text(), item.dimensions());
        QCOMPARE(bar.fileSizeLabel()->text(), GalleryActionBar::fileSizeText(item.bytes()));
        QVERIFY(bar.shareButton()->isVisible());
        // What each button says is the action set's (tst_galleryactions); a screen reader hears
        // every one of them.
        for (const QAbstractButton *button : bar.findChildren<QAbstractButton *>())
            QVERIFY2(!button->isVisible() || !button->accessibleName().isEmpty(), qPrintable(button->objectName()));
        const QString pin = bar.pinButton()->label();
        click(bar.pinButton());
        QVERIFY(bar.pinButton()->label() != pin);

        click(bar.previewButton());
        QCOMPARE(g.previewed, QStringList{item.id()});
        click(bar.copyTextButton());
        QTRY_COMPARE(g.f.clipboard->text, std::optional<QString>(QStringLiteral("words in Screenshot 1.png")));
    }

    // The copy button runs through its states; the footer tells each outcome, with an undo for
    // a trash and in orange for a failure.
    void copyTrashAndTheirToasts()
    {
        Gallery g;
        g.connectWith(2, 0);
        GalleryButton &copy = *g.view->actionBar()->copyButton();
        GalleryFooter &footer = *g.view->footer();
        QCOMPARE(copy.title(), QStringLiteral("Copy"));
        QCOMPARE(copy.symbol(), QStringLiteral("square.on.square"));

        // Its title, symbol, name for a screen reader, and whether it can be pressed.
        const auto shown = [&] {
            return QStringList{copy.title(), copy.symbol(), copy.accessibleName(),
                               copy.isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled")};
        };
        // The copy may finish before the click returns: record what the button shows meanwhile.
        QList<QStringList> seen;
        QObject::connect(&g.f.model->copyActions(), &CopyActions::isCopyingChanged, &copy, [&] {
            if (!g.f.model->copyActions().isCopying())
                return;
            g.rendered();
            seen.append(shown());
        });
        g.f.model->toasts().setDurationScale(0.25); // the "Copied" mark goes with its toast
        click(&copy);
        QTRY_VERIFY(!seen.isEmpty());
        QCOMPARE(seen.first(), (QStringList{"Copying", "ellipsis", "Copying screenshot", "disabled"}));

        QTRY_COMPARE(copy.title(), QStringLiteral("Copied"));
        QCOMPARE(shown(), (QStringList{"Copied", "checkmark", "Screenshot copied", "enabled"}));
        // The mark goes with the toast.
        QTRY_COMPARE(copy.title(), QStringLiteral("Copy"));

        g.f.model->toasts().setDurationScale(1);
        click(g.view->actionBar()->trashButton());
        QTRY_COMPARE(footer.form(), GalleryFooter::Form::toast);
        QCOMPARE(footer.toastLabel()->text(), *g.f.model->toasts().message());
        QCOMPARE(footer.toastSymbol()->symbol(), QStringLiteral("checkmark.circle.fill"));
        QCOMPARE(footer.toastSymbol()->colour(), std::optional<QColor>(BrimfoldDesign::accent()));
        click(footer.undoButton());
        QTRY_VERIFY(g.f.item(QStringLiteral("Screenshot 1.png")).has_value());

        // A failure says so in orange, with nothing to undo.
        g.f.clipboard->accepts = false;
        g.f.model->select(*g.f.item(QStringLiteral("Screenshot 1.png")));
        click(g.view->actionBar()->copyButton());
        QTRY_COMPARE(footer.toastSymbol()->symbol(), QStringLiteral("exclamationmark.circle.fill"));
        QCOMPARE(footer.toastSymbol()->colour(), std::optional<QColor>(GalleryFooter::orange()));
        QVERIFY(!footer.undoButton()->isVisible());
        QCOMPARE(copy.title(), QStringLiteral("Copy"));
    }

    void statusWithRetry()
    {
        Gallery g;
        g.f.recognizer->failing.insert(QStringLiteral("Screenshot 1.png"));
        g.f.recognizer->hold(QStringLiteral("Screenshot 1.png"));
        g.f.shot(QStringLiteral("Screenshot 1.png"));
        g.f.connectFolder();
        GalleryFooter &footer = *g.view->footer();
        QTRY_COMPARE(footer.form(), GalleryFooter::Form::status);
        QVERIFY(footer.statusSpinner()->isVisible());
        QVERIFY(!footer.retryButton()->isVisible());
        QVERIFY(footer.statusLabel()->text().startsWith(QStringLiteral("Reading text ·")));

        g.f.recognizer->release();
        QVERIFY(g.f.settle());
        QTRY_COMPARE(footer.statusLabel()->text(), QStringLiteral("Some text couldn’t be read"));
        QVERIFY(!footer.statusSpinner()->isVisible());
        QCOMPARE(footer.statusSymbol()->symbol(), QStringLiteral("text.viewfinder"));
        const int before = g.f.recognizer->recognized;
        click(footer.retryButton());
        QTRY_VERIFY(g.f.recognizer->recognized > before);
    }

    void selectingATileTakesFocusFromSearch()
    {
        Gallery g;
        g.connectWith(2);
        QApplication::setActiveWindow(g.view.get());
        QVERIFY(QTest::qWaitForWindowActive(g.view.get()));
        g.focus.postFocusSearch();
        QTRY_VERIFY(g.view->searchFocused());

        GalleryGrid &grid = *g.view->grid();
        // The grid lays its tiles out on a timer of its own; a busy machine may not have run it yet.
        const QModelIndex second = grid.model()->index(1, 0);
        QTRY_VERIFY(grid.visualRect(second).isValid() && grid.indexAt(grid.visualRect(second).center()) == second);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(second).center());
        QTRY_VERIFY(!g.view->searchFocused());
        QVERIFY(grid.hasFocus());
        QCOMPARE(g.f.model->selectedID(), std::optional<QString>(g.f.model->visibleItems().at(1).id()));

        g.focus.postFocusSearch();
        QTRY_VERIFY(g.view->searchFocused());
        g.focus.postFocusGallery();
        QTRY_VERIFY(grid.hasFocus());
    }
};

QTEST_MAIN(TestGalleryView)
#include "tst_galleryview.moc"
