#include "platform/x11/X11HotKeySource.h"

#include "core/VirtualKey.h"
#include "platform/x11/X11.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <utility>

namespace {

Q_LOGGING_CATEGORY(lcHotKey, "brimfold.platform.hotkey", QtWarningMsg)

// Keysyms of the modifier keys, from X11/keysymdef.h.
constexpr xcb_keysym_t kNumLock = 0xff7f;
constexpr xcb_keysym_t kMetaL = 0xffe7;
constexpr xcb_keysym_t kAltL = 0xffe9;
constexpr xcb_keysym_t kAltR = 0xffea;
constexpr xcb_keysym_t kSuperL = 0xffeb;
constexpr xcb_keysym_t kSuperR = 0xffec;

constexpr quint16 kKeyModifierBits = 0xff; // the rest of a key event's state is mouse buttons
constexpr quint8 kSentEventBit = 0x80;      // set in response_type on events another client sent

using X11::connection;

template<typename T>
using CPointer = std::unique_ptr<T, decltype(&std::free)>;

using KeySymbols = std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)>;

// The X modifier bit to which the server's modifier mapping assigns one of the keysyms' keys;
// 0 when none is assigned.
quint16 modifierBitOf(xcb_key_symbols_t *symbols, const xcb_get_modifier_mapping_reply_t *mapping,
                      std::initializer_list<xcb_keysym_t> keysyms)
{
    const xcb_keycode_t *modifierKeys = xcb_get_modifier_mapping_keycodes(mapping);
    const int perModifier = mapping->keycodes_per_modifier;
    for (const xcb_keysym_t keysym : keysyms) {
        const CPointer<xcb_keycode_t> keycodes(xcb_key_symbols_get_keycode(symbols, keysym), &std::free);
        for (const xcb_keycode_t *keycode = keycodes.get(); keycode && *keycode != XCB_NO_SYMBOL; ++keycode) {
            for (int index = 0; index < 8 * perModifier; ++index) {
                if (modifierKeys[index] == *keycode)
                    return quint16(1u << (index / perModifier));
            }
        }
    }
    return 0;
}

// The hardware keys that type the keysym without modifiers; failing that (a layout that has
// it only shifted), every key that types it at all.
QList<quint8> keycodesOf(xcb_connection_t *connection, xcb_key_symbols_t *symbols, xcb_keysym_t keysym)
{
    QList<quint8> result;
    const xcb_setup_t *setup = xcb_get_setup(connection);
    for (int keycode = setup->min_keycode; keycode <= setup->max_keycode; ++keycode) {
        if (xcb_key_symbols_get_keysym(symbols, xcb_keycode_t(keycode), 0) == keysym)
            result.append(quint8(keycode));
    }
    if (result.isEmpty()) {
        const CPointer<xcb_keycode_t> keycodes(xcb_key_symbols_get_keycode(symbols, keysym), &std::free);
        for (const xcb_keycode_t *keycode = keycodes.get(); keycode && *keycode != XCB_NO_SYMBOL; ++keycode)
            result.append(*keycode);
    }
    return result;
}

} // namespace

X11HotKeySource::X11HotKeySource(QObject *parent)
    : HotKeySource(parent)
{
    if (auto *application = QCoreApplication::instance())
        application->installNativeEventFilter(this);
}

X11HotKeySource::~X11HotKeySource()
{
    m_heldKeycode = -1; // no news while going
    release();
    if (auto *application = QCoreApplication::instance())
        application->removeNativeEventFilter(this);
}

