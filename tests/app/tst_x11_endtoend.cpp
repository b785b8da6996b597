// The real program, used as a person would: a private HOME, a display with a window manager, a
// session bus and a tray host; keys and clicks through xdotool, the clipboard through xclip.
#include "DesktopTools.h"

#include "platform/x11/X11.h"
#include "ui/design/BrimfoldDesign.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace desktop;

namespace {

QString wmClass(xcb_connection_t *x, xcb_window_t window)
{
    const auto reply = X11::Reply<xcb_get_property_reply_t>(xcb_get_property_reply(
        x, xcb_get_property(x, false, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
    if (!reply)
        return {};
    return QString::fromLatin1(static_cast<const char *>(xcb_get_property_value(reply.get())),
                               xcb_get_property_value_length(reply.get()));
}

// A window of ours somewhere below `parent`.
xcb_window_t ourWindowBelow(xcb_connection_t *x, xcb_window_t parent)
{
    const auto tree = X11::Reply<xcb_query_tree_reply_t>(xcb_query_tree_reply(x, xcb_query_tree(x, parent), nullptr));
    if (!tree)
        return 0;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (wmClass(x, children[i]).startsWith(QLatin1String("brimfold")))
            return children[i];
        if (const xcb_window_t found = ourWindowBelow(x, children[i]))
            return found;
    }
    return 0;
}

// The icon a tray host embedded for the program, inside trayer's windows.
xcb_window_t embeddedTrayIcon()
{
    const QStringList panels = xdotool({"search", "--class", "trayer"}).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &panel : panels) {
        if (const xcb_window_t icon = ourWindowBelow(X11::connection(), panel.toUInt()))
            return icon;
    }
    return 0;
}

// Whether the floating button shows its coral new-screenshot dot.
bool buttonShowsDot(const QString &window)
{
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(window.toULongLong()).toImage();
    const QColor coral = BrimfoldDesign::coral();
    int close = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - coral.red()) + std::abs(c.green() - coral.green())
                    + std::abs(c.blue() - coral.blue()) < 40)
                ++close;
        }
    }
    return close >= 12;
}

} // namespace

class TestEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!X11::connection())
            QSKIP("needs an X11 display");
        for (const char *tool : {"xdotool", "xclip", "xmessage", "trayer"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("needs %1").arg(QString::fromLatin1(tool))));
        }
    }

    void aPersonUsesIt()
    {
        // Screenshots, oldest first; only one has the word "pelican", and only inside its image.
        QTemporaryDir home;
        const QString folder = QDir(home.path()).filePath(QStringLiteral("Shots"));
        const QStringList words{"pelican harbour at dawn", "quarterly report draft", "terminal build output",
                                "meeting notes today"};
        QHash<QString, QByteArray> originals;
        const QDateTime start = QDateTime::currentDateTime().addSecs(-3600);
        for (int i = 0; i < words.size(); ++i) {
            const QString path = QDir(folder).filePath(QStringLiteral("Screenshot %1.png").arg(i + 1));
            QVERIFY(TestSupport::writeImage(path, TestSupport::drawTextImage({640, 240}, {words[i]}, 28), "png"));
            QVERIFY(TestSupport::setModificationTime(path, start.addSecs(60 * i)));
            originals.insert(path, TestSupport::readFile(path));
        }
        const QString newest = QDir(folder).filePath(QStringLiteral("Screenshot 4.png"));

        QVERIFY(!writeConnectedSettings(folder).isEmpty());

        QProcess tray;
        tray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
        QVERIFY(tray.waitForStarted());
        const auto stopTray = qScopeGuard([&] { tray.kill(); tray.waitForFinished(); });
        QTRY_VERIFY_WITH_TIMEOUT(!xdotool({"search", "--class", "trayer"}).isEmpty(), 10000);
        OtherWindow other;
        other.activate();

        QProcess brimfold;
        brimfold.setProcessChannelMode(QProcess::ForwardedChannels);
        brimfold.start(QStringLiteral(BRIMFOLD_EXECUTABLE), {});
        QVERIFY(brimfold.waitForStarted());
        const auto stopBrimfold = qScopeGuard([&] { brimfold.kill(); brimfold.waitForFinished(); });

        // The tray icon and the floating button appear; the gallery waits to be asked for.
        QTRY_VERIFY_WITH_TIMEOUT(embeddedTrayIcon() != 0, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(QStringLiteral("Brimfold button")).size(), 1, 15000);
        QVERIFY(visibleWindows(QStringLiteral("Brimfold")).isEmpty());
        const QString button = visibleWindows(QStringLiteral("Brimfold button")).first();
        QVERIFY(!buttonShowsDot(button));

        // A screenshot arrives while the gallery is hidden: the button says so.
        const QString arrived = QDir(folder).filePath(QStringLiteral("Screenshot 5.png"));
        QVERIFY(TestSupport::writeImage(arrived, TestSupport::drawTextImage({640, 240}, {QStringLiteral("fresh capture")}, 28), "png"));
        originals.insert(arrived, TestSupport::readFile(arrived));
        QTRY_VERIFY_WITH_TIMEOUT(buttonShowsDot(button), 15000);

        // The hot key opens the gallery with the newest selected; Ctrl+C copies its very bytes.
        key("ctrl+shift+g");
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(QStringLiteral("Brimfold")).size(), 1, 10000);
        const quint64 gallery = visibleWindows(QStringLiteral("Brimfold")).first().toULongLong();
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), gallery, 10000);
        key("ctrl+c");
        QTRY_COMPARE_WITH_TIMEOUT(clipboard("image/png"), originals.value(arrived), 10000);

        // A word found only inside one image narrows the gallery to it once the text is read:
        // copying the selection's text then gives that image's words.
        key("ctrl+f");
        xdotool({"type", "--delay", "40", "pelican"});
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                key("ctrl+shift+c");
                return QTest::qWaitFor(
                    [&] {
                        return QString::fromUtf8(clipboard("UTF8_STRING")).contains(QLatin1String("pelican"), Qt::CaseInsensitive);
                    },
                    2000);
            }(),
            90000);

        // Escape clears the search, a second one hides the gallery and gives the keyboard back.
        key("Escape");
        key("Escape");
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(QStringLiteral("Brimfold")).isEmpty(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), other.id, 10000);

        // "Quit Brimfold", the tray menu's last entry, ends the program normally.
        const xcb_window_t icon = embeddedTrayIcon();
        QVERIFY(icon != 0);
        // The menu is the window of ours that the click adds, and tall enough for its entries:
        // the icon and the button are ours too, and so is a tooltip the pointer may raise.
        const auto ourVisibleWindows = [] {
            return xdotool({"search", "--onlyvisible", "--classname", "brimfold"}).split(u'\n', Qt::SkipEmptyParts);
        };
        const auto field = [](const QString &geometry, const char *name) {
            return QRegularExpression(QStringLiteral("%1=(\\d+)").arg(QLatin1String(name))).match(geometry).captured(1).toInt();
        };
        const QStringList before = ourVisibleWindows();
        xdotool({"mousemove", "--window", QString::number(icon), "8", "8", "click", "3"});
        QString geometry;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const QString &window : ourVisibleWindows()) {
                    const QString shape = xdotool({"getwindowgeometry", "--shell", window});
                    if (!before.contains(window) && field(shape, "HEIGHT") > 60)
                        geometry = shape;
                }
                return !geometry.isEmpty();
            }(),
            5000);
        // Its last entry, clicked where it is drawn: a click needs no keyboard grab to be in place.
        xdotool({"mousemove", QString::number(field(geometry, "X") + field(geometry, "WIDTH") / 2),
                 QString::number(field(geometry, "Y") + field(geometry, "HEIGHT") - 12), "click", "1"});
        QVERIFY2(brimfold.waitForFinished(15000), qPrintable(QStringLiteral("clicked near the foot of ") + geometry));
        QCOMPARE(brimfold.exitStatus(), QProcess::NormalExit);
        QCOMPARE(brimfold.exitCode(), 0);

        // Every original is as it was.
        for (auto it = originals.cbegin(); it != originals.cend(); ++it)
            QVERIFY2(TestSupport::readFile(it.key()) == it.value(), qPrintable(it.key()));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_x11_endtoend.moc"
