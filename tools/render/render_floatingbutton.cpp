// Writes pictures of the floating button's states into $BRIMFOLD_RENDER_DIR, at 1× and 2×, in
// light and dark, for looking at the design. Without the variable it does nothing.

#include "LibraryModelHarness.h"
#include "FakeAccessibility.h"
#include "SystemImages.h"

#include "ui/floating/FloatingButton.h"
#include "ui/floating/FloatingMoveButton.h"
#include "ui/gallery/grid/ThumbnailCache.h"

#include <QApplication>
#include <QPainter>
#include <QtTest>

using harness::Fixture;

namespace {

// A document-like screenshot with a coloured header, so the card reads as a picture.
QImage drawnScreenshot()
{
    QImage image(1280, 800, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 252));
    QPainter p(&image);
    p.fillRect(QRect(0, 0, 1280, 164), QColor(97, 97, 232));
    p.fillRect(QRect(0, 164, 300, 636), QColor(63, 45, 92));
    for (int i = 0; i < 9; ++i)
        p.fillRect(QRect(360, 220 + i * 56, 820 - (i % 3) * 160, 22), QColor(200, 202, 214));
    p.fillRect(QRect(940, 620, 240, 120), QColor(242, 102, 66));
    return image;
}

QImage renderAt(QWidget &view, qreal dpr)
{
    QImage image(view.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    // A masked widget renders its mask's bounding box at the target offset.
    const QPoint origin = view.mask().isEmpty() ? QPoint() : view.mask().boundingRect().topLeft();
    view.render(&image, origin, QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

class TestRenderFloatingButton : public QObject
{
    Q_OBJECT

private slots:
    void render();
};

void TestRenderFloatingButton::render()
{
    const QString dir = qEnvironmentVariable("BRIMFOLD_RENDER_DIR");
    if (dir.isEmpty())
        QSKIP("BRIMFOLD_RENDER_DIR is not set: nothing to render");
    QVERIFY(QDir().mkpath(dir));

    Fixture f;
    FakeAccessibility accessibility(true, false);
    ThumbnailCache thumbnails(systemImages());
    FloatingButton button(*f.model, *f.preferences, accessibility, thumbnails);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(38, 38, 44));
    dark.setColor(QPalette::WindowText, QColor(236, 236, 242));
    const QPalette palettes[] = {QApplication::palette(), dark};
    const QColor desktops[][2] = {{QColor(198, 210, 238), QColor(232, 214, 228)},
                                  {QColor(36, 40, 62), QColor(70, 44, 66)}};
    // Rows: states; columns: light, dark. One picture per state and palette at each scale.
    QList<QList<QImage>> rows[2];
    const auto capture = [&] {
        for (int scale = 1; scale <= 2; ++scale) {
            QList<QImage> row;
            for (const QPalette &palette : palettes) {
                button.setPalette(palette);
                row.append(renderAt(button, scale));
            }
            rows[scale - 1].append(row);
        }
    };

    capture(); // the glyph: nothing in the library yet
    const QString path = QDir(f.folder).filePath(QStringLiteral("Screenshot 1.png"));
    QVERIFY(drawnScreenshot().save(path));
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 1);
    QTRY_VERIFY(thumbnails.cachedImage(*f.model->latest(), button.side() * 2).has_value());
    capture(); // the tilted card
    f.model->setHasNewScreenshots(true);
    capture(); // with the dot
    QEnterEvent enter(QPointF(5, 5), QPointF(17, 17), button.mapToGlobal(QPointF(17, 17)));
    QApplication::sendEvent(button.moveButton(), &enter);
    capture(); // hovered: straight and larger
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button.moveButton(), &leave);
    accessibility.set(true, true);
    capture(); // opaque glass

    for (int scale = 1; scale <= 2; ++scale) {
        const int cell = button.width() + 24;
        QImage sheet(QSize(cell * 2, cell * rows[scale - 1].size()) * scale,
                     QImage::Format_ARGB32_Premultiplied);
        sheet.setDevicePixelRatio(scale);
        QPainter p(&sheet);
        for (int column = 0; column < 2; ++column) {
            QLinearGradient g(column * cell, 0, (column + 1) * cell, sheet.height() / scale);
            g.setColorAt(0, desktops[column][0]);
            g.setColorAt(1, desktops[column][1]);
            p.fillRect(QRectF(column * cell, 0, cell, sheet.height() / scale), g);
        }
        for (int row = 0; row < rows[scale - 1].size(); ++row) {
            for (int column = 0; column < 2; ++column)
                p.drawImage(QPointF(column * cell + 12, row * cell + 12), rows[scale - 1][row][column]);
        }
        p.end();
        QVERIFY(sheet.save(QDir(dir).filePath(QStringLiteral("floating-button@%1x.png").arg(scale))));
    }
}

QTEST_MAIN(TestRenderFloatingButton)
#include "render_floatingbutton.moc"
