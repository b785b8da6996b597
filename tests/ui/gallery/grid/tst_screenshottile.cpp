// The gallery's tiles: list adapter, tile painter, grid, and the share button's menu.

#include "FakeShare.h"
#include "SystemImages.h"
#include "LibraryModelHarness.h"

#include "platform/portal/SystemShareServices.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/grid/GalleryGrid.h"
#include "ui/gallery/grid/GalleryItemModel.h"
#include "ui/gallery/grid/ScreenshotTileDelegate.h"
#include "ui/controls/ShareButton.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QClipboard>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QtTest>

using harness::Fixture;

namespace {

// A populated library and the grid showing it.
struct Grid final
{
    explicit Grid(const QStringList &names, QSize size = {})
    {
        QVERIFY(f.populate(names));
        if (size.isValid()) {
            view.resize(size);
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
        }
    }
    QPoint centreOf(int row) const { return view.visualRect(view.model()->index(row, 0)).center(); }

    Fixture f;
    ThumbnailCache thumbnails{systemImages()};
    FakeShare share;
    GalleryActions actions{*f.model, share};
    GalleryGrid view{*f.model, thumbnails, actions};
};

// A populated library's tiles, painted one at a time as a 180-point wide grid shows them.
struct Tiles final
{
    explicit Tiles(const QStringList &names)
    {
        QVERIFY(f.populate(names));
        delegate.setTileWidth(180);
        option.rect = QRect(QPoint(0, 0), delegate.sizeHint(option, items.index(0)));
        option.palette = QPalette(Qt::white);
    }
    // The tile of `row` on white, moved by `shift`, on a canvas `margin` larger than the tile.
    QImage paint(int row, QPointF shift = {}, QSize margin = {}) const
    {
        QImage canvas(option.rect.size() + margin, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        painter.translate(shift);
        delegate.paint(&painter, option, items.index(row));
        painter.end();
        return canvas;
    }

    Fixture f;
    GalleryItemModel items{*f.model};
    ThumbnailCache thumbnails{systemImages()};
    ScreenshotTileDelegate delegate{thumbnails};
    QStyleOptionViewItem option;
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
    const QList<QAction *> actions = menu.actions();
    const auto found = std::find_if(actions.begin(), actions.end(),
                                    [&](const QAction *action) { return action->text() == title; });
    return found == actions.end() ? nullptr : *found;
}

} // namespace

class TestScreenshotTile : public QObject
{
    Q_OBJECT

private slots:
    void dayLabel_data()
    {
        QTest::addColumn<QDateTime>("createdAt");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("expected");
        const QDateTime now(QDate(2026, 3, 10), QTime(0, 30));
        QTest::newRow("earlier today") << QDateTime(QDate(2026, 3, 10), QTime(0, 0)) << now << "Today";
        QTest::newRow("later today") << QDateTime(QDate(2026, 3, 10), QTime(23, 59)) << now << "Today";
        QTest::newRow("yesterday, late") << QDateTime(QDate(2026, 3, 9), QTime(23, 59)) << now << "Yesterday";
        QTest::newRow("yesterday, early") << QDateTime(QDate(2026, 3, 9), QTime(0, 0)) << now << "Yesterday";
        QTest::newRow("two days ago") << QDateTime(QDate(2026, 3, 8), QTime(12, 0)) << now << "Mar 8";
        QTest::newRow("same day last year") << QDateTime(QDate(2025, 3, 10), QTime(0, 10)) << now << "Mar 10";
        QTest::newRow("yesterday across a year") << QDateTime(QDate(2025, 12, 31), QTime(23, 0))
                                                 << QDateTime(QDate(2026, 1, 1), QTime(0, 5)) << "Yesterday";
    }

    void dayLabel()
    {
        QFETCH(QDateTime, createdAt);
        QFETCH(QDateTime, now);
        QFETCH(QString, expected);
        QCOMPARE(ScreenshotTileDelegate::dayLabel(createdAt, now, QLocale(QLocale::English, QLocale::UnitedStates)),
                 expected);
    }

