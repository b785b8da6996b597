// What assistive technology sees of the gallery's tiles: one button per tile, named like the
// tile, selected with the library, with the tile's actions.

#include "FakeShare.h"
#include "SystemImages.h"
#include "LibraryModelHarness.h"

#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/grid/GalleryGrid.h"
#include "ui/gallery/grid/GalleryItemModel.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QAccessible>
#include <QtTest>

using harness::Fixture;

namespace {

struct Shown final
{
    Shown() { QVERIFY(f.populate({QStringLiteral("Screenshot a.png"), QStringLiteral("Screenshot b.png")})); }
    QAccessibleInterface *tile(int row) const { return QAccessible::queryAccessibleInterface(grid.get())->child(row); }

    Fixture f;
    ThumbnailCache thumbnails{systemImages()};
    FakeShare share{false};
    GalleryActions actions{*f.model, share};
    std::unique_ptr<GalleryGrid> grid = std::make_unique<GalleryGrid>(*f.model, thumbnails, actions);
};

} // namespace

class TestTileAccessibility : public QObject
{
    Q_OBJECT

private slots:
    // Active, so the change notifications run too.
    void initTestCase() { QAccessible::setActive(true); }

    void tilesAreNamedButtons()
    {
        Shown s;
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(s.grid.get());
        QVERIFY(list && list->role() == QAccessible::List);
        QCOMPARE(list->childCount(), s.f.model->visibleItems().size());
        const Screenshot b = *s.f.item(QStringLiteral("Screenshot b.png"));
        const int row = s.grid->rowOf(b.id());
        QAccessibleInterface *tile = list->child(row);
        QVERIFY(tile && tile->role() == QAccessible::Button);
        QCOMPARE(tile->childCount(), 0); // the thumbnail and captions are not elements of their own
        QVERIFY(tile->parent() == list && list->child(row) == tile);
        QCOMPARE(list->indexOfChild(tile), row);
        const QString plain = b.displayName() + QStringLiteral(", ") + b.dimensions();
        QCOMPARE(tile->text(QAccessible::Name), plain);

        s.f.model->pin(b);
        QTRY_COMPARE(tile->text(QAccessible::Name), plain + QStringLiteral(", pinned"));

        // A query that matches the recognised text adds the matching line, which the tile shows
        // with the match marked.
        s.f.model->setQuery(QStringLiteral("words"));
        const std::optional<QString> snippet = s.f.model->textSnippet(b);
        QVERIFY(snippet && snippet->contains(QStringLiteral("words")));
        QTRY_COMPARE(s.tile(s.grid->rowOf(b.id()))->text(QAccessible::Name),
                     plain + QStringLiteral(", pinned, matching text: ") + *snippet);
        const QModelIndex shown = s.grid->itemModel().index(s.grid->rowOf(b.id()));
        QCOMPARE(shown.data(GalleryItemModel::SnippetRole).toString(), *snippet);
        QCOMPARE(shown.data(GalleryItemModel::SnippetMatchRole).toInt(), snippet->indexOf(u"words"));
    }

    void actionsDoWhatTheMenuDoes()
    {
        Shown s;
        const QList<Screenshot> shown = s.f.model->visibleItems();
        QAccessibleActionInterface *actions = s.tile(1)->actionInterface();
        QVERIFY(actions);
        QCOMPARE(actions->actionNames(), (QStringList{QAccessibleActionInterface::pressAction(),
                                                      "Copy", "Copy text", "Preview"}));

        // The selected tile says so, whoever selected it.
        s.f.model->select(shown.at(0));
        QVERIFY(s.tile(0)->state().selected && !s.tile(1)->state().selected);
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(s.f.model->selectedID(), std::optional(shown.at(1).id()));
        const QAccessible::State state = s.tile(1)->state();
        QVERIFY(state.selected && state.selectable && state.focusable);
        QVERIFY(!s.tile(0)->state().selected);
        actions->doAction(QStringLiteral("Copy"));
        QTRY_VERIFY(s.f.clipboard->image.has_value());
        actions->doAction(QStringLiteral("Copy text"));
        QTRY_COMPARE(s.f.clipboard->text,
                     std::optional(QStringLiteral("words in ") + QFileInfo(shown.at(1).id()).fileName()));
        QSignalSpy previews(&s.actions, &GalleryActions::previewRequested);
        actions->doAction(QStringLiteral("Preview"));
        QCOMPARE(previews.size(), 1);
        QCOMPARE(previews.at(0).at(0).value<Screenshot>().id(), shown.at(1).id());
        CHECK_CONSISTENT(s.f);
    }

    void tilesAreDroppedWithTheirRows()
    {
        Shown s;
        const QAccessible::Id before = QAccessible::uniqueId(s.tile(0));
        // A query that hides a tile resets the rows: the old elements go, new ones follow.
        s.f.model->setQuery(QStringLiteral("Screenshot b"));
        QTRY_COMPARE(QAccessible::queryAccessibleInterface(s.grid.get())->childCount(), 1);
        QVERIFY(!QAccessible::accessibleInterface(before));
        const QAccessible::Id after = QAccessible::uniqueId(s.tile(0));
        QVERIFY(s.tile(0)->text(QAccessible::Name).startsWith(QStringLiteral("Screenshot b")) && !s.tile(1));
        // The grid takes its tiles with it.
        s.grid.reset();
        QVERIFY(!QAccessible::accessibleInterface(after));
    }
};

QTEST_MAIN(TestTileAccessibility)
#include "tst_tileaccessibility.moc"
