#include "text/TextImagePreparation.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Grey levels within which a 3×3 neighbourhood still counts as flat; JPEG noise stays below.
constexpr int kFlatTolerance = 12;
// A flat area smaller than this is the inside of a stroke or a letter's hole, not a background.
constexpr int kMinBackgroundArea = 300;
// How far around a pixel the strongest contrast is looked for.
constexpr int kContrastRadius = 8;
// Distances are stretched by at most 255 / kMinContrast, so that flat noise never becomes ink.
constexpr int kMinContrast = 100;
// Marks shorter than this are dots and specks; taller ones are rules and pictures.
constexpr int kMinMarkHeight = 4;
constexpr int kMaxMarkHeight = 80;
// Unknown distance to a background; the chamfer steps below are 3 straight and 4 diagonal.
constexpr uint8_t kFar = 255;

using Plane = std::vector<uint8_t>;

struct Run
{
    int y;
    int begin, end; // [begin, end)
    int parent;     // union-find over runs
};

struct Component
{
    int area = 0;
    int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
    int height() const { return bottom - top + 1; }
    int width() const { return right - left + 1; }
};

// Connected areas of the set pixels of a mask, found through its horizontal runs: memory in
// proportion to the runs, not to the pixels, which matters for 4K pictures.
class Components final
{
public:
    Components(const Plane &mask, int width, int height, bool eightConnected)
    {
        size_t previousBegin = 0, previousEnd = 0;
        for (int y = 0; y < height; ++y) {
            const uint8_t *row = mask.data() + size_t(y) * size_t(width);
            const size_t rowBegin = m_runs.size();
            for (int x = 0; x < width;) {
                if (!row[x]) {
                    ++x;
                    continue;
                }
                const int begin = x;
                while (x < width && row[x])
                    ++x;
                m_runs.push_back({y, begin, x, int(m_runs.size())});
            }
            // Runs of neighbouring rows that touch belong together; both lists are sorted.
            const int reach = eightConnected ? 1 : 0;
            size_t above = previousBegin;
            for (size_t i = rowBegin; i < m_runs.size(); ++i) {
                while (above < previousEnd && m_runs[above].end + reach <= m_runs[i].begin)
                    ++above;
                for (size_t j = above; j < previousEnd && m_runs[j].begin < m_runs[i].end + reach; ++j)
                    unite(int(i), int(j));
            }
            previousBegin = rowBegin;
            previousEnd = m_runs.size();
        }
    }

    const std::vector<Run> &runs() const { return m_runs; }

    // Each component's measures, and for every run the index of its component.
    std::vector<Component> measure(std::vector<int> &componentOfRun)
    {
        std::vector<int> indexOfRoot(m_runs.size(), -1);
        std::vector<Component> components;
        componentOfRun.resize(m_runs.size());
        for (size_t i = 0; i < m_runs.size(); ++i) {
            const int root = find(int(i));
            if (indexOfRoot[size_t(root)] < 0) {
                indexOfRoot[size_t(root)] = int(components.size());
                components.emplace_back();
            }
            const int index = indexOfRoot[size_t(root)];
            componentOfRun[i] = index;
            Component &c = components[size_t(index)];
            const Run &run = m_runs[i];
            c.area += run.end - run.begin;
            c.top = std::min(c.top, run.y);
            c.bottom = std::max(c.bottom, run.y);
            c.left = std::min(c.left, run.begin);
            c.right = std::max(c.right, run.end - 1);
        }
        return components;
    }

private:
    int find(int i)
    {
        while (m_runs[size_t(i)].parent != i) {
            m_runs[size_t(i)].parent = m_runs[size_t(m_runs[size_t(i)].parent)].parent;
            i = m_runs[size_t(i)].parent;
        }
        return i;
    }
    void unite(int a, int b)
    {
        a = find(a);
        b = find(b);
        if (a != b)
            m_runs[size_t(std::max(a, b))].parent = std::min(a, b);
    }

    std::vector<Run> m_runs;
};