bool X11HotKeySource::grab(quint32 keyCode, quint32 modifiers)
{
    release();
    xcb_connection_t *x = connection();
    const auto keysym = VirtualKey::keysym(keyCode);
    if (!x || !keysym)
        return false;
    const KeySymbols symbols(xcb_key_symbols_alloc(x), &xcb_key_symbols_free);
    const CPointer<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(x, xcb_get_modifier_mapping(x), nullptr), &std::free);
    if (!symbols || !mapping)
        return false;
    const QList<quint8> keycodes = keycodesOf(x, symbols.get(), *keysym);
    if (keycodes.isEmpty()) {
        qCDebug(lcHotKey) << "no key types keysym" << Qt::hex << *keysym;
        return false;
    }

    // Alt and Super sit on Mod1 and Mod4 in every common keymap; the mapping has the final say.
    const quint16 alt = modifierBitOf(symbols.get(), mapping.get(), {kAltL, kAltR, kMetaL});
    const quint16 super = modifierBitOf(symbols.get(), mapping.get(), {kSuperL, kSuperR});
    const quint16 numLock = modifierBitOf(symbols.get(), mapping.get(), {kNumLock});
    quint16 xModifiers = 0;
    if (modifiers & VirtualKey::controlModifier)
        xModifiers |= XCB_MOD_MASK_CONTROL;
    if (modifiers & VirtualKey::altModifier)
        xModifiers |= alt ? alt : quint16(XCB_MOD_MASK_1);
    if (modifiers & VirtualKey::shiftModifier)
        xModifiers |= XCB_MOD_MASK_SHIFT;
    if (modifiers & VirtualKey::superModifier)
        xModifiers |= super ? super : quint16(XCB_MOD_MASK_4);

    QList<quint16> lockVariants{0, XCB_MOD_MASK_LOCK};
    if (numLock)
        lockVariants << numLock << quint16(numLock | XCB_MOD_MASK_LOCK);

    // Every grab is sent first and checked after, so the whole set costs one round trip.
    QList<std::pair<Grab, xcb_void_cookie_t>> requests;
    for (xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(x)); screen.rem;
         xcb_screen_next(&screen)) {
        for (const quint8 keycode : keycodes) {
            for (const quint16 variant : lockVariants) {
                const Grab grab{screen.data->root, keycode, quint16(xModifiers | variant)};
                requests.append({grab, xcb_grab_key_checked(x, false, grab.root, grab.modifiers,
                                                             grab.keycode, XCB_GRAB_MODE_ASYNC,
                                                             XCB_GRAB_MODE_ASYNC)});
            }
        }
    }
    bool refused = false;
    for (const auto &[grab, cookie] : requests) {
        if (xcb_generic_error_t *error = xcb_request_check(x, cookie)) {
            qCDebug(lcHotKey) << "grab refused, X error" << error->error_code;
            std::free(error);
            refused = true;
        } else {
            m_grabs.append(grab);
        }
    }
    if (refused) {
        release();
        return false;
    }
    m_modifiers = xModifiers;
    m_lockMask = quint16(XCB_MOD_MASK_LOCK | numLock);
    qCDebug(lcHotKey) << "grabbed" << m_grabs.size() << "key combinations";
    return true;
}

void X11HotKeySource::release()
{
    m_releasedKeycode = -1;
    if (std::exchange(m_heldKeycode, -1) != -1)
        emit heldChanged(false);
    if (m_grabs.isEmpty())
        return;
    if (xcb_connection_t *x = connection()) {
        for (const Grab &grab : std::as_const(m_grabs))
            xcb_ungrab_key(x, grab.keycode, grab.root, grab.modifiers);
        // A round trip, so the keys are free for other programs once this returns: the server
        // does not order requests from different clients by when they were sent.
        std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
    }
    m_grabs.clear();
}

bool X11HotKeySource::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (m_grabs.isEmpty() || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & ~kSentEventBit;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    // Key releases share the press event's layout.
    const auto *key = static_cast<const xcb_key_press_event_t *>(message);
    if (type == XCB_KEY_RELEASE) {
        if (key->detail == m_heldKeycode) {
            m_heldKeycode = -1;
            m_releasedKeycode = key->detail;
            m_releaseTime = key->time;
            emit heldChanged(false);
        }
        return false;
    }
    // Grabs report to the root window; presses in our own windows arrive there too but are not
    // ours to take.
    const bool grabbed = std::any_of(m_grabs.cbegin(), m_grabs.cend(), [key](const Grab &grab) {
        return grab.root == key->event && grab.keycode == key->detail;
    });
    if (!grabbed || (key->state & kKeyModifierBits & ~m_lockMask) != m_modifiers)
        return false;
    // Holding the combination repeats the press; one press is one toggle. The server repeats
    // it as a press alone, or (unless the client asked for the former) as a release and a press
    // of the same time, which is how Qt tells its own key repeats apart as well.
    if (key->detail == m_heldKeycode)
        return true;
    const bool repeated = key->detail == m_releasedKeycode && key->time == m_releaseTime;
    m_heldKeycode = key->detail;
    emit heldChanged(true);
    if (!repeated)
        emit pressed();
    return true;
}
