#include "platform/ImageServices.h"
#include "platform/x11/SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

// Reads the clipboard the way another application does, through xclip. While we own the
// selection, our event loop must keep running to answer, so xclip is only ever waited for
// with the event loop turning.
class TestX11Clipboard final : public QObject
{
    Q_OBJECT

private:
    SystemClipboard m_clipboard;

    static QByteArray pngBytes()
    {
        QImage image(120, 80, QImage::Format_ARGB32);
        image.fill(QColor(20, 90, 200));
        return ImageServices::encodePng(image).value_or(QByteArray());
    }

    // xclip's output; fails the test when it does not finish cleanly. "TARGETS" come sorted.
    void readClipboard(const QString &target, QByteArray &output)
    {
        QProcess process;
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                QStringLiteral("-t"), target, QStringLiteral("-o")});
        QVERIFY(finished.wait(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        output = process.readAllStandardOutput();
        if (target == QLatin1String("TARGETS")) {
            QByteArrayList targets = output.split('\n');
            targets.removeAll(QByteArray());
            std::sort(targets.begin(), targets.end());
            output = targets.join(' ');
        }
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty(), "xclip is missing");
    }

    void imageOffersExactlyTheBytesAsPngOnly()
    {
        QVERIFY(!m_clipboard.writeImagePng(QByteArray()));
        const QByteArray png = pngBytes();
        QVERIFY(m_clipboard.writeImagePng(png));
        QByteArray targets, served;
        readClipboard(QStringLiteral("TARGETS"), targets);
        // Besides the one image type, only the selection protocol's own housekeeping targets.
        QCOMPARE(targets, QByteArray("MULTIPLE SAVE_TARGETS TARGETS TIMESTAMP image/png"));
        readClipboard(QStringLiteral("image/png"), served);
        QCOMPARE(served, png);
    }

    void textRoundTrip()
    {
        const QString text = QStringLiteral("Grüße – ٱلعربية ✓\nsecond line\n");
        QVERIFY(m_clipboard.writeImagePng(pngBytes()));
        QVERIFY(m_clipboard.writeText(text));
        QByteArray served, targets;
        readClipboard(QStringLiteral("UTF8_STRING"), served);
        QCOMPARE(QString::fromUtf8(served), text);
        readClipboard(QStringLiteral("TARGETS"), targets);
        QVERIFY(targets.contains("text/plain"));
        QVERIFY(!targets.contains("image/png")); // the earlier image is gone entirely
    }

    void writeTakesTheClipboardBackFromAnotherOwner()
    {
        QVERIFY(m_clipboard.writeText(QStringLiteral("ours")));
        QVERIFY(QGuiApplication::clipboard()->ownsClipboard());
        // xclip takes the selection and keeps serving it from the background until it loses it.
        QProcess other;
        QSignalSpy finished(&other, &QProcess::finished);
        other.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
        QVERIFY(other.waitForStarted() && other.write("theirs") == 6);
        other.closeWriteChannel();
        QVERIFY(finished.wait(20000));
        QTRY_VERIFY_WITH_TIMEOUT(!QGuiApplication::clipboard()->ownsClipboard(), 20000);
        QVERIFY(m_clipboard.writeText(QStringLiteral("ours again")));
        QByteArray served;
        readClipboard(QStringLiteral("UTF8_STRING"), served);
        QCOMPARE(served, QByteArray("ours again"));
    }
};

QTEST_MAIN(TestX11Clipboard)
#include "tst_x11_clipboard.moc"
