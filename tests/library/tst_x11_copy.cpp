// Copying through the library model onto the real X11 clipboard, read back by another program.
#include "DesktopTools.h"
#include "LibraryModelHarness.h"

#include "platform/x11/SystemClipboard.h"
#include "platform/freedesktop/SystemTrash.h"

#include <QStandardPaths>

using namespace harness;

class TestX11Copy final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            QSKIP("needs xclip");
    }

    void copiedImagesArriveAsPng()
    {
        Fixture f(Watch::fake, std::make_unique<SystemTrash>(), {}, std::make_unique<SystemClipboard>());
        const QString png = f.shot(QStringLiteral("Screenshot a.png"));
        const QString jpeg = writeShot(f.folder, QStringLiteral("Screenshot b.jpg"), "jpg", QSize(300, 180));
        QVERIFY(!png.isEmpty() && !jpeg.isEmpty());
        f.connectFolder();
        QTRY_COMPARE_WITH_TIMEOUT(f.model->items().size(), 2, 10000);
        LibraryModel &model = *f.model;

        for (const QString &path : {png, jpeg}) {
            const std::optional<Screenshot> item = f.item(QFileInfo(path).fileName());
            QVERIFY(item);
            model.copyActions().copy(*item);
            QTRY_COMPARE(model.toasts().message().value_or(QString()), QStringLiteral("Copied. Ready to paste."));

            const QByteArray served = desktop::clipboard("image/png");
            if (path == png) {
                QCOMPARE(served, TestSupport::readFile(png));
            } else {
                QImage decoded;
                QVERIFY(decoded.loadFromData(served, "png"));
                QCOMPARE(decoded.size(), QSize(300, 180));
            }
            model.toasts().show(QStringLiteral("next")); // clears the mark between rounds
        }
    }
};

QTEST_MAIN(TestX11Copy)
#include "tst_x11_copy.moc"
