#pragma once

#include <QRectF>
#include <QString>

// One recognised word and where it stands in its screenshot. The box is in fractions of the
// image's width and height (origin top left, as the image is shown upright), so it fits the
// picture at any size it is decoded or drawn at.
struct TextWord final
{
    QString text;
    QRectF box;

    friend bool operator==(const TextWord &, const TextWord &) = default;
};
