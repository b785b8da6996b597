#pragma once

#include <QImage>

// Turns a decoded screenshot into the picture the text engine reads best: 8-bit grey with all
// text dark on white, whatever its colours, small text enlarged and large text shrunk. Screenshots mix light and
// dark areas (dark panes, selected rows, coloured buttons and bubbles); the engine's one global
// threshold loses the text of whichever kind is in the minority, so each pixel is measured
// against its own background instead. Pure functions: safe on any thread.
class TextImagePreparation final
{
public:
    TextImagePreparation() = delete;

    // Typical text below this height (in pixels, see typicalTextHeight) is enlarged.
    static constexpr int smallTextHeight = 12;
    static constexpr double smallTextScale = 1.5;

    // Text taller than this (in pixels, see largeTextHeightOf) is shrunk to largeTextTarget.
    static constexpr int largeTextHeight = 40;
    static constexpr int largeTextTarget = 24;

    // The whole preparation: grey, shrunk to largeTextTarget when its text is large, normalised,
    // then enlarged by smallTextScale when its text is small, as long as the longer side stays
    // within maxPixelSize. Null for a null image. A picture that is already grey is used as it is.
    static QImage prepared(const QImage &decoded, int maxPixelSize);

    // Luminance, with transparent pixels laid on white first (they would otherwise turn black
    // and hide dark text). Ignores the device pixel ratio: pixels stay as they are.
    static QImage flattenedGrey(const QImage &image);

    // Every pixel's distance from the background around it, drawn dark on white: text lighter
    // than its background and text darker than it come out alike. The background of a pixel is
    // the nearest flat area of some size (a 3×3 neighbourhood within a few grey levels, in a
    // connected area of at least a few hundred pixels, so the inside of a thick stroke does not
    // count); the distance is stretched by the strongest contrast nearby, so faint text turns as
    // dark as the rest while flat noise stays white. Expects Format_Grayscale8.
    static QImage normalizedContrast(const QImage &grey);

    // The median height of the dark marks of a normalised picture that are shaped like
    // characters; 0 when there are none.
    static int typicalTextHeight(const QImage &normalized);

    // The typical height of the text of a grey picture when it is above largeTextHeight, else 0;
    // fullSizeHeight is typicalTextHeight() of its normalised picture. At full size the inside
    // of a thick stroke is as flat as a background, so large text comes out hollow and measures
    // as specks: the height is taken at the largest of copies a half, a quarter and an eighth
    // the size where two successive sizes agree, as the same text does and specks, hollow
    // strokes and shapes that are not text do not. Expects Format_Grayscale8.
    static int largeTextHeightOf(const QImage &grey, int fullSizeHeight);
};
