#include "ui/design/DrawnSymbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

void DrawnSymbols::draw(QPainter &painter, const QString &symbol)
{
    const QPen line(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(line);
    painter.setBrush(Qt::NoBrush);
    const auto filled = [&] {
        painter.setBrush(Qt::black);
    };
    // A closed outline through the corners.
    const auto outline = [&](std::initializer_list<QPointF> corners) {
        QPainterPath path;
        path.addPolygon(QPolygonF(corners));
        path.closeSubpath();
        painter.drawPath(path);
    };
    const auto folder = [&] {
        outline({{2, 4}, {6, 4}, {7.5, 5.5}, {14, 5.5}, {14, 13}, {2, 13}});
    };
    const auto corners = [&] {
        for (const QPointF &c : {QPointF(2, 2), QPointF(14, 2), QPointF(14, 14), QPointF(2, 14)}) {
            const qreal dx = c.x() < 8 ? 3.5 : -3.5;
            const qreal dy = c.y() < 8 ? 3.5 : -3.5;
            painter.drawPolyline(QPolygonF{QPointF(c.x() + dx, c.y()), c, QPointF(c.x(), c.y() + dy)});
        }
    };
    const auto check = [&](qreal scale, QPointF offset) {
        painter.drawPolyline(QPolygonF{offset + QPointF(3, 8.5) * scale,
                                       offset + QPointF(6.5, 12) * scale,
                                       offset + QPointF(13, 4.5) * scale});
    };

    if (symbol == QLatin1String("xmark") || symbol == QLatin1String("xmark.circle.fill")) {
        const bool circle = symbol != QLatin1String("xmark");
        if (circle)
            painter.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        const qreal a = circle ? 5.5 : 3.5, b = circle ? 10.5 : 12.5;
        painter.drawLine(QPointF(a, a), QPointF(b, b));
        painter.drawLine(QPointF(b, a), QPointF(a, b));
    } else if (symbol.startsWith(QLatin1String("exclamationmark"))) {
        painter.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        painter.drawLine(QPointF(8, 4.5), QPointF(8, 8.5));
        painter.drawPoint(QPointF(8, 11.25));
    } else if (symbol == QLatin1String("gearshape")) {
        painter.drawEllipse(QPointF(8, 8), 4.5, 4.5);
        painter.drawEllipse(QPointF(8, 8), 1.75, 1.75);
        for (int i = 0; i < 8; ++i) {
            painter.save();
            painter.translate(8, 8);
            painter.rotate(45.0 * i);
            painter.drawLine(QPointF(0, -4.5), QPointF(0, -6.75));
            painter.restore();
        }
    } else if (symbol.startsWith(QLatin1String("pin"))) {
        if (symbol.endsWith(QLatin1String(".fill")))
            filled();
        outline({{5, 2}, {11, 2}, {10, 7}, {12, 9.5}, {4, 9.5}, {6, 7}}); // the head
        painter.drawLine(QPointF(8, 9.5), QPointF(8, 14.5));
    } else if (symbol == QLatin1String("magnifyingglass")) {
        painter.drawEllipse(QPointF(6.75, 6.75), 4.5, 4.5);
        painter.drawLine(QPointF(10, 10), QPointF(14, 14));
    } else if (symbol.startsWith(QLatin1String("folder"))) {
        folder();
        if (symbol.endsWith(QLatin1String("plus"))) {
            painter.drawLine(QPointF(8, 7.5), QPointF(8, 11));
            painter.drawLine(QPointF(6.25, 9.25), QPointF(9.75, 9.25));
        } else if (symbol.endsWith(QLatin1String("questionmark"))) {
            painter.drawPoint(QPointF(8, 10.5));
        }
    } else if (symbol == QLatin1String("viewfinder") || symbol == QLatin1String("text.viewfinder")) {
        corners();
        if (symbol.startsWith(QLatin1String("text"))) {
            painter.drawLine(QPointF(5, 6.5), QPointF(11, 6.5));
            painter.drawLine(QPointF(5, 9.5), QPointF(9.5, 9.5));
        } else {
            painter.drawEllipse(QPointF(8, 8), 2, 2);
        }
    } else if (symbol == QLatin1String("arrow.up.left.and.arrow.down.right")) {
        painter.drawLine(QPointF(3, 3), QPointF(13, 13));
        painter.drawPolyline(QPolygonF{QPointF(3, 7.5), QPointF(3, 3), QPointF(7.5, 3)});
        painter.drawPolyline(QPolygonF{QPointF(13, 8.5), QPointF(13, 13), QPointF(8.5, 13)});
    } else if (symbol == QLatin1String("trash")) {
        painter.drawLine(QPointF(2.5, 4), QPointF(13.5, 4));
        painter.drawPolyline(QPolygonF{QPointF(6, 4), QPointF(6, 2), QPointF(10, 2), QPointF(10, 4)});
        painter.drawPolyline(QPolygonF{QPointF(4, 4), QPointF(4.75, 14), QPointF(11.25, 14),
                                       QPointF(12, 4)});
    } else if (symbol == QLatin1String("ellipsis")) {
        filled();
        painter.setPen(Qt::NoPen);
        for (const qreal x : {3.5, 8.0, 12.5})
            painter.drawEllipse(QPointF(x, 8), 1.4, 1.4);
    } else if (symbol == QLatin1String("checkmark")) {
        check(1.0, QPointF());
    } else if (symbol == QLatin1String("checkmark.circle.fill")) {
        painter.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        check(0.6, QPointF(3.2, 3.2));
    } else if (symbol == QLatin1String("square.on.square")) {
        painter.drawRoundedRect(QRectF(5.5, 5.5, 8.5, 8.5), 2, 2);
        painter.drawPolyline(QPolygonF{QPointF(10.5, 3.5), QPointF(10.5, 2), QPointF(2, 2),
                                       QPointF(2, 10.5), QPointF(3.5, 10.5)});
    } else if (symbol == QLatin1String("photo")) {
        painter.drawRoundedRect(QRectF(2, 3, 12, 10), 2, 2);
        painter.drawPolyline(QPolygonF{QPointF(2.5, 12), QPointF(6.5, 8), QPointF(9, 10.5),
                                       QPointF(10.5, 9), QPointF(13.5, 12)});
        painter.drawPoint(QPointF(10.5, 6));
    } else if (symbol == QLatin1String("eye")) {
        QPainterPath lens;
        lens.moveTo(1.5, 8);
        lens.quadTo(8, 0.5, 14.5, 8);
        lens.quadTo(8, 15.5, 1.5, 8);
        painter.drawPath(lens);
        painter.drawEllipse(QPointF(8, 8), 2, 2);
    } else if (symbol == QLatin1String("square.and.arrow.up")) {
        painter.drawPolyline(QPolygonF{QPointF(5.5, 6.5), QPointF(3, 6.5), QPointF(3, 14.5),
                                       QPointF(13, 14.5), QPointF(13, 6.5), QPointF(10.5, 6.5)});
        painter.drawLine(QPointF(8, 1.75), QPointF(8, 10));
        painter.drawPolyline(QPolygonF{QPointF(5.25, 4.5), QPointF(8, 1.75), QPointF(10.75, 4.5)});
    } else {
        painter.drawRoundedRect(QRectF(3, 3, 10, 10), 2.5, 2.5);
    }
}
