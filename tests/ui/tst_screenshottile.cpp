// The gallery's tiles: the list adapter over the library, the tile painter, the grid that
// hosts them, and the share button's menu.

#include "../library/LibraryModelHarness.h"

#include "platform/ImageServices.h"
#include "platform/ShareServices.h"
#include "platform/SystemShareServices.h"
#include "ui/GalleryGrid.h"
#include "ui/GalleryItemModel.h"
#include "ui/ScreenshotTileDelegate.h"
#include "ui/ShareButton.h"
#include "ui/ThumbnailCache.h"

#include <QAccessible>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>

using harness::Fixture;

namespace {

class FakeShare final : public ShareServices
{
public:
    bool isAvailable(Service service) const override { return !missing.contains(service); }
    bool email(const QUrl &file) override { return record(QStringLiteral("email"), file); }
    bool openWith(const QUrl &file) override { return record(QStringLiteral("openWith"), file); }
    bool copyFile(const QUrl &file) override { return record(QStringLiteral("copyFile"), file); }
    bool showInFiles(const QUrl &file) override { return record(QStringLiteral("showInFiles"), file); }

    bool record(const QString &call, const QUrl &file)
    {
        calls.append(call + QLatin1Char(' ') + file.toLocalFile());
        return true;
    }

    QList<Service> missing;
    QStringList calls;
};

QStringList titles(const QMenu &menu)
{
    QStringList result;
    for (const QAction *action : menu.actions())
        result.append(action->isSeparator() ? QStringLiteral("---") : action->text());
    return result;
}

QAction *actionNamed(const QMenu &menu, const QString &title)
{
    for (QAction *action : menu.actions()) {
        if (action->text() == title)
            return action;
    }
    return nullptr;
}

Screenshot sample(const QString &name = QStringLiteral("Screenshot 1.png"))
{
    const QDateTime when(QDate(2026, 3, 10), QTime(9, 41));
    return Screenshot::withResolvedPath(QStringLiteral("/shots/") + name, when, when, 2048, 1440,
                                        900);
}

} // namespace

class TestScreenshotTile : public QObject
{
    Q_OBJECT

private slots:
    void accessibilityLabel_data();
    void accessibilityLabel();
    void accessibleTextFollowsModel();
    void dayLabel_data();
    void dayLabel();
    void timeLabel_data();
    void timeLabel();
    void rowChangesTouchOnlyTheirRows();
    void contextMenuOrderAndTitles_data();
    void contextMenuOrderAndTitles();
    void contextMenuActions();
    void dragOffersTheFile();
    void selectionSyncsBothWays();
    void selectionScrollsIntoView();
    void doubleClickRequestsPreview();
    void paintRequestsMissingThumbnail();
    void shareMenuHidesMissingTools();
    void copyFileOffersTheFileToFileManagers();
};

void TestScreenshotTile::accessibilityLabel_data()
{
    QTest::addColumn<bool>("pinned");
    QTest::addColumn<QString>("snippet"); // null: none
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << false << QString() << QStringLiteral("Screenshot 1, 1440 × 900");
    QTest::newRow("pinned") << true << QString()
                            << QStringLiteral("Screenshot 1, 1440 × 900, pinned");
    QTest::newRow("snippet") << false << QStringLiteral("total 42")
                             << QStringLiteral("Screenshot 1, 1440 × 900, matching text: total 42");
    QTest::newRow("pinned and snippet")
        << true << QStringLiteral("total 42")
        << QStringLiteral("Screenshot 1, 1440 × 900, pinned, matching text: total 42");
}

void TestScreenshotTile::accessibilityLabel()
{
    QFETCH(bool, pinned);
    QFETCH(QString, snippet);
    QFETCH(QString, expected);
    const std::optional<QString> text = snippet.isNull() ? std::nullopt : std::optional(snippet);
    QCOMPARE(GalleryItemModel::accessibilityLabel(sample(), pinned, text), expected);
}

