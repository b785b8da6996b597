// The gallery's one action set: what the bar and the tile menu show is what the set says, and
// an action that isn't available does nothing. Which actions a tile offers assistive technology
// is tst_tileaccessibility's.

#include "FakeShare.h"
#include "SystemImages.h"
#include "LibraryModelHarness.h"
#include "FakeAccessibility.h"

#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryActionBar.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/controls/GalleryButton.h"
#include "ui/gallery/grid/GalleryGrid.h"
#include "ui/gallery/GalleryView.h"
#include "ui/controls/QuietIconButton.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QMenu>
#include <QtTest>

Q_DECLARE_METATYPE(GalleryAction)

class TestGalleryActions : public QObject
{
    Q_OBJECT

private slots:
    void placesShowTheSet_data()
    {
        QTest::addColumn<GalleryAction>("action");
        QTest::addColumn<bool>("inMenu");
        QTest::newRow("copy") << GalleryAction::copy << true;
        QTest::newRow("copy text") << GalleryAction::copyText << true;
        QTest::newRow("preview") << GalleryAction::preview << true;
        QTest::newRow("pin") << GalleryAction::pin << true;
        QTest::newRow("trash") << GalleryAction::trash << true;
        QTest::newRow("show in files") << GalleryAction::showInFiles << true;
        QTest::newRow("share") << GalleryAction::share << false;
    }

    void placesShowTheSet()
    {
        QFETCH(GalleryAction, action);
        QFETCH(bool, inMenu);
        harness::Fixture f;
        QVERIFY(f.populate({QStringLiteral("Screenshot a.png")}));
        const Screenshot item = *f.item(QStringLiteral("Screenshot a.png"));
        f.model->pin(item); // the pin's texts depend on the item
        f.model->select(item);
        FakeAccessibility accessibility(true, false);
        ThumbnailCache thumbnails(systemImages());
        FakeShare share;
        FocusRequests focus;
        GalleryActions actions(*f.model, share);
        GalleryView view(*f.model, *f.preferences, false, accessibility, thumbnails, share, focus, actions);

        // The copy button shows its key beside the title instead of in a tooltip.
        const GalleryActionBar &bar = *view.actionBar();
        const QMap<GalleryAction, QString> barTexts{
            {GalleryAction::copy, bar.copyButton()->title() + QStringLiteral(" · ") + bar.copyButton()->hint()},
            {GalleryAction::copyText, bar.copyTextButton()->toolTip()},
            {GalleryAction::preview, bar.previewButton()->label()},
            {GalleryAction::pin, bar.pinButton()->label()},
            {GalleryAction::trash, bar.trashButton()->label()},
            {GalleryAction::share, bar.shareButton()->toolTip()}};
        if (barTexts.contains(action))
            QCOMPARE(barTexts.value(action), actions.toolTip(action, item));

        const std::unique_ptr<QMenu> menu(view.grid()->createContextMenu(item));
        const QList<QAction *> entries = menu->actions();
        const auto entry = std::find_if(entries.cbegin(), entries.cend(), [&](const QAction *a) {
            return !a->isSeparator() && a->data().toString() == actions.symbol(action);
        });
        QCOMPARE(entry != entries.cend(), inMenu);
        if (inMenu)
            QCOMPARE((*entry)->text(), actions.title(action, item));
    }

    void enabledAndTrigger_data()
    {
        QTest::addColumn<GalleryAction>("action");
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("copy, no item") << GalleryAction::copy << "no item" << false;
        QTest::newRow("preview, disconnected") << GalleryAction::preview << "disconnected" << false;
        QTest::newRow("show in files, disconnected") << GalleryAction::showInFiles << "disconnected" << false;
        QTest::newRow("copy text while reading") << GalleryAction::copyText << "reading text" << false;
        QTest::newRow("copy while reading") << GalleryAction::copy << "reading text" << true;
        QTest::newRow("undo, nothing trashed") << GalleryAction::undo << "item" << false;
        QTest::newRow("undo after trash") << GalleryAction::undo << "trashed" << true;
        QTest::newRow("share") << GalleryAction::share << "item" << true;
    }

    void enabledAndTrigger()
    {
        QFETCH(GalleryAction, action);
        QFETCH(QString, situation);
        QFETCH(bool, enabled);
        harness::Fixture f;
        QVERIFY(f.populate({QStringLiteral("Screenshot a.png"), QStringLiteral("Screenshot b.png")}));
        std::optional<Screenshot> item = f.item(QStringLiteral("Screenshot a.png"));
        FakeShare share;
        GalleryActions actions(*f.model, share);
        std::optional<harness::PoolGate> gate; // keeps a started copy from finishing before it is looked at
        if (situation == QLatin1String("no item")) {
            item.reset();
        } else if (situation == QLatin1String("disconnected")) {
            QVERIFY(QDir(f.folder).removeRecursively());
            f.model->refresh(false);
            QTRY_VERIFY(!f.model->connected());
        } else if (situation == QLatin1String("reading text")) {
            gate.emplace();
            f.model->copyActions().copyText(*f.item(QStringLiteral("Screenshot b.png")));
            QVERIFY(f.model->copyActions().isCopyingText());
        } else if (situation == QLatin1String("trashed")) {
            f.model->trashUndo().trash(*f.item(QStringLiteral("Screenshot b.png")));
            QVERIFY(f.model->trashUndo().canUndo());
        }
        QCOMPARE(actions.isEnabled(action, item), enabled);

        // Every action ends in one of these, synchronously.
        int effects = 0;
        const auto count = [&] { ++effects; };
        QObject::connect(&f.model->toasts(), &Toasts::messageChanged, &actions, count);
        QObject::connect(&f.model->copyActions(), &CopyActions::isCopyingChanged, &actions, count);
        QObject::connect(&f.model->trashUndo(), &TrashUndo::canUndoChanged, &actions, count);
        QObject::connect(f.model.get(), &LibraryModel::stateChanged, &actions, count);
        QObject::connect(&actions, &GalleryActions::previewRequested, &actions, [&] { ++effects; });
        QObject::connect(&actions, &GalleryActions::shareRequested, &actions, [&] { ++effects; });
        actions.trigger(action, item);
        QCOMPARE(effects + int(share.calls.size()) > 0, enabled);
    }
};

QTEST_MAIN(TestGalleryActions)
#include "tst_galleryactions.moc"
