#pragma once

#include "platform/ImageServices.h"

#include <QColor>
#include <QHash>
#include <QMutex>
#include <QSemaphore>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <memory>
#include <numeric>

// Image services that paint a solid picture per path instead of decoding. They count calls,
// note the threads and sizes asked for, and hold a decode at its path's gate until the test
// opens it (bounded, so a decode made on the wrong thread fails a test instead of hanging it).
class FakeImages final : public ImageServices
{
public:
    std::optional<QSize> pixelSize(const QString &) const override { return std::nullopt; }
    std::optional<QImage> decodeFirstImage(const QString &) const override { return std::nullopt; }

    std::optional<QImage> downscaledImage(const QString &path, int maxPixelSize) const override
    {
        std::shared_ptr<QSemaphore> gate;
        {
            QMutexLocker lock(&m_mutex);
            ++m_calls[path];
            threads.insert(QThread::currentThread());
            maxRunning = std::max(maxRunning, ++m_running);
            largestSide = std::max(largestSide, maxPixelSize);
            gate = m_gates.value(path);
        }
        if (gate)
            gate->tryAcquire(1, 10000);
        QMutexLocker lock(&m_mutex);
        --m_running;
        if (failing.contains(path))
            return std::nullopt;
        QImage image(sizes.value(path, QSize(maxPixelSize, maxPixelSize / 2)), QImage::Format_RGB32);
        image.fill(colours.value(path, Qt::gray));
        return image;
    }

    // Set before the decodes of that path start.
    void setGate(const QString &path) { m_gates.insert(path, std::make_shared<QSemaphore>()); }
    void open(const QString &path) { m_gates.value(path)->release(1000); }
    int calls(const QString &path) const { QMutexLocker l(&m_mutex); return m_calls.value(path); }
    int started() const
    {
        QMutexLocker l(&m_mutex);
        return std::accumulate(m_calls.cbegin(), m_calls.cend(), 0);
    }

    // Set before the decodes they concern start; read after they finish.
    QSet<QString> failing;
    QHash<QString, QSize> sizes;
    QHash<QString, QColor> colours;
    mutable QSet<QThread *> threads;
    mutable int maxRunning = 0;
    mutable int largestSide = 0;

private:
    mutable QMutex m_mutex;
    mutable QHash<QString, int> m_calls;
    mutable int m_running = 0;
    QHash<QString, std::shared_ptr<QSemaphore>> m_gates;
};
