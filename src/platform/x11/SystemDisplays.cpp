#include "platform/x11/SystemDisplays.h"

#include <QCursor>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QUuid>

#include "platform/x11/X11.h"

#include <xcb/randr.h>

#include <cstdlib>
#include <memory>

namespace {

// Fixed forever: changing it would change every stored display identity.
constexpr QUuid edidNamespace{0x46710026, 0x3adf, 0x48eb, 0x89, 0x67, 0x42, 0xdb, 0xb6, 0x8b, 0x81, 0x52};
// The EDID base block; extension blocks may change with the mode and are left out.
constexpr qsizetype edidBlockSize = 128;

using X11::Reply;

// Takes a reply and drops any error, so a failed request neither leaks nor reaches Qt's
// event queue as a warning.
template<typename T>
Reply<T> take(T *reply, xcb_generic_error_t *error)
{
    std::free(error);
    return Reply<T>(reply);
}

// The EDID base block of every RandR output that has one, by output name.
QHash<QString, QByteArray> edidByOutputName()
{
    QHash<QString, QByteArray> edids;
    xcb_connection_t *connection = X11::connection();
    if (!connection)
        return edids;
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(connection, &xcb_randr_id);
    if (!randr || !randr->present)
        return edids;

    xcb_generic_error_t *error = nullptr;
    const xcb_atom_t edidAtom = X11::atom(connection, "EDID", true);
    if (edidAtom == XCB_ATOM_NONE)
        return edids; // no output anywhere has ever had one

    for (auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection)); roots.rem;
         xcb_screen_next(&roots)) {
        const auto resources = take(
            xcb_randr_get_screen_resources_current_reply(
                connection, xcb_randr_get_screen_resources_current(connection, roots.data->root),
                &error),
            error);
        if (!resources)
            continue;
        const xcb_randr_output_t *outputs =
            xcb_randr_get_screen_resources_current_outputs(resources.get());
        const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
        for (int i = 0; i < count; ++i) {
            const auto info = take(
                xcb_randr_get_output_info_reply(
                    connection,
                    xcb_randr_get_output_info(connection, outputs[i], resources->config_timestamp),
                    &error),
                error);
            const auto property = take(
                xcb_randr_get_output_property_reply(
                    connection,
                    xcb_randr_get_output_property(connection, outputs[i], edidAtom, XCB_ATOM_ANY,
                                                  0, edidBlockSize / 4, false, false),
                    &error),
                error);
            if (!info || !property)
                continue;
            const int length = xcb_randr_get_output_property_data_length(property.get());
            if (length < edidBlockSize)
                continue;
            const QString name = QString::fromUtf8(
                reinterpret_cast<const char *>(xcb_randr_get_output_info_name(info.get())),
                xcb_randr_get_output_info_name_length(info.get()));
            edids.insert(name, QByteArray(reinterpret_cast<const char *>(
                                              xcb_randr_get_output_property_data(property.get())),
                                          edidBlockSize));
        }
    }
    return edids;
}

QString displayID(const QScreen *screen, const QHash<QString, QByteArray> &edids)
{
    const auto edid = edids.constFind(screen->name());
    if (edid == edids.constEnd())
        return screen->name();
    // Qt's manufacturer/model/serial strings are unreliable (stray separators), the raw
    // EDID bytes are not.
    return QUuid::createUuidV5(edidNamespace, QByteArrayLiteral("edid:") + *edid)
        .toString(QUuid::WithoutBraces)
        .toUpper();
}

// WORKAROUND(x11): with several monitors Qt's availableGeometry() depends on when a screen
// appeared (one added at run time is cut by the work area, one there from the start may not
// be), so the same display in the same arrangement could report two usable areas and the
// floating button would not come back to its spot. Every screen is cut by the work area the
// window manager publishes now, alike.
QRect usableArea(const QScreen *screen, const std::optional<QRect> &workArea)
{
    const QRect usable = workArea ? screen->geometry() & *workArea : QRect();
    // A work area that misses the screen is one the window manager has not yet updated.
    return usable.isEmpty() ? screen->availableGeometry() : usable;
}

} // namespace

