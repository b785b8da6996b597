// Writes pictures of the gallery's main states into $BRIMFOLD_RENDER_DIR, for looking at
// the design as a whole. Without the variable it does nothing.

#include "FakeShare.h"
#include "SystemImages.h"
#include "LibraryModelHarness.h"
#include "DrawnScenes.h"
#include "FakeAccessibility.h"

#include "platform/ImageServices.h"
#include "platform/ShareServices.h"
#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/grid/GalleryGrid.h"
#include "ui/gallery/GalleryView.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QtTest>

using harness::Fixture;

namespace {

// The panel on a soft desktop, as it floats over other windows.
QImage onDesktop(QWidget &view)
{
    const QPixmap panel = view.grab();
    const int margin = 36;
    QImage image(panel.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient g(0, 0, image.width(), image.height());
    g.setColorAt(0, QColor(198, 210, 238));
    g.setColorAt(1, QColor(232, 214, 228));
    p.fillRect(image.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    // A soft shadow under the panel.
    for (int i = 12; i > 0; --i) {
        QPainterPath shadow;
        shadow.addRoundedRect(QRectF(margin - i, margin - i + 8, panel.width() + 2 * i,
                                     panel.height() + 2 * i), 26 + i, 26 + i);
        p.fillPath(shadow, QColor(40, 40, 80, 5));
    }
    p.drawPixmap(margin, margin, panel);
    return image;
}

} // namespace

class TestRenderGallery : public QObject
{
    Q_OBJECT

private slots:
    void render();
};

void TestRenderGallery::render()
{
    const QString dir = qEnvironmentVariable("BRIMFOLD_RENDER_DIR");
    if (dir.isEmpty())
        QSKIP("BRIMFOLD_RENDER_DIR is not set: nothing to render");
    QVERIFY(QDir().mkpath(dir));

    Fixture f;
    FakeAccessibility accessibility(true, false);
    ThumbnailCache thumbnails(systemImages());
    FakeShare share;
    FocusRequests focus;
    f.preferences->setFolderPath(QDir::homePath() + QStringLiteral("/Pictures/Screenshots"));
    GalleryActions actions(*f.model, share);
    GalleryView view(*f.model, *f.preferences, true, accessibility, thumbnails, share, focus, actions);
    view.resize(598, 590);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    const auto save = [&](const char *name) {
        QApplication::processEvents();
        QVERIFY(onDesktop(view).save(QDir(dir).filePath(QString::fromLatin1(name) + ".png")));
    };
    // Waits until every tile in view has its thumbnail.
    const auto thumbnailsLoaded = [&] {
        for (const Screenshot &item : f.model->visibleItems()) {
            const int row = view.grid()->rowOf(item.id());
            if (row < 0 || !view.grid()->viewport()->rect().intersects(
                               view.grid()->visualRect(view.grid()->model()->index(row, 0))))
                continue;
            if (!thumbnails.cachedImage(item, 440))
                return false;
        }
        return true;
    };

    save("1-welcome");

    const QDateTime now = QDateTime::currentDateTime();
    const QList<DrawnScreenshots::Shot> list = DrawnScreenshots::shots();
    for (int i = 0; i < list.size(); ++i) {
        const QString path = QDir(f.folder).filePath(list.at(i).name);
        QVERIFY(list.at(i).image.save(path));
        QVERIFY(TestSupport::setModificationTime(path, now.addSecs(-(i * 5400) - 60)));
        f.recognizer->setText(list.at(i).name, list.at(i).text);
    }
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), list.size());
    QVERIFY(f.settle());
    f.model->toasts().setDurationScale(0.05); // the pins' toasts are not pictured
    f.model->pin(f.model->items().at(3));
    f.model->pin(f.model->items().at(6));
    f.model->select(f.model->items().at(1));
    QTRY_VERIFY_WITH_TIMEOUT(thumbnailsLoaded(), 20000);
    QTRY_VERIFY(!f.model->toasts().message());
    f.model->toasts().setDurationScale(1);
    save("2-grid");

    f.model->setQuery(QStringLiteral("invoice"));
    QTRY_VERIFY_WITH_TIMEOUT(thumbnailsLoaded(), 20000);
    save("3-search");

    f.model->setQuery(QStringLiteral("zebra crossing"));
    save("4-empty-search");
    f.model->setQuery(QString());

    f.model->select(f.model->items().at(2));
    f.model->trashUndo().trash(f.model->items().at(2));
    QTRY_VERIFY(f.model->trashUndo().canUndo());
    QTRY_VERIFY_WITH_TIMEOUT(thumbnailsLoaded(), 20000);
    save("5-trash-toast");

    QVERIFY(QDir().rename(f.folder, f.folder + QStringLiteral(" moved")));
    f.model->refresh(false);
    QTRY_VERIFY(f.model->errorMessage().has_value());
    QTRY_VERIFY_WITH_TIMEOUT(!f.model->toasts().message(), 10000);
    save("6-error-banner");
}

QTEST_MAIN(TestRenderGallery)
#include "render_gallery.moc"
