#include "platform/image/AreaDownscaler.h"

#include <algorithm>
#include <utility>

namespace {

// With sides up to 2^23 every sum stays below 2^63: a premultiplied channel is at most 255 · 255
// per pixel, times the source area of one result pixel in the units used (source · target).
constexpr int maxSide = 1 << 23;

} // namespace

AreaDownscaler::AreaDownscaler(QSize source, QSize target, int channels, RowSink sink)
    : m_source(source)
    , m_target(target)
    , m_channels(channels)
    , m_alpha(channels == 2 || channels == 4)
    , m_sink(std::move(sink))
{
    if (channels < 1 || channels > 4 || target.isEmpty() || source.width() < target.width()
        || source.height() < target.height() || source.width() > maxSide || source.height() > maxSide)
        return;
    m_result = QImage(m_sink ? QSize(target.width(), 1) : target,
                      m_alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    // At the same size each result pixel is its source pixel: no sums are needed.
    m_copy = source == target;
    if (m_copy)
        return;
    m_columns = spans(source.width(), target.width());
    const quint64 area = quint64(source.width()) * quint64(source.height());
    m_area = ExactDivider(area);
    m_colourArea = ExactDivider(m_alpha ? 255 * area : area);
    const std::size_t rowLength = std::size_t(target.width()) * std::size_t(channels);
    m_rowSums.assign(rowLength, 0);
    m_current.assign(rowLength, 0);
    m_next.assign(rowLength, 0);
}

qint64 AreaDownscaler::workingBytes(QSize target, int channels)
{
    return qint64(target.width()) * (qint64(sizeof(Span)) + 3 * channels * qint64(sizeof(quint64)));
}

// Along one axis a source pixel spans `target` units and a result pixel `source` units, so the
// weights are exact integers and every result pixel receives `source` units in all.
std::vector<AreaDownscaler::Span> AreaDownscaler::spans(int sourceLength, int targetLength)
{
    const quint64 unit = quint64(targetLength);
    std::vector<Span> out(static_cast<std::size_t>(targetLength));
    for (int i = 0; i < targetLength; ++i) {
        const quint64 start = quint64(i) * quint64(sourceLength);
        const quint64 end = start + quint64(sourceLength);
        Span &span = out[std::size_t(i)];
        span.first = quint32(start / unit);
        span.last = quint32((end - 1) / unit);
        if (span.first == span.last) {
            span.firstWeight = quint32(end - start);
        } else {
            span.firstWeight = quint32((span.first + 1) * unit - start);
            span.lastWeight = quint32(end - span.last * unit);
        }
    }
    return out;
}

namespace {

// A pixel's channels as summed: colour premultiplied by alpha when there is alpha.
template <int Channels, bool Alpha>
inline void addPixel(quint64 *sums, const uchar *pixel, quint64 weight)
{
    if constexpr (Alpha) {
        const quint64 alpha = pixel[Channels - 1];
        for (int c = 0; c < Channels - 1; ++c)
            sums[c] += quint64(pixel[c]) * alpha * weight;
        sums[Channels - 1] += alpha * weight;
    } else {
        for (int c = 0; c < Channels; ++c)
            sums[c] += quint64(pixel[c]) * weight;
    }
}

} // namespace

template <int Channels, bool Alpha>
void AreaDownscaler::sumRow(const uchar *row)
{
    const quint64 unit = quint64(m_target.width());
    quint64 *sums = m_rowSums.data();
    for (const Span &span : m_columns) {
        quint64 edges[Channels] = {};
        addPixel<Channels, Alpha>(edges, row + std::size_t(span.first) * Channels, span.firstWeight);
        // The whole pixels between the edges all weigh one unit: add them up first.
        quint64 inside[Channels] = {};
        if (span.last != span.first) {
            addPixel<Channels, Alpha>(edges, row + std::size_t(span.last) * Channels, span.lastWeight);
            const uchar *pixel = row + (std::size_t(span.first) + 1) * Channels;
            const uchar *end = row + std::size_t(span.last) * Channels;
            for (; pixel < end; pixel += Channels)
                addPixel<Channels, Alpha>(inside, pixel, 1);
        }
        for (int c = 0; c < Channels; ++c)
            sums[c] = edges[c] + inside[c] * unit;
        sums += Channels;
    }
}

void AreaDownscaler::addRow(const uchar *row)
{
    if (!isValid() || m_stopped || m_sourceRow >= m_source.height())
        return;
    if (m_copy) {
        copyRow(row);
        return;
    }
    switch (m_channels) {
    case 1: sumRow<1, false>(row); break;
    case 2: sumRow<2, true>(row); break;
    case 3: sumRow<3, false>(row); break;
    case 4: sumRow<4, true>(row); break;
    }

    const quint64 targetHeight = quint64(m_target.height());
    const quint64 start = quint64(m_sourceRow) * targetHeight;
    const quint64 first = start / quint64(m_source.height());
    const quint64 weight = std::min(start + targetHeight, (first + 1) * quint64(m_source.height())) - start;
    while (quint64(m_targetRow) < first && !m_stopped)
        flushRow();
    const quint64 rest = targetHeight - weight;
    if (rest == 0) {
        // Most source rows fall inside one result row.
        for (std::size_t i = 0; i < m_rowSums.size(); ++i)
            m_current[i] += m_rowSums[i] * weight;
    } else {
        for (std::size_t i = 0; i < m_rowSums.size(); ++i) {
            m_current[i] += m_rowSums[i] * weight;
            m_next[i] += m_rowSums[i] * rest;
        }
    }
    if (++m_sourceRow == m_source.height()) {
        while (m_targetRow < m_target.height() && !m_stopped)
            flushRow();
    }
}

namespace {

// Rounded as the sums are: c · a / 255 to the nearest.
inline int premultiplied(int colour, int alpha)
{
    return (2 * colour * alpha + 255) / 510;
}

} // namespace

void AreaDownscaler::copyRow(const uchar *row)
{
    auto *out = reinterpret_cast<QRgb *>(m_result.scanLine(m_sink ? 0 : m_sourceRow));
    const int width = m_source.width();
    switch (m_channels) {
    case 1:
        for (int x = 0; x < width; ++x)
            out[x] = qRgb(row[x], row[x], row[x]);
        break;
    case 2:
        for (int x = 0; x < width; ++x, row += 2) {
            const int grey = premultiplied(row[0], row[1]);
            out[x] = qRgba(grey, grey, grey, row[1]);
        }
        break;
    case 3:
        for (int x = 0; x < width; ++x, row += 3)
            out[x] = qRgb(row[0], row[1], row[2]);
        break;
    case 4:
        for (int x = 0; x < width; ++x, row += 4)
            out[x] = qRgba(premultiplied(row[0], row[3]), premultiplied(row[1], row[3]),
                           premultiplied(row[2], row[3]), row[3]);
        break;
    }
    ++m_sourceRow;
    m_targetRow = m_sourceRow;
    if (m_sink && !m_sink(out))
        m_stopped = true;
}

template <int Channels>
void AreaDownscaler::writeRow(QRgb *out) const
{
    const quint64 colourHalf = m_colourArea.divisor() / 2;
    const quint64 alphaHalf = m_area.divisor() / 2;
    const auto colour = [&](quint64 sum) { return int(m_colourArea(sum + colourHalf)); };
    const auto alpha = [&](quint64 sum) { return int(m_area(sum + alphaHalf)); };
    const quint64 *sums = m_current.data();
    for (int x = 0; x < m_target.width(); ++x, sums += Channels) {
        if constexpr (Channels == 1) {
            const int grey = colour(sums[0]);
            out[x] = qRgb(grey, grey, grey);
        } else if constexpr (Channels == 2) {
            const int grey = colour(sums[0]);
            out[x] = qRgba(grey, grey, grey, alpha(sums[1]));
        } else if constexpr (Channels == 3) {
            out[x] = qRgb(colour(sums[0]), colour(sums[1]), colour(sums[2]));
        } else {
            out[x] = qRgba(colour(sums[0]), colour(sums[1]), colour(sums[2]), alpha(sums[3]));
        }
    }
}

void AreaDownscaler::flushRow()
{
    auto *out = reinterpret_cast<QRgb *>(m_result.scanLine(m_sink ? 0 : m_targetRow));
    switch (m_channels) {
    case 1: writeRow<1>(out); break;
    case 2: writeRow<2>(out); break;
    case 3: writeRow<3>(out); break;
    case 4: writeRow<4>(out); break;
    }
    m_current.swap(m_next);
    std::fill(m_next.begin(), m_next.end(), 0);
    ++m_targetRow;
    if (m_sink && !m_sink(reinterpret_cast<const QRgb *>(m_result.constScanLine(0))))
        m_stopped = true;
}