// Background candidates: pixels whose 3×3 neighbourhood varies by at most kFlatTolerance.
Plane flatPixels(const Plane &value, int width, int height)
{
    Plane flat(value.size());
    // Horizontal minimum and maximum of three, for the rows above, at and below the current one.
    std::vector<uint8_t> lows(size_t(width) * 3), highs(size_t(width) * 3);
    const auto horizontal = [&](int y) {
        const uint8_t *row = value.data() + size_t(y) * size_t(width);
        uint8_t *low = lows.data() + size_t(y % 3) * size_t(width);
        uint8_t *high = highs.data() + size_t(y % 3) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const uint8_t l = row[std::max(0, x - 1)], m = row[x], r = row[std::min(width - 1, x + 1)];
            low[x] = std::min({l, m, r});
            high[x] = std::max({l, m, r});
        }
    };
    horizontal(0);
    if (height > 1)
        horizontal(1);
    for (int y = 0; y < height; ++y) {
        if (y + 1 < height && y >= 1)
            horizontal(y + 1);
        const size_t above = size_t(std::max(0, y - 1) % 3) * size_t(width);
        const size_t at = size_t(y % 3) * size_t(width);
        const size_t below = size_t(std::min(height - 1, y + 1) % 3) * size_t(width);
        uint8_t *out = flat.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const int low = std::min({lows[above + x], lows[at + x], lows[below + x]});
            const int high = std::max({highs[above + x], highs[at + x], highs[below + x]});
            out[x] = high - low <= kFlatTolerance;
        }
    }
    return flat;
}

// Clears the flat areas too small to be a background.
void dropSmallAreas(Plane &flat, int width, int height)
{
    Components components(flat, width, height, false);
    std::vector<int> componentOfRun;
    const std::vector<Component> measured = components.measure(componentOfRun);
    const std::vector<Run> &runs = components.runs();
    for (size_t i = 0; i < runs.size(); ++i) {
        if (measured[size_t(componentOfRun[i])].area >= kMinBackgroundArea)
            continue;
        const Run &run = runs[i];
        std::memset(flat.data() + size_t(run.y) * size_t(width) + size_t(run.begin), 0, size_t(run.end - run.begin));
    }
}

// Every pixel gets the value of the nearest background pixel (chamfer distance, two passes).
// Pixels farther than the distance can count keep a white background.
Plane nearestBackground(const Plane &value, Plane &distance, int width, int height)
{
    Plane background(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const bool isBackground = distance[i] != 0;
        distance[i] = isBackground ? 0 : kFar;
        background[i] = isBackground ? value[i] : 255;
    }
    const auto relax = [&](size_t i, size_t from, int step) {
        const int reached = distance[from] + step;
        if (reached < distance[i]) {
            distance[i] = uint8_t(reached);
            background[i] = background[from];
        }
    };
    const size_t w = size_t(width);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t i = size_t(y) * w + size_t(x);
            if (distance[i] == 0)
                continue;
            if (x > 0)
                relax(i, i - 1, 3);
            if (y > 0) {
                relax(i, i - w, 3);
                if (x > 0)
                    relax(i, i - w - 1, 4);
                if (x + 1 < width)
                    relax(i, i - w + 1, 4);
            }
        }
    }
    for (int y = height - 1; y >= 0; --y) {
        for (int x = width - 1; x >= 0; --x) {
            const size_t i = size_t(y) * w + size_t(x);
            if (distance[i] == 0)
                continue;
            if (x + 1 < width)
                relax(i, i + 1, 3);
            if (y + 1 < height) {
                relax(i, i + w, 3);
                if (x + 1 < width)
                    relax(i, i + w + 1, 4);
                if (x > 0)
                    relax(i, i + w - 1, 4);
            }
        }
    }
    return background;
}

// The largest value within radius in both directions, written to out (same size as in).
void squareMaximum(const Plane &in, Plane &out, Plane &scratch, int width, int height, int radius)
{
    // Along each row with a monotonic queue, then across rows.
    std::vector<int> queue(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const uint8_t *row = in.data() + size_t(y) * size_t(width);
        uint8_t *target = scratch.data() + size_t(y) * size_t(width);
        int head = 0, tail = 0, added = 0;
        for (int x = 0; x < width; ++x) {
            for (const int last = std::min(width - 1, x + radius); added <= last; ++added) {
                while (tail > head && row[queue[size_t(tail - 1)]] <= row[added])
                    --tail;
                queue[size_t(tail++)] = added;
            }
            while (queue[size_t(head)] < x - radius)
                ++head;
            target[x] = row[queue[size_t(head)]];
        }
    }
    for (int y = 0; y < height; ++y) {
        uint8_t *target = out.data() + size_t(y) * size_t(width);
        std::memcpy(target, scratch.data() + size_t(y) * size_t(width), size_t(width));
        for (int other = std::max(0, y - radius); other <= std::min(height - 1, y + radius); ++other) {
            const uint8_t *source = scratch.data() + size_t(other) * size_t(width);
            for (int x = 0; x < width; ++x)
                target[x] = std::max(target[x], source[x]);
        }
    }
}

QImage greyScaled(const QImage &grey, QSize size)
{
    return grey.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_Grayscale8);
}

} // namespace