void TestScreenshotTile::accessibleTextFollowsModel()
{
    Fixture f;
    f.recognizer->setText(QStringLiteral("Screenshot b.png"), QStringLiteral("invoice total 42"));
    QVERIFY(f.populate({QStringLiteral("Screenshot a.png"), QStringLiteral("Screenshot b.png")}));
    GalleryItemModel items(*f.model);
    const Screenshot b = *f.item(QStringLiteral("Screenshot b.png"));
    const QString plain = b.displayName() + QStringLiteral(", ") + b.dimensions();
    QCOMPARE(items.index(items.rowOf(b.id())).data(Qt::AccessibleTextRole).toString(), plain);

    f.model->pin(b);
    QTRY_COMPARE(items.index(items.rowOf(b.id())).data(Qt::AccessibleTextRole).toString(),
                 plain + QStringLiteral(", pinned"));

    f.model->setQuery(QStringLiteral("invoice"));
    QTRY_COMPARE(items.rowCount(), 1);
    const QModelIndex row = items.index(items.rowOf(b.id()));
    const std::optional<QString> snippet = f.model->textSnippet(b);
    QVERIFY(snippet && snippet->contains(QStringLiteral("invoice")));
    QCOMPARE(row.data(GalleryItemModel::SnippetRole).toString(), *snippet);
    QCOMPARE(row.data(Qt::AccessibleTextRole).toString(),
             plain + QStringLiteral(", pinned, matching text: ") + *snippet);
    CHECK_CONSISTENT(f);
}

void TestScreenshotTile::dayLabel_data()
{
    QTest::addColumn<QDateTime>("createdAt");
    QTest::addColumn<QString>("expected");
    const QDateTime now(QDate(2026, 3, 10), QTime(0, 30));

    QTest::newRow("earlier today") << QDateTime(QDate(2026, 3, 10), QTime(0, 0)) << "Today";
    QTest::newRow("later today") << QDateTime(QDate(2026, 3, 10), QTime(23, 59)) << "Today";
    QTest::newRow("yesterday, late") << QDateTime(QDate(2026, 3, 9), QTime(23, 59)) << "Yesterday";
    QTest::newRow("yesterday, early") << QDateTime(QDate(2026, 3, 9), QTime(0, 0)) << "Yesterday";
    QTest::newRow("two days ago") << QDateTime(QDate(2026, 3, 8), QTime(12, 0)) << "Mar 8";
    QTest::newRow("same day last year") << QDateTime(QDate(2025, 3, 10), QTime(0, 10)) << "Mar 10";
    QTest::newRow("across a year") << QDateTime(QDate(2025, 12, 31), QTime(8, 0)) << "Dec 31";
}

void TestScreenshotTile::dayLabel()
{
    QFETCH(QDateTime, createdAt);
    QFETCH(QString, expected);
    const QDateTime now(QDate(2026, 3, 10), QTime(0, 30));
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(ScreenshotTileDelegate::dayLabel(createdAt, now, english), expected);
    // Yesterday seen from the first minutes of a new year.
    QCOMPARE(ScreenshotTileDelegate::dayLabel(QDateTime(QDate(2025, 12, 31), QTime(23, 0)),
                                              QDateTime(QDate(2026, 1, 1), QTime(0, 5)), english),
             QStringLiteral("Yesterday"));
}

void TestScreenshotTile::timeLabel_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "3:07 PM";
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "15:07";
    QTest::newRow("C: no seconds") << QLocale::c() << "15:07";
}

void TestScreenshotTile::timeLabel()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QString label = ScreenshotTileDelegate::timeLabel(QDateTime(QDate(2026, 3, 10), QTime(15, 7, 42)),
                                                      locale);
    // CLDR versions differ in the space before AM/PM.
    label.replace(QChar(0x20), QChar(0x202f));
    QCOMPARE(label, expected);
}

