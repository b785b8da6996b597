#include "DesktopTools.h"
#include "platform/ImageServices.h"
#include "platform/x11/SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

// Reads the clipboard the way another application does, through xclip, the event loop turning
// meanwhile so that the selection we own is answered.
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

    // The targets the clipboard offers, sorted.
    static QByteArray targets()
    {
        QByteArrayList targets = desktop::clipboard("TARGETS").split('\n');
        targets.removeAll(QByteArray());
        std::sort(targets.begin(), targets.end());
        return targets.join(' ');
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
        // Besides the one image type, only the selection protocol's own housekeeping targets.
        QCOMPARE(targets(), QByteArray("MULTIPLE SAVE_TARGETS TARGETS TIMESTAMP image/png"));
        QCOMPARE(desktop::clipboard("image/png"), png);
    }

    void textRoundTrip()
    {
        const QString text = QStringLiteral("Grüße – ٱلعربية ✓\nsecond line\n");
        QVERIFY(m_clipboard.writeImagePng(pngBytes()));
        QVERIFY(m_clipboard.writeText(text));
        QCOMPARE(QString::fromUtf8(desktop::clipboard("UTF8_STRING")), text);
        QVERIFY(targets().contains("text/plain"));
        QVERIFY(!targets().contains("image/png")); // the earlier image is gone entirely
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
        QCOMPARE(desktop::clipboard("UTF8_STRING"), QByteArray("ours again"));
    }
};

QTEST_MAIN(TestX11Clipboard)
#include "tst_x11_clipboard.moc"
