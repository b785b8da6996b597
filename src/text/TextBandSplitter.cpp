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
    // The row as a picture of its own, flattened exactly as a whole picture would be.
    const QImage row(reinterpret_cast<const uchar *>(pixels), m_size.width(), 1,
                     QImage::Format_ARGB32_Premultiplied);
    const QImage grey = TextImagePreparation::flattenedGrey(row);
    if (grey.isNull())
        return false;
    std::memcpy(m_band.scanLine(m_filled), grey.constScanLine(0), size_t(m_size.width()));
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
