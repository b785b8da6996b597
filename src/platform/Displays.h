#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

// The connected displays and the pointer, in y-up coordinates, plus the one conversion to and
// from Qt's screen coordinates (origin top-left of the virtual desktop, y down) that windows use.
class Displays : public QObject
{
    Q_OBJECT

public:
    // A display as the floating button's placement sees it. Rects are y-up: the origin is the
    // bottom-left corner of the main display and y grows upward, so minY = rect.y() and
    // maxY = rect.y() + rect.height(). Nested, since Xlib's `Display` is global (Qt's X11
    // native interface declares it).
    struct Display final
    {
        QString id;          // stays the same across restarts and re-plugging
        QRectF frame;        // the whole display
        QRectF visibleFrame; // the part not taken by panels and docks

        friend bool operator==(const Display &, const Display &) = default;
    };

    ~Displays() override = default;

    virtual QList<Display> displays() const = 0;
    // None only when no display is connected.
    virtual std::optional<Display> mainDisplay() const = 0;
    virtual QPointF pointerLocation() const = 0;
    // Whether the primary pointer button is held right now, wherever the pointer is.
    virtual bool primaryButtonPressed() const = 0;

    // The first display whose frame contains the point (edges included).
    std::optional<Display> displayContaining(const QPointF &point) const;
    // The display under the pointer, else the main display; the only display when there is one.
    std::optional<Display> activeDisplay() const;

    // y-up → Qt's screen coordinates, and back.
    QRectF toScreenRect(const QRectF &rect) const;
    QRectF fromScreenRect(const QRectF &rect) const;
    QPointF toScreenPoint(const QPointF &point) const;
    QPointF fromScreenPoint(const QPointF &point) const;

signals:
    // The arrangement changed: a display came or went, moved, resized or became the main one.
    void changed();

protected:
    explicit Displays(QObject *parent = nullptr) : QObject(parent) {}

    // The main display's geometry in Qt's screen coordinates; its bottom-left corner is the
    // y-up origin. Empty when there is no display.
    virtual QRectF mainScreenGeometry() const = 0;
};
