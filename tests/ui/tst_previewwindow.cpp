#include "core/Screenshot.h"
#include "platform/ImageServices.h"
#include "ui/PreviewWindow.h"

#include <QHash>
#include <QMutex>
#include <QScreen>
#include <QSemaphore>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

// Paints a solid picture per path instead of decoding, notes the threads and sizes asked for,
// and holds a decode at its path's gate until the test opens it.
class FakeImages final : public ImageServices
{
public:
    std::optional<QSize> pixelSize(const QString &) const override { return std::nullopt; }
    std::optional<QImage> decodeFirstImage(const QString &) const override { return std::nullopt; }
    std::optional<QImage> downscaledImage(const QString &path, int maxPixelSize) const override
    {
        std::shared_ptr<QSemaphore> gate;
        {
            QMutexLocker lock(&m_mutex);
            threads.insert(QThread::currentThread());
            largestSide = std::max(largestSide, maxPixelSize);
            gate = gates.value(path);
        }
        // Bounded, so a decode made on the calling thread fails the test instead of hanging it.
        if (gate)
            gate->tryAcquire(1, 10000);
        if (path.endsWith(QLatin1String(".broken")))
            return std::nullopt;
        QImage image(maxPixelSize, maxPixelSize * 3 / 4, QImage::Format_RGB32);
        image.fill(path.startsWith(QLatin1String("/b")) ? Qt::blue : Qt::red);
        return image;
    }

    QHash<QString, std::shared_ptr<QSemaphore>> gates; // set up before the decodes
    mutable QSet<QThread *> threads;                   // read once they finished
    mutable int largestSide = 0;

private:
    mutable QMutex m_mutex;
};

Screenshot shot(const QString &path)
{
    const QDateTime when(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
    return Screenshot::withResolvedPath(path, when, when, 1000, 5120, 2880);
}

} // namespace

class TestPreviewWindow : public QObject
{
    Q_OBJECT

private slots:
    void decodesInTheBackgroundAndDropsStaleResults();
    void closesAndLetsThePictureGo_data();
    void closesAndLetsThePictureGo();
    void undecodableFileSaysSo();
};

void TestPreviewWindow::decodesInTheBackgroundAndDropsStaleResults()
{
    FakeImages images;
    for (const char *path : {"/a.png", "/c.png"})
        images.gates.insert(QLatin1String(path), std::make_shared<QSemaphore>());
    PreviewWindow window(images);
    QScreen *screen = QGuiApplication::primaryScreen();
    window.show(shot(QStringLiteral("/a.png")), screen);
    // Open at once, waiting on the decode rather than blocked by it.
    QVERIFY(window.isVisible());
    QCOMPARE(window.content(), PreviewWindow::Content::loading);

    window.show(shot(QStringLiteral("/b.png")), screen);
    QTRY_COMPARE(window.content(), PreviewWindow::Content::image);
    images.gates.value(QStringLiteral("/a.png"))->release();
    QTRY_VERIFY(!window.isDecoding());
    QCOMPARE(window.image().pixelColor(0, 0), QColor(Qt::blue));
    QVERIFY(!images.threads.contains(QThread::currentThread()));
    const QRect area = screen->availableGeometry();
    const qreal screenSide = std::max(area.width(), area.height()) * screen->devicePixelRatio();
    QVERIFY(images.largestSide > 0 && images.largestSide <= screenSide);
    QVERIFY((window.geometry().center() - area.center()).manhattanLength() <= 2);

    // Closed while decoding: the late picture is not kept.
    window.show(shot(QStringLiteral("/c.png")), screen);
    window.hide();
    images.gates.value(QStringLiteral("/c.png"))->release();
    QTRY_VERIFY(!window.isDecoding());
    QVERIFY(window.image().isNull());
}

void TestPreviewWindow::closesAndLetsThePictureGo_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"escape", "space", "click", "close", "toggle"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

void TestPreviewWindow::closesAndLetsThePictureGo()
{
    QFETCH(QString, how);
    FakeImages images;
    PreviewWindow window(images);
    const Screenshot item = shot(QStringLiteral("/a.png"));
    window.toggle(item);
    QTRY_COMPARE(window.content(), PreviewWindow::Content::image);
    QSignalSpy closed(&window, &PreviewWindow::closed);

    if (how == QLatin1String("escape"))
        QTest::keyClick(&window, Qt::Key_Escape);
    else if (how == QLatin1String("space"))
        QTest::keyClick(&window, Qt::Key_Space);
    else if (how == QLatin1String("click"))
        QTest::mouseClick(&window, Qt::LeftButton, {}, window.rect().center());
    else if (how == QLatin1String("close"))
        window.close();
    else
        window.toggle(item);
    window.hide();

    QVERIFY(!window.isVisible());
    QCOMPARE(closed.count(), 1);
    QVERIFY(window.image().isNull());
}

void TestPreviewWindow::undecodableFileSaysSo()
{
    FakeImages images;
    PreviewWindow window(images);
    window.show(shot(QStringLiteral("/a.broken")));
    QTRY_COMPARE(window.content(), PreviewWindow::Content::unavailable);

    // A message on the backdrop, not an empty dark box.
    const QImage picture = window.grab().toImage();
    int light = 0;
    for (int y = picture.height() / 4; y < picture.height() * 3 / 4; ++y) {
        for (int x = picture.width() / 4; x < picture.width() * 3 / 4; ++x)
            light += picture.pixelColor(x, y).lightness() > 150 ? 1 : 0;
    }
    QVERIFY2(light > 50, qPrintable(QString::number(light)));
}

QTEST_MAIN(TestPreviewWindow)
#include "tst_previewwindow.moc"
