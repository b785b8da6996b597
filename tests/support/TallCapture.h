#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

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
    QImageWriter writer(&buffer, "png");
    return writer.write(image) ? bytes : QByteArray();
}
