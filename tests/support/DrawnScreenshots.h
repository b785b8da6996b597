#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

namespace DrawnScreenshots {

// A page of lines drawn one word at a time, so that where every word is is known: for checking
// where a recogniser places words. A line's words are laid out from the left, or from the right
// when it reads right to left (and then the first word is the rightmost).
struct WordLine
{
    QStringList words;
    bool rightToLeft = false;
};
struct PlacedWord
{
    QString text;
    QRect box; // the word's ink, in pixels
};
struct WordPage
{
    QImage image;
    QList<PlacedWord> words; // in the order drawn
};
WordPage wordPage(QSize size, const QList<WordLine> &lines, int pixelSize);

} // namespace DrawnScreenshots