void TestScreenshotTile::rowChangesTouchOnlyTheirRows()
{
    Fixture f;
    QVERIFY(f.populate(harness::shotNames(5)));
    GalleryItemModel items(*f.model);
    QSignalSpy changed(&items, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(&items, &QAbstractItemModel::modelReset);
    const QList<Screenshot> shown = f.model->visibleItems();

    f.model->select(shown.at(0));
    changed.clear();
    f.model->select(shown.at(3));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 0);
    QCOMPARE(changed.at(1).at(0).toModelIndex().row(), 3);
    QVERIFY(!items.index(0).data(GalleryItemModel::SelectedRole).toBool());
    QVERIFY(items.index(3).data(GalleryItemModel::SelectedRole).toBool());

    // Pinning on the Recent tab keeps the rows: one row changes, nothing resets.
    changed.clear();
    f.model->pin(shown.at(2));
    QTRY_VERIFY(items.index(2).data(GalleryItemModel::PinnedRole).toBool());
    for (const QList<QVariant> &signal : std::as_const(changed))
        QCOMPARE(signal.at(0).toModelIndex().row(), 2);
    QCOMPARE(resets.size(), 0);

    // The Pinned tab is a different list: the rows are replaced.
    f.model->setPinnedOnly(true);
    QTRY_COMPARE(resets.size(), 1);
    QCOMPARE(items.rowCount(), 1);
    QCOMPARE(items.index(0).data(GalleryItemModel::IdRole).toString(), shown.at(2).id());
    CHECK_CONSISTENT(f);
}

void TestScreenshotTile::contextMenuOrderAndTitles_data()
{
    QTest::addColumn<bool>("pinned");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("not pinned") << false
                                << QStringList{"Copy image", "Copy text", "Preview", "Pin for later",
                                               "Show in Files", "---", "Move to Trash"};
    QTest::newRow("pinned") << true
                            << QStringList{"Copy image", "Copy text", "Preview", "Unpin",
                                           "Show in Files", "---", "Move to Trash"};
}

void TestScreenshotTile::contextMenuOrderAndTitles()
{
    QFETCH(bool, pinned);
    QFETCH(QStringList, expected);
    Fixture f;
    QVERIFY(f.populate({QStringLiteral("Screenshot a.png")}));
    const Screenshot a = *f.item(QStringLiteral("Screenshot a.png"));
    if (pinned)
        f.model->pin(a);
    ThumbnailCache thumbnails(ImageServices::system());
    FakeShare share;
    GalleryGrid grid(*f.model, thumbnails, share);
    std::unique_ptr<QMenu> menu(grid.createContextMenu(a));
    QCOMPARE(titles(*menu), expected);
    QCOMPARE(actionNamed(*menu, expected.at(3))->data().toString(), QStringLiteral("pin"));
    QVERIFY(actionNamed(*menu, QStringLiteral("Move to Trash"))->property("destructive").toBool());
}

void TestScreenshotTile::contextMenuActions()
{
    Fixture f;
    QVERIFY(f.populate({QStringLiteral("Screenshot a.png")}));
    const Screenshot a = *f.item(QStringLiteral("Screenshot a.png"));
    ThumbnailCache thumbnails(ImageServices::system());
    FakeShare share;
    GalleryGrid grid(*f.model, thumbnails, share);
    QSignalSpy previews(&grid, &GalleryGrid::previewRequested);

    std::unique_ptr<QMenu> menu(grid.createContextMenu(a));
    actionNamed(*menu, QStringLiteral("Preview"))->trigger();
    QCOMPARE(previews.size(), 1);
    QCOMPARE(previews.at(0).at(0).value<Screenshot>().id(), a.id());

    actionNamed(*menu, QStringLiteral("Show in Files"))->trigger();
    QCOMPARE(share.calls, QStringList{QStringLiteral("showInFiles ") + a.id()});

    actionNamed(*menu, QStringLiteral("Pin for later"))->trigger();
    QTRY_VERIFY(f.model->state().contains(a.id()));

    actionNamed(*menu, QStringLiteral("Copy image"))->trigger();
    QTRY_VERIFY(f.clipboard->image.has_value());
    CHECK_CONSISTENT(f);
}