    void timeLabel()
    {
        const QDateTime at(QDate(2026, 3, 10), QTime(15, 7, 42));
        QString us = ScreenshotTileDelegate::timeLabel(at, QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(us.replace(QChar(0x202f), QChar(0x20)), QStringLiteral("3:07 PM")); // CLDR spacing varies
        QCOMPARE(ScreenshotTileDelegate::timeLabel(at, QLocale::c()), QStringLiteral("15:07")); // no seconds
        // In no language do the seconds show.
        for (const QLocale &locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                              QLocale::AnyTerritory)) {
            const QString label = ScreenshotTileDelegate::timeLabel(at, locale);
            QVERIFY2(!label.contains(locale.toString(42)), qPrintable(locale.name() + QLatin1Char(' ') + label));
        }
    }

    void shownSnippet_data()
    {
        QTest::addColumn<QString>("snippet");
        QTest::addColumn<QString>("match");
        QTest::addColumn<bool>("cut"); // the text starts after "…"
        const QString log = QStringLiteral("2024-05-01 03:00:01 nightly backup job 17 on host atlas-7 checked "
                                           "412 files in /home/photos, finished the local copy to the external "
                                           "disk, then started rsync to glacier");
        QTest::newRow("match late in a long line") << log << "rsync" << true;
        QTest::newRow("match at the start") << log << "2024-05-01" << false;
        QTest::newRow("short line") << QStringLiteral("rsync   glacier\tvault") << "glacier" << false;
    }

    // Whatever the width, the tile shows the word that matched.
    void shownSnippet()
    {
        QFETCH(QString, snippet);
        QFETCH(QString, match);
        QFETCH(bool, cut);
        const QFont font = BrimfoldDesign::font(10);
        for (const qreal width : {100.0, 154.0, 240.0}) {
            const QStringList lines = ScreenshotTileDelegate::shownSnippet(snippet, snippet.indexOf(match), font, width);
            QVERIFY(lines.size() <= ScreenshotTileDelegate::snippetLines);
            const QString shown = lines.join(u' ');
            QVERIFY2(shown.contains(match), qPrintable(QStringLiteral("%1: %2").arg(width).arg(shown)));
            if (cut)
                QVERIFY2(shown.startsWith(u'\u2026'), qPrintable(shown));
            else
                QVERIFY2(snippet.simplified().startsWith(lines.first()), qPrintable(shown));
            for (const QString &line : lines)
                QVERIFY2(QFontMetricsF(font).horizontalAdvance(line) <= width, qPrintable(line));
        }
    }

    void contextMenuOrderAndTitles_data()
    {
        QTest::addColumn<bool>("pinned");
        QTest::addColumn<QString>("pinTitle");
        QTest::newRow("not pinned") << false << "Pin for later";
        QTest::newRow("pinned") << true << "Unpin";
    }

    void contextMenuOrderAndTitles()
    {
        QFETCH(bool, pinned);
        QFETCH(QString, pinTitle);
        Grid g({QStringLiteral("Screenshot a.png")});
        const Screenshot a = *g.f.item(QStringLiteral("Screenshot a.png"));
        if (pinned)
            g.f.model->pin(a);
        std::unique_ptr<QMenu> menu(g.view.createContextMenu(a));
        QCOMPARE(titles(*menu), (QStringList{"Copy image", "Copy text", "Preview", pinTitle,
                                             "Show in Files", "---", "Move to Trash"}));
        QVERIFY(actionNamed(*menu, QStringLiteral("Move to Trash"))->property("destructive").toBool());

        QSignalSpy previews(&g.actions, &GalleryActions::previewRequested);
        actionNamed(*menu, QStringLiteral("Preview"))->trigger();
        QCOMPARE(previews.at(0).at(0).value<Screenshot>().id(), a.id());
        actionNamed(*menu, QStringLiteral("Show in Files"))->trigger();
        QCOMPARE(g.share.calls, QStringList{QStringLiteral("showInFiles ") + a.id()});
        actionNamed(*menu, pinTitle)->trigger();
        QTRY_COMPARE(g.f.model->state().contains(a.id()), !pinned);
        actionNamed(*menu, QStringLiteral("Copy image"))->trigger();
        QTRY_VERIFY(g.f.clipboard->image.has_value());
    }

