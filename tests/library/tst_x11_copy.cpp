// Copying through the library model onto the real X11 clipboard, read back by another program.
#include "TestSupport.h"
#include "LibraryModelHarness.h"

#include "platform/x11/SystemClipboard.h"
#include "platform/image/SystemImageServices.h"
#include "platform/freedesktop/SystemTrash.h"

#include <QProcess>
#include <QStandardPaths>

using namespace harness;

namespace {

// Runs xclip while this process keeps serving the clipboard from its event loop.
QByteArray readClipboard(const QString &target)
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-t"), target, QStringLiteral("-o")});
    if (!xclip.waitForStarted()
        || !QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000))
        return QByteArrayLiteral("<xclip failed>");
    return xclip.readAllStandardOutput();
}

} // namespace

class TestX11Copy final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            QSKIP("needs xclip");
    }

    void copiedImagesAreExactlyOnePng()
    {
        QTemporaryDir root;
        SystemImageServices images;
        const QString folder = QFileInfo(root.path()).canonicalFilePath();
        const QString png = writeShot(folder, QStringLiteral("Screenshot a.png"));
        const QString jpeg = writeShot(folder, QStringLiteral("Screenshot b.jpg"), "jpg", QSize(300, 180));
        QVERIFY(!png.isEmpty() && !jpeg.isEmpty());

        FakeScreenshotLocation location;
        SettingsStore store(root.filePath(QStringLiteral("settings.json")));
        Preferences preferences(store, location);
        LibraryModel::Services services;
        services.clipboard = std::make_unique<SystemClipboard>();
        services.trash = std::make_unique<SystemTrash>();
        services.images = &images;
        services.eventSource = std::make_unique<FakeFolderEvents>();
        services.textWorker = std::make_unique<ScreenshotTextWorker>(
            root.filePath(QStringLiteral("TextCache")), std::make_unique<FakeRecognizer>());
        LibraryModel model(preferences, std::move(services));
        model.connectFolder(QUrl::fromLocalFile(folder));
        QTRY_COMPARE_WITH_TIMEOUT(model.items().size(), 2, 10000);

        for (const QString &path : {png, jpeg}) {
            const auto item = std::find_if(model.items().cbegin(), model.items().cend(),
                                           [&](const Screenshot &s) { return s.id() == path; });
            QVERIFY(item != model.items().cend());
            model.copyActions().copy(*item);
            QTRY_COMPARE(model.toasts().message().value_or(QString()), QStringLiteral("Copied. Ready to paste."));

            QList<QByteArray> targets = readClipboard(QStringLiteral("TARGETS")).split('\n');
            targets.removeAll(QByteArray());
            for (const QByteArray &target : targets) {
                // Only the PNG data and the selection protocol's own targets.
                QVERIFY2(target == "image/png" || target == "TARGETS" || target == "MULTIPLE"
                             || target == "TIMESTAMP" || target == "SAVE_TARGETS",
                         target.constData());
            }
            QVERIFY(targets.contains("image/png"));

            const QByteArray served = readClipboard(QStringLiteral("image/png"));
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