void TestScreenshotTile::dragOffersTheFile()
{
    const Screenshot item = sample(QStringLiteral("Screen Shot #1.png"));
    std::unique_ptr<QMimeData> data(GalleryGrid::mimeDataFor(item));
    QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
    QCOMPARE(data->urls(), QList<QUrl>{QUrl::fromLocalFile(item.id())});
    QCOMPARE(data->urls().constFirst().toLocalFile(), item.id());
}

void TestScreenshotTile::selectionSyncsBothWays()
{
    Fixture f;
    QVERIFY(f.populate(harness::shotNames(6)));
    ThumbnailCache thumbnails(ImageServices::system());
    FakeShare share;
    GalleryGrid grid(*f.model, thumbnails, share);
    grid.resize(640, 520);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QList<Screenshot> shown = f.model->visibleItems();

    // Model → grid.
    f.model->select(shown.at(4));
    QCOMPARE(grid.currentIndex().row(), 4);
    QCOMPARE(grid.selectionModel()->selectedIndexes().size(), 1);
    QVERIFY(grid.selectionModel()->isSelected(grid.model()->index(4, 0)));

    // Grid → model: a click selects and tells the gallery.
    QSignalSpy clicked(&grid, &GalleryGrid::itemClicked);
    const QRect tile = grid.visualRect(grid.model()->index(1, 0));
    QVERIFY(grid.viewport()->rect().contains(tile.center()));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, tile.center());
    QCOMPARE(f.model->selectedID(), std::optional(shown.at(1).id()));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(grid.currentIndex().row(), 1);

    // A click beside the tiles selects nothing.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(2, grid.viewport()->height() - 2));
    QCOMPARE(clicked.size(), 1);

    // Three columns: Down moves by a row, Right by one.
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(f.model->selectedID(), std::optional(shown.at(4).id()));
    QTest::keyClick(&grid, Qt::Key_Right);
    QCOMPARE(f.model->selectedID(), std::optional(shown.at(5).id()));
    QCOMPARE(grid.visualRect(grid.model()->index(3, 0)).left(),
             grid.visualRect(grid.model()->index(0, 0)).left());
    QVERIFY(grid.visualRect(grid.model()->index(3, 0)).top()
            > grid.visualRect(grid.model()->index(2, 0)).bottom());

    // The screen reader sees one element per tile, named like the tile.
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&grid);
    QVERIFY(list);
    QCOMPARE(list->childCount(), shown.size());
    QCOMPARE(list->child(0)->text(QAccessible::Name),
             grid.model()->index(0, 0).data(Qt::AccessibleTextRole).toString());
    CHECK_CONSISTENT(f);
}

void TestScreenshotTile::selectionScrollsIntoView()
{
    Fixture f;
    QVERIFY(f.populate(harness::shotNames(18)));
    ThumbnailCache thumbnails(ImageServices::system());
    FakeShare share;
    GalleryGrid grid(*f.model, thumbnails, share);
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QList<Screenshot> shown = f.model->visibleItems();
    const auto fullyVisible = [&](int row) {
        return grid.viewport()->rect().contains(grid.visualRect(grid.model()->index(row, 0)));
    };
    QVERIFY(!fullyVisible(17));

    f.model->select(shown.at(17));
    QTRY_VERIFY(fullyVisible(17));

    f.model->select(shown.at(0));
    QTRY_VERIFY(fullyVisible(0));
    QCOMPARE(grid.verticalScrollBar()->value(), 0);
}

void TestScreenshotTile::doubleClickRequestsPreview()
{
    Fixture f;
    QVERIFY(f.populate(harness::shotNames(2)));
    ThumbnailCache thumbnails(ImageServices::system());
    FakeShare share;
    GalleryGrid grid(*f.model, thumbnails, share);
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy previews(&grid, &GalleryGrid::previewRequested);
    const QPoint centre = grid.visualRect(grid.model()->index(1, 0)).center();
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, centre);
    QCOMPARE(previews.size(), 1);
    QCOMPARE(previews.at(0).at(0).value<Screenshot>().id(), f.model->visibleItems().at(1).id());
    QCOMPARE(f.model->selectedID(), std::optional(f.model->visibleItems().at(1).id()));
}

