#pragma once

#include <QList>
#include <QObject>
#include <QRect>

// The desktop's accessibility preferences that change how Brimfold draws: whether to skip
// animations and whether to give up translucency. Views read it when they paint or animate
// and repaint on `changed`.
class Accessibility : public QObject
{
    Q_OBJECT

public:
    ~Accessibility() override;

    // Every animation is skipped: changes appear at once.
    virtual bool reduceMotion() const = 0;
    // Glass becomes an opaque, window-coloured surface.
    virtual bool reduceTransparency() const = 0;
    // Asks the desktop to blur what lies behind `window` within `rects` (device pixels), so
    // translucent glass stays readable; an empty list withdraws the request. Desktops that
    // cannot blur ignore it, and so does this default.
    virtual void requestBlurBehind(quint64 window, const QList<QRect> &rects) const;

signals:
    // Emitted after either value changed.
    void changed();

protected:
    explicit Accessibility(QObject *parent = nullptr);
};