QImage TextImagePreparation::prepared(const QImage &decoded, int maxPixelSize)
{
    if (decoded.isNull())
        return {};
    const QImage grey = flattenedGrey(decoded);
    QImage clean = normalizedContrast(grey);
    const int textHeight = typicalTextHeight(clean);
    // Large text is shrunk and normalised again: its strokes came out hollow.
    if (const int large = largeTextHeightOf(grey, textHeight)) {
        clean = QImage();
        const double scale = double(largeTextTarget) / large;
        const QSize size(std::max(1, qRound(grey.width() * scale)), std::max(1, qRound(grey.height() * scale)));
        return normalizedContrast(greyScaled(grey, size));
    }
    if (textHeight > 0 && textHeight < smallTextHeight) {
        const double scale = std::min(smallTextScale, double(maxPixelSize) / std::max(clean.width(), clean.height()));
        if (scale > 1.1) {
            clean = clean.scaled(qRound(clean.width() * scale), qRound(clean.height() * scale),
                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_Grayscale8);
        }
    }
    return clean;
}

QImage TextImagePreparation::flattenedGrey(const QImage &image)
{
    if (image.isNull())
        return {};
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_Grayscale8);
    // Composited by hand: painting would honour the image's device pixel ratio (Qt gives files
    // named "name@2x.png" a ratio of 2) and shrink the picture.
    QImage flat = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (flat.isNull())
        return flat;
    for (int y = 0; y < flat.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(flat.scanLine(y));
        for (int x = 0; x < flat.width(); ++x) {
            const QRgb pixel = line[x];
            const int white = 255 - qAlpha(pixel);
            line[x] = qRgb(qRed(pixel) + white, qGreen(pixel) + white, qBlue(pixel) + white);
        }
    }
    return flat.convertToFormat(QImage::Format_Grayscale8);
}

QImage TextImagePreparation::normalizedContrast(const QImage &grey)
{
    Q_ASSERT(grey.isNull() || grey.format() == QImage::Format_Grayscale8);
    const int width = grey.width(), height = grey.height();
    if (width == 0 || height == 0)
        return grey;
    const size_t w = size_t(width);
    Plane value(w * size_t(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(value.data() + size_t(y) * w, grey.constScanLine(y), w);

    // Each buffer is reused once its content is no longer needed: four planes at the peak.
    Plane distance = flatPixels(value, width, height);
    dropSmallAreas(distance, width, height);
    Plane background = nearestBackground(value, distance, width, height);
    Plane &deviation = value;
    for (size_t i = 0; i < deviation.size(); ++i)
        deviation[i] = uint8_t(std::abs(int(value[i]) - int(background[i])));
    Plane &contrast = distance;
    squareMaximum(deviation, contrast, background, width, height, kContrastRadius);

    QImage out(width, height, QImage::Format_Grayscale8);
    if (out.isNull())
        return out;
    for (int y = 0; y < height; ++y) {
        uint8_t *target = out.scanLine(y);
        const uint8_t *d = deviation.data() + size_t(y) * w;
        const uint8_t *c = contrast.data() + size_t(y) * w;
        for (int x = 0; x < width; ++x) {
            const int stretch = std::max<int>(c[x], kMinContrast);
            target[x] = uint8_t(255 - std::min(255, d[x] * 255 / stretch));
        }
    }
    return out;
}

int TextImagePreparation::typicalTextHeight(const QImage &normalized)
{
    const int width = normalized.width(), height = normalized.height();
    if (width == 0 || height == 0)
        return 0;
    Plane ink(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t *row = normalized.constScanLine(y);
        uint8_t *out = ink.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x)
            out[x] = row[x] < 128;
    }
    Components components(ink, width, height, true);
    ink = Plane();
    std::vector<int> componentOfRun;
    std::vector<int> heights;
    for (const Component &c : components.measure(componentOfRun)) {
        // Long flat marks are rules and underlines, not characters.
        if (c.height() >= kMinMarkHeight && c.height() <= kMaxMarkHeight && c.width() <= 8 * c.height())
            heights.push_back(c.height());
    }
    if (heights.empty())
        return 0;
    const auto middle = heights.begin() + std::ptrdiff_t(heights.size() / 2);
    std::nth_element(heights.begin(), middle, heights.end());
    return *middle;
}

int TextImagePreparation::largeTextHeightOf(const QImage &grey, int fullSizeHeight)
{
    int finer = fullSizeHeight;
    for (int factor = 2; factor <= 8; factor *= 2) {
        const QSize size(grey.width() / factor, grey.height() / factor);
        if (size.isEmpty())
            break;
        const int coarser = typicalTextHeight(normalizedContrast(greyScaled(grey, size)));
        if (finer > 0 && coarser > 0 && std::abs(finer - 2 * coarser) <= std::max(2, finer / 4)) {
            const int height = finer * factor / 2;
            return height > largeTextHeight ? height : 0;
        }
        finer = coarser;
    }
    return 0;
}
