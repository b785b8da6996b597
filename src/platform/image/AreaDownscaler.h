#pragma once

#include "platform/image/ExactDivider.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <vector>

// Shrinks an image that arrives one row at a time, each pixel of the result the average of the
// source area it covers. Holds two rows of sums and the small result, never the source image,
// so a 2560 × 40000 capture costs what its thumbnail costs. Given a row sink it holds not even
// the result: each result row goes to the sink as soon as it is complete.
class AreaDownscaler final
{
public:
    // One result row of target.width() pixels, in result()'s format; false stops: the rows
    // added after it are ignored.
    using RowSink = std::function<bool(const QRgb *row)>;

    // Rows carry `channels` bytes a pixel: 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA; alpha last,
    // not premultiplied. The target is at most the source on each side.
    AreaDownscaler(QSize source, QSize target, int channels, RowSink sink = {});

    // False for sizes it cannot shrink between (target larger than the source, empty, or a side
    // so long that the sums could overflow).
    bool isValid() const { return !m_result.isNull(); }

    // Bytes it holds besides the result, for callers that bound what a decode may take.
    static qint64 workingBytes(QSize target, int channels);

    // The next source row, top to bottom; source.width() pixels.
    void addRow(const uchar *row);

    // RGB32, or ARGB32_Premultiplied when the rows carry alpha; complete once every row was added.
    // With a sink, only the last row handed to it.
    const QImage &result() const { return m_result; }

    // Whether the sink asked for no more rows.
    bool stopped() const { return m_stopped; }

private:
    // The source columns one result column covers: whole ones between `first` and `last`, and
    // the parts of those two that fall inside it, in units of 1/target of a source pixel.
    struct Span
    {
        quint32 first = 0;
        quint32 last = 0;
        quint32 firstWeight = 0;
        quint32 lastWeight = 0;
    };
    static std::vector<Span> spans(int sourceLength, int targetLength);

    template <int Channels, bool Alpha>
    void sumRow(const uchar *row);
    void flushRow();
    template <int Channels>
    void writeRow(QRgb *out) const;
    void copyRow(const uchar *row);

    QSize m_source;
    QSize m_target;
    int m_channels = 0;
    bool m_alpha = false;
    bool m_copy = false;
    std::vector<Span> m_columns;
    // A result pixel's share of the sums: its area, times 255 for premultiplied colour.
    ExactDivider m_colourArea;
    ExactDivider m_area;
    int m_sourceRow = 0;
    int m_targetRow = 0;
    std::vector<quint64> m_rowSums; // the current source row, summed horizontally
    std::vector<quint64> m_current; // the target row being filled
    std::vector<quint64> m_next;    // what spills into the row after it
    QImage m_result;
    RowSink m_sink;
    bool m_stopped = false;
};
