#pragma once

#include "platform/Displays.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QHash>

#include <optional>

#include <xcb/xcb.h>

class QScreen;

// The screens Qt reports. Frame = QScreen::geometry(), visible frame = the part of it inside
// the window manager's work area (Qt's availableGeometry() without one), main display = the
// primary screen. Identity: a name-based UUID of the monitor's EDID when
// its RandR output has one, so the same monitor is recognised on any connector; otherwise
// the screen's name. Needs a QGuiApplication for as long as it lives.
class SystemDisplays final : public Displays, private QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit SystemDisplays(QObject *parent = nullptr);
    ~SystemDisplays() override;

    QList<Display> displays() const override;
    std::optional<Display> mainDisplay() const override;
    QPointF pointerLocation() const override;
    bool primaryButtonPressed() const override;

protected:
    QRectF mainScreenGeometry() const override;

private:
    void watch(QScreen *screen);
    Display display(const QScreen *screen, const QHash<QString, QByteArray> &edids) const;
    // Reports a change of the work area, which Qt does not always pass on.
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    xcb_atom_t m_workAreaAtom = XCB_ATOM_NONE;
    quint8 m_randrFirstEvent = 0; // 0: no RandR
    // The displays as last read: reading them asks the X server for every output's EDID and the
    // work area, round trips each opening of the gallery paid. Dropped at any change of screens,
    // outputs or work area.
    mutable std::optional<QList<Display>> m_known;
};