    void dragOffersTheFile()
    {
        Grid g(harness::shotNames(3), QSize(640, 520));
        const Screenshot item = g.f.model->visibleItems().at(1);
        GalleryItemModel &items = g.view.itemModel();
        QCOMPARE(items.supportedDragActions(), Qt::CopyAction);
        const QModelIndex row = items.index(1);
        QVERIFY(items.flags(row).testFlag(Qt::ItemIsDragEnabled));
        std::unique_ptr<QMimeData> data(items.mimeData({row}));
        QVERIFY(data->hasFormat(items.mimeTypes().constFirst()));
        QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
        QCOMPARE(data->urls(), QList<QUrl>{QUrl::fromLocalFile(item.id())});

        // Pressing a tile selects it, Control held or not; moving on past the drag distance starts
        // the view's own drag, carrying what the model gives. A platform whose drag runs its own
        // loop is answered with a cancel from inside it; the drag object lives on until events are
        // next handled.
        QTest::mousePress(g.view.viewport(), Qt::LeftButton, Qt::ControlModifier, g.centreOf(1));
        QCOMPARE(g.f.model->selectedID(), std::optional(item.id()));
        QVERIFY(!g.view.findChild<QDrag *>());
        const QPoint away = g.centreOf(1) + QPoint(0, 2 * QApplication::startDragDistance());
        QTest::mouseMove(g.view.viewport(), away - QPoint(0, 1));
        QTimer::singleShot(0, &g.view, [] { QDrag::cancel(); });
        QTest::mouseMove(g.view.viewport(), away);
        const QDrag *drag = g.view.findChild<QDrag *>();
        QVERIFY(drag);
        QCOMPARE(drag->mimeData()->urls(), QList<QUrl>{item.url()});
        QCOMPARE(drag->supportedActions(), Qt::DropActions(Qt::CopyAction));
        QTest::mouseRelease(g.view.viewport(), Qt::LeftButton, {}, away);
        QCOMPARE(g.f.model->selectedID(), std::optional(item.id()));

        // A press between the tiles neither selects nor drags, however far it then moves over them.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!g.view.findChild<QDrag *>());
        const QPoint between(2, g.view.viewport()->height() - 2);
        QTest::mousePress(g.view.viewport(), Qt::LeftButton, {}, between);
        QTest::mouseMove(g.view.viewport(), g.centreOf(2));
        QTest::mouseMove(g.view.viewport(), g.centreOf(0));
        QTest::mouseRelease(g.view.viewport(), Qt::LeftButton, {}, g.centreOf(0));
        QCOMPARE(g.f.model->selectedID(), std::optional(item.id()));
        QVERIFY(!g.view.findChild<QDrag *>());
    }

    void selectionSyncsBothWays()
    {
        Grid g(harness::shotNames(6), QSize(640, 520));
        GalleryGrid &grid = g.view;
        const QList<Screenshot> shown = g.f.model->visibleItems();

        // Model → grid.
        g.f.model->select(shown.at(4));
        QCOMPARE(grid.currentIndex().row(), 4);
        QCOMPARE(grid.selectionModel()->selectedIndexes().size(), 1);

        // Grid → model: a click selects and tells the gallery; a click beside the tiles does not.
        QSignalSpy clicked(&grid, &GalleryGrid::itemClicked);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, g.centreOf(1));
        QCOMPARE(g.f.model->selectedID(), std::optional(shown.at(1).id()));
        QCOMPARE(grid.currentIndex().row(), 1);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(2, grid.viewport()->height() - 2));
        QCOMPARE(clicked.size(), 1);

