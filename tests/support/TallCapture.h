#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QStringList>

#include <cstring>

// A full-page capture far beyond what a full decode may allocate (2560 × 40000 is 410 MB at 32
// bits a pixel), drawn in two colours at one bit a pixel so that making it takes a moment and a
// few megabytes: white paper, a dark band across the top tenth and another from 75 % to 80 %.
inline QByteArray tallCapturePng(QSize size = QSize(2560, 40000))
{
    QImage image(size, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(20, 20, 20)});
    image.fill(0);
    for (int y = 0; y < size.height(); ++y) {
        const bool ink = y < size.height() / 10 || (y >= size.height() * 3 / 4 && y < size.height() * 4 / 5);
        if (ink)
            std::memset(image.scanLine(y), 0xFF, size_t(image.bytesPerLine()));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return QImageWriter(&buffer, "png").write(image) ? bytes : QByteArray();
}

// A scrolling capture of a long page of text: one line of `pixelSize` text every `pitch` rows
// from `first` on, dark on white, stored as 8-bit grey. Each line is drawn on a strip of its
// own, so making a 2560 × 20000 capture holds 51 MB and no more. Returns the PNG bytes; the
// baseline of line i is at row first + i · pitch.
inline QByteArray tallTextCapturePng(QSize size, const QStringList &lines, int pixelSize, int first, int pitch)
{
    QImage image(size, QImage::Format_Grayscale8);
    image.fill(250);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    const int above = pixelSize * 3 / 2, below = pixelSize;
    for (int i = 0; i < lines.size(); ++i) {
        const int baseline = first + i * pitch;
        QImage strip(size.width(), above + below, QImage::Format_RGB32);
        strip.fill(QColor(250, 250, 250));
        QPainter painter(&strip);
        painter.setFont(font);
        painter.setPen(QColor(24, 24, 24));
        painter.drawText(QPoint(pixelSize * 2, above), lines[i]);
        painter.end();
        const QImage grey = strip.convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < grey.height() && baseline - above + y < size.height(); ++y)
            std::memcpy(image.scanLine(baseline - above + y), grey.constScanLine(y), size_t(size.width()));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return QImageWriter(&buffer, "png").write(image) ? bytes : QByteArray();
}
