#pragma once

#include "platform/ImageServices.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <vector>

// One horizontal band of a picture, and the rows of the whole picture it answers for.
struct TextBand final
{
    const QImage &grey; // Format_Grayscale8, the band's own rows
    int top = 0;        // the band's first row in the whole picture
    // The whole picture's rows [ownedFrom, ownedTo) whose lines this band reports: a line
    // belongs to the band that owns its vertical centre.
    int ownedFrom = 0;
    int ownedTo = 0;
    QSize whole;
};

// Cuts a picture that arrives a row at a time into horizontal bands the text engine reads one
// after the other, holding one band at a time. A picture up to wholeRows tall is one band. A
// taller one (a scrolling capture) is cut into bands of about bandRows that overlap by
// overlapRows, so that every text line shorter than the overlap lies whole in some band. The
// boundary between two bands is the quietest row of their overlap, the one that changes least
// along its length: the gap between two text lines when there is one, which no line crosses,
// so a line is neither reported by both bands nor lost between them.
// Rows are laid on white and turned grey as they arrive (as TextImagePreparation::flattenedGrey).
class TextBandSplitter final : public ImageServices::RowReceiver
{
public:
    // Reads one band; false stops the picture (no more rows are taken).
    using BandReader = std::function<bool(const TextBand &)>;

    TextBandSplitter(int wholeRows, int bandRows, int overlapRows, BandReader reader);

    bool begin(QSize size) override;
    bool addRow(const QRgb *pixels) override;

private:
    // The row of the band's last overlapRows rows that changes least along its length.
    int quietestOverlapRow() const;
    bool deliverBand();

    const int m_wholeRows;
    const int m_bandRows;
    const int m_overlapRows;
    BandReader m_reader;

    QSize m_size;
    int m_bandHeight = 0; // rows of every band but perhaps the last
    QImage m_band;
    int m_top = 0;        // the current band's first row in the picture
    int m_filled = 0;     // rows of the current band received
    int m_ownedFrom = 0;
    int m_nextRow = 0;    // rows of the picture received
    bool m_stopped = false;
    // The grey levels of colours already flattened: a screenshot has few colours, each in many
    // pixels. Direct-mapped; an entry is the colour, a set bit, and its grey level.
    std::vector<quint64> m_greyOf;
    // The pixels of the current row whose level is not known yet, and where they are.
    std::vector<QRgb> m_coloured;
    std::vector<int> m_colouredAt;
};
