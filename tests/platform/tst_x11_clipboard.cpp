#include "platform/SystemClipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

QByteArray pngBytes()
{
    QImage image(120, 80, QImage::Format_ARGB32);
    image.fill(QColor(250, 250, 245));
    QPainter painter(&image);
    painter.fillRect(10, 10, 60, 30, QColor(20, 90, 200));
    painter.end();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

} // namespace

// Reads the clipboard the way another application does, through xclip. While we own the
// selection, our event loop must keep running to answer, so xclip is only ever waited for
// with the event loop turning.
class TestX11Clipboard final : public QObject
{
    Q_OBJECT

private:
    SystemClipboard m_clipboard;

    // xclip's output; fails the test when it does not finish cleanly.
    void readClipboard(const QString &target, QByteArray &output)
    {
        QProcess process;
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(QStringLiteral("xclip"),
                      {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                       target, QStringLiteral("-o")});
        QVERIFY(finished.wait(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        output = process.readAllStandardOutput();
    }

    void readTargets(QStringList &targets)
    {
        QByteArray output;
        readClipboard(QStringLiteral("TARGETS"), output);
        targets = QString::fromLatin1(output).split(u'\n', Qt::SkipEmptyParts);
        targets.sort();
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty(), "xclip is missing");
    }

    void imageOffersExactlyTheBytesAsPngOnly()
    {
        const QByteArray png = pngBytes();
        QVERIFY(m_clipboard.writeImagePng(png));

        QStringList targets;
        readTargets(targets);
        // Besides the one image type, only the selection protocol's own housekeeping targets.
        QCOMPARE(targets, (QStringList{QStringLiteral("MULTIPLE"), QStringLiteral("SAVE_TARGETS"),
                                       QStringLiteral("TARGETS"), QStringLiteral("TIMESTAMP"),
                                       QStringLiteral("image/png")}));
        QByteArray served;
        readClipboard(QStringLiteral("image/png"), served);
        QCOMPARE(served, png);
    }

    void emptyImageIsRefused()
    {
        QVERIFY(!m_clipboard.writeImagePng(QByteArray()));
    }

    void textRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QStringLiteral("Invoice 2024-0117");
        QTest::newRow("lines") << QStringLiteral("first line\nsecond line\n");
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße – ٱلعربية ✓");
    }

    void textRoundTrip()
    {
        QFETCH(QString, text);
        QVERIFY(m_clipboard.writeImagePng(pngBytes()));
        QVERIFY(m_clipboard.writeText(text));

        QByteArray served;
        readClipboard(QStringLiteral("UTF8_STRING"), served);
        QCOMPARE(QString::fromUtf8(served), text);
        QStringList targets;
        readTargets(targets);
        QVERIFY(targets.contains(QStringLiteral("text/plain")));
        // The earlier image is gone entirely.
        QVERIFY(!targets.contains(QStringLiteral("image/png")));
    }

    void writeTakesTheClipboardBackFromAnotherOwner()
    {
        QClipboard *clipboard = QGuiApplication::clipboard();
        QVERIFY(m_clipboard.writeText(QStringLiteral("ours")));
        QVERIFY(clipboard->ownsClipboard());

        // xclip takes the selection and keeps serving it from the background until it loses it.
        QProcess other;
        QSignalSpy finished(&other, &QProcess::finished);
        other.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                              QStringLiteral("-i")});
        QVERIFY(other.waitForStarted());
        other.write("theirs");
        other.closeWriteChannel();
        QVERIFY(finished.wait(20000));
        QTRY_VERIFY_WITH_TIMEOUT(!clipboard->ownsClipboard(), 20000);

        QVERIFY(m_clipboard.writeText(QStringLiteral("ours again")));
        QByteArray served;
        readClipboard(QStringLiteral("UTF8_STRING"), served);
        QCOMPARE(served, QByteArray("ours again"));
    }
};

QTEST_MAIN(TestX11Clipboard)
#include "tst_x11_clipboard.moc"