SystemDisplays::SystemDisplays(QObject *parent)
    : Displays(parent)
{
    Q_ASSERT(qGuiApp);
    // First of all the handlers of a change: none may read the displays as they were.
    connect(this, &Displays::changed, this, [this] { m_known.reset(); });
    if (xcb_connection_t *connection = X11::connection()) {
        // Taken at the first property change: waiting for it here, right after Qt's start,
        // waited behind all of Qt's own requests to the server.
        X11::prefetchAtom(connection, "_NET_WORKAREA");
        // Read with the displays, when the gallery first opens.
        X11::prefetchAtom(connection, "EDID", true);
        if (const xcb_query_extension_reply_t *randr = xcb_get_extension_data(connection, &xcb_randr_id);
            randr && randr->present)
            m_randrFirstEvent = randr->first_event;
        qGuiApp->installNativeEventFilter(this);
    }
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens)
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watch(screen);
        emit changed();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &Displays::changed);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &Displays::changed);
}

SystemDisplays::~SystemDisplays()
{
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool SystemDisplays::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & ~0x80;
    // An output or monitor changed (Qt reports a screen's change only if its geometry did).
    if (m_randrFirstEvent != 0
        && (type == m_randrFirstEvent + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == m_randrFirstEvent + XCB_RANDR_NOTIFY)) {
        m_known.reset();
        return false;
    }
    if (type != XCB_PROPERTY_NOTIFY)
        return false;
    if (m_workAreaAtom == XCB_ATOM_NONE) {
        if (xcb_connection_t *connection = X11::connection())
            m_workAreaAtom = X11::atom(connection, "_NET_WORKAREA");
        if (m_workAreaAtom == XCB_ATOM_NONE)
            return false;
    }
    const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
    // Qt watches the root window's properties itself; this only listens in.
    if (property->atom == m_workAreaAtom) {
        m_known.reset();
        QMetaObject::invokeMethod(this, &Displays::changed, Qt::QueuedConnection);
    }
    return false;
}

Displays::Display SystemDisplays::display(const QScreen *screen, const QHash<QString, QByteArray> &edids) const
{
    return {displayID(screen, edids), fromScreenRect(screen->geometry()),
            fromScreenRect(usableArea(screen, X11::workArea()))};
}

void SystemDisplays::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &Displays::changed);
    connect(screen, &QScreen::availableGeometryChanged, this, &Displays::changed);
}

QList<Displays::Display> SystemDisplays::displays() const
{
    if (m_known)
        return *m_known;
    const QHash<QString, QByteArray> edids = edidByOutputName();
    const QList<QScreen *> screens = QGuiApplication::screens();
    QList<Display> result;
    result.reserve(screens.size());
    for (const QScreen *screen : screens)
        result.append(display(screen, edids));
    m_known = result;
    return result;
}

std::optional<Displays::Display> SystemDisplays::mainDisplay() const
{
    const qsizetype main = QGuiApplication::screens().indexOf(QGuiApplication::primaryScreen());
    const QList<Display> all = displays();
    if (main < 0 || main >= all.size())
        return std::nullopt;
    return all.at(main);
}

bool SystemDisplays::primaryButtonPressed() const
{
    // WORKAROUND(x11): while the window manager moves a window it holds the pointer grab, so
    // neither the release nor Qt's button state reaches us; ask the server.
    return X11::primaryButtonPressed().value_or(
        QGuiApplication::mouseButtons().testFlag(Qt::LeftButton));
}

QPointF SystemDisplays::pointerLocation() const
{
    return fromScreenPoint(QCursor::pos());
}

QRectF SystemDisplays::mainScreenGeometry() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? QRectF(screen->geometry()) : QRectF();
}