        // A double click selects and asks for a preview.
        QSignalSpy previews(&g.actions, &GalleryActions::previewRequested);
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, g.centreOf(2));
        QCOMPARE(previews.size(), 1);
        QCOMPARE(previews.at(0).at(0).value<Screenshot>().id(), shown.at(2).id());
        QCOMPARE(g.f.model->selectedID(), std::optional(shown.at(2).id()));

        CHECK_CONSISTENT(g.f);
    }

    void paintRequestsMissingThumbnail()
    {
        Tiles t({QStringLiteral("Screenshot a.png")});
        const QString key = ThumbnailCache::key(*t.f.item(QStringLiteral("Screenshot a.png")), 440);
        QSignalSpy repaint(&t.delegate, &ScreenshotTileDelegate::repaintNeeded);
        const QImage without = t.paint(0);
        QVERIFY(t.delegate.isWaitingFor(key));
        QVERIFY(repaint.wait(10000));
        QCOMPARE(repaint.at(0).at(0).toModelIndex(), t.items.index(0));
        const QImage with = t.paint(0);
        // The card and texts are the same; only the picture area changed.
        const QRect picture(3, 3, 174, 107);
        QVERIFY(with.copy(picture) != without.copy(picture));
        QCOMPARE(with.copy(0, picture.bottom() + 10, 180, 10), without.copy(0, picture.bottom() + 10, 180, 10));
    }

    // Cards and labels are kept and copied: each tile still shows its own look and day.
    void tileKeepsItsOwnLookAndDay()
    {
        Tiles t({QStringLiteral("Screenshot a.png"), QStringLiteral("Screenshot b.png")});
        const QSize tile = t.option.rect.size();
        const auto card = [&](int row, QPointF shift) {
            const QImage canvas = t.paint(row, shift, QSize(2, 2));
            // The card's edge above the picture, and its left edge beside it.
            return QList<QImage>{canvas.copy(0, 0, tile.width(), ScreenshotTileDelegate::imageInset),
                                 canvas.copy(0, 0, ScreenshotTileDelegate::imageInset, 60)};
        };
        t.f.model->select(t.f.model->visibleItems().at(0));
        // The kept day labels follow the clock: "Today" becomes "Yesterday" at midnight.
        const QDateTime made = t.f.model->visibleItems().at(1).createdAt();
        QDateTime clock = made;
        t.delegate.setNow([&] { return clock; });
        const auto texts = [&] {
            const int below = ScreenshotTileDelegate::imageHeight + 2 * ScreenshotTileDelegate::imageInset;
            return t.paint(1).copy(0, below, tile.width(), tile.height() - below); // the labels
        };
        const QImage today = texts();
        clock = made.addDays(1);
        QVERIFY(texts() != today);
        clock = made;
        QCOMPARE(texts(), today);

        const QList<QImage> selected = card(0, {});
        const QList<QImage> plain = card(1, {});
        QVERIFY(selected != plain);
        QCOMPARE(card(0, {}), selected);
        QCOMPARE(card(1, {}), plain);
        // Half a pixel across, the outline is its own, not the whole-pixel one moved.
        QVERIFY(card(1, QPointF(0.5, 0)) != plain);
    }

    void shareMenuHidesMissingTools()
    {
        FakeShare share;
        const QUrl file = QUrl::fromLocalFile(QStringLiteral("/shots/Screenshot 1.png"));
        ShareButton button(share, file);
        QCOMPARE(button.accessibleName(), QStringLiteral("Share screenshot"));
        std::unique_ptr<QMenu> all(button.createMenu());
        QCOMPARE(titles(*all), (QStringList{"Email…", "Open With…", "Copy File"}));
        all->actions().at(2)->trigger();
        QCOMPARE(share.calls, QStringList{"copyFile " + file.toLocalFile()});

        share.missing = {ShareServices::Service::email};
        std::unique_ptr<QMenu> some(button.createMenu());
        QCOMPARE(titles(*some), (QStringList{"Open With…", "Copy File"}));
    }

    void copyFileOffersOnlyExistingFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Screenshot 1.png"));
        QVERIFY(TestSupport::writeImage(path, TestSupport::drawTextImage({40, 30}, {"x"}), "png"));
        const QUrl file = QUrl::fromLocalFile(path);
        SystemShareServices share;
        QVERIFY(share.copyFile(file));
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->urls(), QList<QUrl>{file});
        QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), QByteArray("copy\n") + file.toEncoded());

        const QUrl gone = QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.png")));
        QVERIFY(!share.copyFile(gone));
        QVERIFY(!share.openWith(gone));
        QVERIFY(!share.email(QUrl(QStringLiteral("https://example.com/a.png"))));
    }
};

QTEST_MAIN(TestScreenshotTile)
#include "tst_screenshottile.moc"
