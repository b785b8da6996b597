#include "platform/x11/SystemDisplays.h"
#include "platform/x11/X11.h"

#include <QCursor>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <optional>

// Runs on the test display: one 1920 × 1080 output named "screen" without EDID. Two displays
// are made by splitting it into RandR monitors, which Qt reports as separate screens.
class TestX11Displays final : public QObject
{
    Q_OBJECT

private:
    SystemDisplays *m_displays = nullptr;

    static bool xrandr(const QString &arguments)
    {
        return QProcess::execute(QStringLiteral("xrandr"), arguments.split(QLatin1Char(' '))) == 0;
    }

    // The ids of the displays, sorted and joined with spaces.
    QString ids() const
    {
        QStringList result;
        for (const Displays::Display &display : m_displays->displays())
            result.append(display.id);
        result.sort();
        return result.join(QLatin1Char(' '));
    }

    // Sets (or with empty bytes deletes) the EDID property of the display's one RandR output.
    static bool setEdid(const QByteArray &edid)
    {
        xcb_connection_t *c = X11::connection();
        const X11::Reply<xcb_randr_get_screen_resources_current_reply_t> resources(
            xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, X11::rootWindow(c)),
                                                         nullptr));
        const X11::Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 4, "EDID"), nullptr));
        if (!resources || !atom || xcb_randr_get_screen_resources_current_outputs_length(resources.get()) != 1)
            return false;
        const xcb_randr_output_t output = xcb_randr_get_screen_resources_current_outputs(resources.get())[0];
        const X11::Reply<xcb_generic_error_t> error(xcb_request_check(
            c, edid.isEmpty() ? xcb_randr_delete_output_property_checked(c, output, atom->atom)
                              : xcb_randr_change_output_property_checked(c, output, atom->atom, XCB_ATOM_INTEGER, 8,
                                                                         XCB_PROP_MODE_REPLACE, quint32(edid.size()),
                                                                         edid.constData())));
        return !error;
    }

    // Sets the root window's _NET_WORKAREA to one rectangle, as a window manager does; none
    // removes it.
    static void setWorkArea(const std::optional<QRect> &area)
    {
        xcb_connection_t *c = X11::connection();
        const xcb_atom_t property = X11::atom(c, "_NET_WORKAREA");
        if (!area) {
            xcb_delete_property(c, X11::rootWindow(c), property);
        } else {
            const quint32 values[] = {quint32(area->x()), quint32(area->y()), quint32(area->width()),
                                      quint32(area->height())};
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, X11::rootWindow(c), property, XCB_ATOM_CARDINAL,
                                32, 4, values);
        }
        xcb_flush(c);
    }

    // Once the server has answered a request sent after the change, its notices are in; they
    // are handled here.
    static void settle()
    {
        xcb_connection_t *c = X11::connection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(X11::connection());
        QCOMPARE(QGuiApplication::screens().size(), 1);
        m_displays = new SystemDisplays(this);
    }

    void cleanupTestCase()
    {
        // Leave one whole-output screen for the tests that follow, whatever failed.
        xrandr(QStringLiteral("--delmonitor RIGHT"));
        xrandr(QStringLiteral("--delmonitor LEFT"));
        setEdid({});
    }

    void convertsCoordinates()
    {
        QCOMPARE(m_displays->mainDisplay()->frame, QRectF(0, 0, 1920, 1080));

        const QRectF window(100, 200, 300, 150); // Qt's coordinates, y down
        QCOMPARE(m_displays->fromScreenRect(window), QRectF(100, 730, 300, 150));
        QCOMPARE(m_displays->toScreenRect(m_displays->fromScreenRect(window)), window);

        QCursor::setPos(300, 100);
        QTRY_COMPARE(m_displays->pointerLocation(), QPointF(300, 980));
        QCOMPARE(m_displays->toScreenPoint(m_displays->pointerLocation()), QPointF(300, 100));
    }

    // Atoms are kept once found; one not made yet is looked for again (a window manager or
    // compositor may make it later).
    void atomsAreKeptOnceTheyExist()
    {
        xcb_connection_t *c = X11::connection();
        const QByteArray name = "BRIMFOLD_TEST_" + QByteArray::number(QCoreApplication::applicationPid());
        QCOMPARE(X11::atom(c, name.constData(), true), xcb_atom_t(XCB_ATOM_NONE));
        const X11::Reply<xcb_intern_atom_reply_t> made(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, quint16(name.size()), name.constData()), nullptr));
        QVERIFY(made && made->atom != XCB_ATOM_NONE);
        QCOMPARE(X11::atom(c, name.constData(), true), made->atom);
        QCOMPARE(X11::atom(c, name.constData(), false), made->atom);

        // Asked for ahead, an atom is made, and the next look takes that answer.
        const QByteArray ahead = name + "_AHEAD";
        X11::prefetchAtom(c, ahead.constData());
        const xcb_atom_t found = X11::atom(c, ahead.constData(), true);
        QVERIFY(found != XCB_ATOM_NONE);
        const X11::Reply<xcb_intern_atom_reply_t> same(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, quint16(ahead.size()), ahead.constData()), nullptr));
        QVERIFY(same);
        QCOMPARE(found, same->atom);

        // Asked for ahead only if it exists, an atom that does not is still made when wanted.
        const QByteArray later = name + "_LATER";
        X11::prefetchAtom(c, later.constData(), true);
        const xcb_atom_t wanted = X11::atom(c, later.constData());
        QVERIFY(wanted != XCB_ATOM_NONE);
        QCOMPARE(X11::atom(c, later.constData(), true), wanted);
    }

    void identifiesByEdid()
    {
        const QString name = QGuiApplication::primaryScreen()->name();
        QCOMPARE(m_displays->mainDisplay()->id, name);

        QByteArray edid = QByteArray("\0\xff\xff\xff\xff\xff\xff\0", 8).leftJustified(128, 'e');
        QVERIFY(setEdid(edid));
        // The displays are kept between changes; the output's change notice drops them.
        QTRY_VERIFY(m_displays->mainDisplay()->id != name);
        const QString id = m_displays->mainDisplay()->id;
        QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"))
                     .match(id).hasMatch(),
                 qPrintable(id));
        QCOMPARE(ids(), id);

        // Only the base block counts; a different base block is a different monitor.
        QVERIFY(setEdid(edid + QByteArray(128, 'x')));
        settle();
        QCOMPARE(m_displays->mainDisplay()->id, id);
        edid[20] = 'y';
        QVERIFY(setEdid(edid));
        QTRY_VERIFY(m_displays->mainDisplay()->id != id);

        QVERIFY(setEdid(edid.left(127)));
        QTRY_COMPARE(m_displays->mainDisplay()->id, name);
        QVERIFY(setEdid({}));
    }

    void followsTwoDisplays()
    {
        QSignalSpy changed(m_displays, &Displays::changed);
        QVERIFY(xrandr(QStringLiteral("--setmonitor RIGHT 960/254x1080/286+960+0 none")));
        QVERIFY(xrandr(QStringLiteral("--setmonitor LEFT 960/254x1080/286+0+0 screen")));
        QTRY_COMPARE(ids(), QStringLiteral("LEFT RIGHT"));
        QVERIFY(!changed.isEmpty());

        // The main display's bottom-left corner is the origin, whichever of the two it is.
        QCOMPARE(m_displays->mainDisplay()->frame, QRectF(0, 0, 960, 1080));
        const QRectF right(m_displays->mainDisplay()->id == QLatin1String("LEFT") ? 960 : 0, 0, 960, 1080);
        QCOMPARE(m_displays->displayContaining(right.center())->id, QStringLiteral("RIGHT"));
        QCOMPARE(m_displays->displayContaining(right.center() - QPointF(960, 0))->id, QStringLiteral("LEFT"));
        QCursor::setPos(1500, 500);
        QTRY_COMPARE(m_displays->activeDisplay()->id, QStringLiteral("RIGHT"));

        changed.clear();
        QVERIFY(xrandr(QStringLiteral("--delmonitor RIGHT")));
        QTRY_VERIFY(!changed.isEmpty());
        QTRY_COMPARE(ids(), QStringLiteral("LEFT"));
        // Nothing under the pointer any more: the main display is the active one.
        QCOMPARE(m_displays->activeDisplay()->id, QStringLiteral("LEFT"));

        changed.clear();
        QVERIFY(xrandr(QStringLiteral("--setmonitor RIGHT 960/254x1080/286+960+0 none")));
        QTRY_VERIFY(!changed.isEmpty());
        QTRY_COMPARE(ids(), QStringLiteral("LEFT RIGHT"));
    }

    // The work area is followed from the root window's property itself, since Qt does not
    // always pass a change on: every new value is a change, from the first after start. The
    // same value written again leaves Qt's screens as they were.
    void followsTheWorkArea()
    {
        const std::optional<QRect> original = X11::workArea();
        const auto restore = qScopeGuard([&] { setWorkArea(original); });
        settle();
        QSignalSpy changed(m_displays, &Displays::changed);
        setWorkArea(original.value_or(QGuiApplication::primaryScreen()->geometry()));
        QTRY_VERIFY(!changed.isEmpty());
    }

    // Where the pointer is costs a round trip to the X server on every show: asked only when
    // there is a display to choose.
    void asksWhereThePointerIsOnlyAmongSeveral()
    {
        struct Counted final : Displays
        {
            QList<Display> all;
            mutable int asked = 0;
            QList<Display> displays() const override { return all; }
            std::optional<Display> mainDisplay() const override { return all.value(0); }
            QPointF pointerLocation() const override { return ++asked, QPointF(1500, 500); }
            bool primaryButtonPressed() const override { return false; }
            QRectF mainScreenGeometry() const override { return QRectF(0, 0, 1920, 1080); }
        } counted;
        const Displays::Display left{QStringLiteral("LEFT"), QRectF(0, 0, 960, 1080), QRectF(0, 0, 960, 1050)};
        counted.all = {left};
        QCOMPARE(counted.activeDisplay(), left);
        QCOMPARE(counted.asked, 0);
        const QRectF right(960, 0, 960, 1080);
        counted.all.append(Displays::Display{QStringLiteral("RIGHT"), right, right});
        QCOMPARE(counted.activeDisplay()->id, QStringLiteral("RIGHT"));
        QCOMPARE(counted.asked, 1);
    }
};

QTEST_MAIN(TestX11Displays)
#include "tst_x11_displays.moc"
