#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Screenshot-like pictures drawn for looking at the design: a terminal, an editor, documents, a
// chat, a dialog and a chart, each with the text a recogniser would read in it.
namespace DrawnScreenshots {

struct Shot
{
    QString name;
    QImage image;
    QString text; // what the fake recogniser reads in it
};

QList<Shot> shots();

} // namespace DrawnScreenshots
