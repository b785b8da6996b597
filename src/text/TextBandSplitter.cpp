#include "text/TextBandSplitter.h"

#include "text/TextImagePreparation.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

TextBandSplitter::TextBandSplitter(int wholeRows, int bandRows, int overlapRows, BandReader reader)
    : m_wholeRows(std::max(1, wholeRows))
    , m_bandRows(std::max(2, bandRows))
    , m_overlapRows(std::clamp(overlapRows, 0, m_bandRows - 1))
    , m_reader(std::move(reader))
{
}

bool TextBandSplitter::begin(QSize size)
{
    if (size.isEmpty())
        return false;
    m_size = size;
    if (size.height() <= m_wholeRows) {
        m_bandHeight = size.height();
    } else {
        // Bands of equal height, none taller than bandRows: no thin last band.
        const int stepLimit = m_bandRows - m_overlapRows;
        const int spread = size.height() - m_overlapRows;
        const int bands = (spread + stepLimit - 1) / stepLimit;
        m_bandHeight = (spread + bands - 1) / bands + m_overlapRows;
    }
    m_band = QImage(size.width(), m_bandHeight, QImage::Format_Grayscale8);
    return !m_band.isNull();
}

bool TextBandSplitter::addRow(const QRgb *pixels)
{
    if (m_stopped || m_nextRow >= m_size.height())
        return false;
    // Opaque grey pixels are their own grey level. Other colours are flattened together as a
    // picture of their own, exactly as a whole picture would be, and their levels kept.
    constexpr int cacheBits = 12;
    if (m_greyOf.empty())
        m_greyOf.assign(size_t(1) << cacheBits, 0);
    const auto slot = [](QRgb pixel) { return size_t((pixel * 2654435761u) >> (32 - cacheBits)); };
    const auto tag = [](QRgb pixel) { return quint64(pixel) << 1 | 1; };
    uchar *out = m_band.scanLine(m_filled);
    m_coloured.clear();
    m_colouredAt.clear();
    for (int x = 0; x < m_size.width(); ++x) {
        const QRgb pixel = pixels[x];
        if (qAlpha(pixel) == 255 && qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel)) {
            out[x] = uchar(qRed(pixel));
        } else if (const quint64 known = m_greyOf[slot(pixel)]; known >> 8 == tag(pixel)) {
            out[x] = uchar(known);
        } else {
            m_coloured.push_back(pixel);
            m_colouredAt.push_back(x);
        }
    }
    if (!m_coloured.empty()) {
        const QImage coloured(reinterpret_cast<const uchar *>(m_coloured.data()), int(m_coloured.size()), 1,
                              QImage::Format_ARGB32_Premultiplied);
        const QImage grey = TextImagePreparation::flattenedGrey(coloured);
        if (grey.isNull())
            return false;
        const uchar *levels = grey.constScanLine(0);
        for (size_t i = 0; i < m_colouredAt.size(); ++i) {
            out[m_colouredAt[i]] = levels[i];
            m_greyOf[slot(m_coloured[i])] = tag(m_coloured[i]) << 8 | levels[i];
        }
    }
    ++m_filled;
    ++m_nextRow;
    const bool last = m_nextRow == m_size.height();
    if (m_filled == m_bandHeight || last)
        m_stopped = !deliverBand();
    return !m_stopped;
}

bool TextBandSplitter::deliverBand()
{
    const bool last = m_nextRow == m_size.height();
    const int ownedTo = last ? m_size.height() : m_top + quietestOverlapRow();
    {
        // Gone before the overlap is moved, so that m_band is not shared then and copied.
        const QImage band = m_filled == m_bandHeight ? m_band : m_band.copy(0, 0, m_size.width(), m_filled);
        if (!m_reader(TextBand{band, m_top, m_ownedFrom, ownedTo, m_size}))
            return false;
    }
    if (last)
        return true;
    // The overlap starts the next band.
    const int kept = m_overlapRows;
    for (int y = 0; y < kept; ++y)
        std::memcpy(m_band.scanLine(y), m_band.constScanLine(m_filled - kept + y), size_t(m_size.width()));
    m_top += m_filled - kept;
    m_filled = kept;
    m_ownedFrom = ownedTo;
    return true;
}

int TextBandSplitter::quietestOverlapRow() const
{
    const int first = m_filled - m_overlapRows;
    const int middle = first + m_overlapRows / 2;
    int best = middle;
    qint64 bestChange = std::numeric_limits<qint64>::max();
    for (int y = first; y < m_filled; ++y) {
        const uchar *row = m_band.constScanLine(y);
        qint64 change = 0;
        for (int x = 1; x < m_size.width(); ++x)
            change += std::abs(int(row[x]) - int(row[x - 1]));
        // Equally quiet rows: the one nearest the middle, farthest from either band's edge.
        if (change < bestChange || (change == bestChange && std::abs(y - middle) < std::abs(best - middle))) {
            best = y;
            bestChange = change;
        }
    }
    return best;
}
