#pragma once

#include "platform/Displays.h"

class QScreen;

// The screens Qt reports. Frame = QScreen::geometry(), visible frame = availableGeometry(),
// main display = the primary screen. Identity: a name-based UUID of the monitor's EDID when
// its RandR output has one, so the same monitor is recognised on any connector; otherwise
// the screen's name. Needs a QGuiApplication for as long as it lives.
class SystemDisplays final : public Displays
{
    Q_OBJECT

public:
    explicit SystemDisplays(QObject *parent = nullptr);

    QList<Display> displays() const override;
    std::optional<Display> mainDisplay() const override;
    QPointF pointerLocation() const override;
    bool primaryButtonPressed() const override;

protected:
    QRectF mainScreenGeometry() const override;

private:
    void watch(QScreen *screen);
};
