// Writes pictures of the preview marking what a search found into $BRIMFOLD_RENDER_DIR, with
// the words placed by the real recogniser. Without the variable it does nothing.

#include "DrawnScenes.h"
#include "DrawnScreenshots.h"
#include "SystemImages.h"

#include "core/Screenshot.h"
#include "platform/ImageServices.h"
#include "text/ScreenshotText.h"
#include "text/TesseractRecognizer.h"
#include "ui/preview/PreviewWindow.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

class TestRenderPreview : public QObject
{
    Q_OBJECT

private slots:
    void render();
};

void TestRenderPreview::render()
{
    const QString dir = qEnvironmentVariable("BRIMFOLD_RENDER_DIR");
    if (dir.isEmpty())
        QSKIP("BRIMFOLD_RENDER_DIR is not set: nothing to render");
    QVERIFY(QDir().mkpath(dir));
    ImageServices::applyAllocationLimit();
    TesseractRecognizer recognizer(QString(), systemImages());
    const auto configured = recognizer.capabilities();
    QVERIFY(std::holds_alternative<TextRecognitionCapabilities>(configured));
    const auto capabilities = std::get<TextRecognitionCapabilities>(configured);

    QTemporaryDir folder;
    PreviewWindow window(systemImages());
    QScreen *screen = QGuiApplication::primaryScreen();
    // On a dim desktop, as it floats over other windows.
    const auto write = [&](const QString &name) {
        QApplication::processEvents();
        const QPixmap shown = window.grab();
        QImage out(shown.size() + QSize(48, 48), QImage::Format_ARGB32_Premultiplied);
        out.fill(QColor(70, 76, 92));
        QPainter(&out).drawPixmap(24, 24, shown);
        QVERIFY(out.save(QDir(dir).filePath(name + QStringLiteral(".png"))));
    };
    const auto preview = [&](const QString &name, const QImage &image, const QString &query) {
        const QString path = folder.filePath(name);
        QVERIFY(image.save(path));
        const auto result = recognizer.recognize(path, capabilities);
        QVERIFY(std::holds_alternative<RecognizedText>(result));
        const auto &read = std::get<RecognizedText>(result);
        const QDateTime when = QDateTime::currentDateTime();
        window.show(Screenshot::withResolvedPath(path, when, when, 1000, image.width(), image.height()),
                    screen, ScreenshotText(read.text, read.words).matchingWordBoxes(query));
        QTRY_COMPARE(window.content(), PreviewWindow::Content::image);
        write(QFileInfo(name).completeBaseName());
    };

    // Larger than the screen: opens at its own size on the first word found, the caption
    // saying how large; F fits it whole with the words still marked.
    const QList<DrawnScreenshots::Shot> shots = DrawnScreenshots::shots();
    preview(QStringLiteral("7-preview-zoomed.png"), shots.at(1).image, QStringLiteral("northwind"));
    QTest::keyClick(&window, Qt::Key_F);
    write(QStringLiteral("7-preview-zoomed-then-fitted"));
    // Small enough to fit: every word found is marked in place, Arabic and mixed lines too.
    const DrawnScreenshots::WordPage page = DrawnScreenshots::wordPage(
        QSize(560, 300),
        {{{QStringLiteral("Quarterly"), QStringLiteral("invoice"), QStringLiteral("summary")}},
         {{QStringLiteral("Invoice"), QStringLiteral("2024"), QStringLiteral(u"الفاتورة")}},
         {{QStringLiteral(u"تم"), QStringLiteral(u"دفع"), QStringLiteral(u"الفاتورة")}, true}},
        24);
    preview(QStringLiteral("8-preview-fitted.png"), page.image, QStringLiteral(u"invoice الفاتورة ٢٠٢٤"));
}

QTEST_MAIN(TestRenderPreview)
#include "render_preview.moc"