void TestScreenshotTile::paintRequestsMissingThumbnail()
{
    Fixture f;
    QVERIFY(f.populate({QStringLiteral("Screenshot a.png")}));
    GalleryItemModel items(*f.model);
    ThumbnailCache thumbnails(ImageServices::system());
    ScreenshotTileDelegate delegate(thumbnails);
    delegate.setTileWidth(180);
    const Screenshot a = *f.item(QStringLiteral("Screenshot a.png"));
    const QString key = ThumbnailCache::key(a, 440);
    const QModelIndex index = items.index(0);

    QStyleOptionViewItem option;
    option.rect = QRect(QPoint(0, 0), delegate.sizeHint(option, index));
    option.palette = QPalette(Qt::white);
    QCOMPARE(option.rect.size(), QSize(180, delegate.tileHeight()));
    const auto render = [&] {
        QImage canvas(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        delegate.paint(&painter, option, index);
        return canvas;
    };

    QSignalSpy repaint(&delegate, &ScreenshotTileDelegate::repaintNeeded);
    const QImage without = render();
    QVERIFY(thumbnails.isLoading(key));
    QVERIFY(delegate.isWaitingFor(key));
    QVERIFY(repaint.wait(10000));
    QCOMPARE(repaint.at(0).at(0).toModelIndex(), index);
    QVERIFY(thumbnails.cachedImage(a, 440).has_value());

    const QImage with = render();
    QVERIFY(!thumbnails.isLoading(key));
    QVERIFY(!delegate.isWaitingFor(key));
    // The card and texts are the same; only the picture area changed.
    const QRect picture(3, 3, 174, 107);
    QVERIFY(with.copy(picture) != without.copy(picture));
    QCOMPARE(with.copy(0, picture.bottom() + 10, 180, 10),
             without.copy(0, picture.bottom() + 10, 180, 10));
}

void TestScreenshotTile::shareMenuHidesMissingTools()
{
    FakeShare share;
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/shots/Screenshot 1.png"));
    ShareButton button(share, file);
    QCOMPARE(button.toolTip(), QStringLiteral("Share screenshot"));
    QCOMPARE(button.accessibleName(), QStringLiteral("Share screenshot"));
    QCOMPARE(button.sizeHint(), QSize(32, 32));

    std::unique_ptr<QMenu> all(button.createMenu());
    QCOMPARE(titles(*all), (QStringList{"Email…", "Open With…", "Copy File"}));
    all->actions().at(2)->trigger();
    all->actions().at(0)->trigger();
    QCOMPARE(share.calls, (QStringList{"copyFile " + file.toLocalFile(), "email " + file.toLocalFile()}));

    share.missing = {ShareServices::Service::email};
    std::unique_ptr<QMenu> some(button.createMenu());
    QCOMPARE(titles(*some), (QStringList{"Open With…", "Copy File"}));
}

void TestScreenshotTile::copyFileOffersTheFileToFileManagers()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Screenshot 1.png"));
    QVERIFY(TestSupport::writeImage(path, TestSupport::drawTextImage({40, 30}, {"x"}), "png"));
    const QUrl file = QUrl::fromLocalFile(path);
    SystemShareServices share;
    QVERIFY(share.isAvailable(ShareServices::Service::copyFile));
    QVERIFY(share.copyFile(file));
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->urls(), QList<QUrl>{file});
    QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")),
             QByteArray("copy\n") + file.toEncoded());

    // Only existing local files leave; a vanished one is refused.
    QVERIFY(!share.copyFile(QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.png")))));
    QVERIFY(!share.email(QUrl(QStringLiteral("https://example.com/a.png"))));
    QVERIFY(!share.openWith(QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.png")))));
}

QTEST_MAIN(TestScreenshotTile)
#include "tst_screenshottile.moc"
