#include "text/TextImagePreparation.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Whole-plane passes, sixteen pixels at a time where the processor has SSE2 (every x86-64
// one): the compiler does not vectorise these loops at -O2, and a 4K picture has 8 million
// pixels. Each gives exactly what its plain loop gives.

// target[i] = max(a[i], b[i]) (min for minimumOf) for n bytes; target may be a, and b may lie
// ahead of a in the same buffer, since each block is read before it is written.
void maximumOf(uint8_t *target, const uint8_t *a, const uint8_t *b, size_t n)
{
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + i), _mm_max_epu8(x, y));
    }
#endif
    for (; i < n; ++i)
        target[i] = std::max(a[i], b[i]);
}

void minimumOf(uint8_t *target, const uint8_t *a, const uint8_t *b, size_t n)
{
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + i), _mm_min_epu8(x, y));
    }
#endif
    for (; i < n; ++i)
        target[i] = std::min(a[i], b[i]);
}

// target[i] = |a[i] - b[i]|; target may be a or b.
void absoluteDifference(uint8_t *target, const uint8_t *a, const uint8_t *b, size_t n)
{
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + i),
                         _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x)));
    }
#endif
    for (; i < n; ++i)
        target[i] = uint8_t(std::abs(int(a[i]) - int(b[i])));
}

// target[i] = 1 where high[i] - low[i] <= tolerance (high >= low), else 0.
void withinTolerance(uint8_t *target, const uint8_t *high, const uint8_t *low, size_t n, uint8_t tolerance)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i limit = _mm_set1_epi8(char(tolerance));
    const __m128i one = _mm_set1_epi8(1);
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(high + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(low + i));
        const __m128i beyond = _mm_subs_epu8(_mm_sub_epi8(x, y), limit);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + i),
                         _mm_and_si128(_mm_cmpeq_epi8(beyond, _mm_setzero_si128()), one));
    }
#endif
    for (; i < n; ++i)
        target[i] = high[i] - low[i] <= tolerance;
}

// The first x from `x` on, before `end`, where row[x] is set (non-zero) if Set, clear if not;
// `end` when there is none.
template <bool Set>
int nextWhere(const uint8_t *row, int x, int end)
{
#if defined(__SSE2__)
    for (; x + 16 <= end; x += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + x));
        const int clear = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
        if (const int hits = Set ? ~clear & 0xFFFF : clear)
            return x + __builtin_ctz(unsigned(hits));
    }
#endif
    while (x < end && (row[x] != 0) != Set)
        ++x;
    return x;
}

// The last x before `end` where row[x] is set; -1 when there is none.
int lastSetBefore(const uint8_t *row, int end)
{
    int x = end;
#if defined(__SSE2__)
    for (; x >= 16; x -= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + x - 16));
        const int clear = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
        if (const int hits = ~clear & 0xFFFF)
            return x - 16 + 31 - __builtin_clz(unsigned(hits));
    }
#endif
    while (--x >= 0 && row[x] == 0) {
    }
    return x;
}

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
            for (int x = nextWhere<true>(row, 0, width); x < width; x = nextWhere<true>(row, x, width)) {
                const int begin = x;
                x = nextWhere<false>(row, x, width);
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
    const size_t w = size_t(width);
    // Horizontal minimum and maximum of three, for the rows above, at and below the current one;
    // a row's ends repeat its first and last pixel.
    std::vector<uint8_t> lows(w * 3), highs(w * 3), edged(w + 2), low(w), high(w);
    const auto horizontal = [&](int y) {
        const uint8_t *row = value.data() + size_t(y) * w;
        edged.front() = row[0];
        std::memcpy(edged.data() + 1, row, w);
        edged.back() = row[w - 1];
        uint8_t *rowLow = lows.data() + size_t(y % 3) * w;
        uint8_t *rowHigh = highs.data() + size_t(y % 3) * w;
        minimumOf(rowLow, edged.data(), edged.data() + 1, w);
        minimumOf(rowLow, rowLow, edged.data() + 2, w);
        maximumOf(rowHigh, edged.data(), edged.data() + 1, w);
        maximumOf(rowHigh, rowHigh, edged.data() + 2, w);
    };
    horizontal(0);
    if (height > 1)
        horizontal(1);
    for (int y = 0; y < height; ++y) {
        if (y + 1 < height && y >= 1)
            horizontal(y + 1);
        const size_t above = size_t(std::max(0, y - 1) % 3) * w;
        const size_t at = size_t(y % 3) * w;
        const size_t below = size_t(std::min(height - 1, y + 1) % 3) * w;
        minimumOf(low.data(), lows.data() + above, lows.data() + at, w);
        minimumOf(low.data(), low.data(), lows.data() + below, w);
        maximumOf(high.data(), highs.data() + above, highs.data() + at, w);
        maximumOf(high.data(), high.data(), highs.data() + below, w);
        withinTolerance(flat.data() + size_t(y) * w, high.data(), low.data(), w, kFlatTolerance);
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
    size_t first = 0;
#if defined(__SSE2__)
    static_assert(kFar == 255);
    for (; first + 16 <= value.size(); first += 16) {
        const __m128i isBackground = _mm_loadu_si128(reinterpret_cast<const __m128i *>(distance.data() + first));
        // All ones (kFar, and white) where it is not.
        const __m128i far = _mm_cmpeq_epi8(isBackground, _mm_setzero_si128());
        const __m128i pixel = _mm_loadu_si128(reinterpret_cast<const __m128i *>(value.data() + first));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(distance.data() + first), far);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(background.data() + first), _mm_or_si128(pixel, far));
    }
#endif
    for (size_t i = first; i < value.size(); ++i) {
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
    // Background pixels stay at distance 0 and are passed over.
    for (int y = 0; y < height; ++y) {
        const uint8_t *row = distance.data() + size_t(y) * w;
        for (int x = nextWhere<true>(row, 0, width); x < width; x = nextWhere<true>(row, x + 1, width)) {
            const size_t i = size_t(y) * w + size_t(x);
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
        const uint8_t *row = distance.data() + size_t(y) * w;
        for (int x = lastSetBefore(row, width); x >= 0; x = lastSetBefore(row, x)) {
            const size_t i = size_t(y) * w + size_t(x);
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

// Turns `length` values of `stride` bytes each (one byte, or a row), followed by zeros, into the
// maxima of the windows of `window` values starting at each: zero is neutral, so a window
// reaching past the end counts only what is there. `data` must hold length + window values.
// Windows of 2, 4, 8 ... are made in place, then each window is two overlapping ones of the
// largest power of two that fits: a few whole passes instead of one per value in the window.
void slidingMaximum(uint8_t *data, size_t stride, int length, int window)
{
    int span = 1;
    for (; 2 * span <= window; span *= 2)
        maximumOf(data, data, data + size_t(span) * stride, size_t(length + window - span) * stride);
    if (span < window)
        maximumOf(data, data, data + size_t(window - span) * stride, size_t(length) * stride);
}

// The largest value within radius in both directions, written to out (same size as in).
void squareMaximum(const Plane &in, Plane &out, int width, int height, int radius)
{
    const int window = 2 * radius + 1;
    const size_t w = size_t(width);
    // Rows kept with `radius` zero rows above and `window` below; each row laid out with
    // `radius` zeros before it and `window` after, as the windows need.
    Plane rows(w * size_t(height + radius + window));
    std::vector<uint8_t> line(w + size_t(radius + window));
    for (int y = 0; y < height; ++y) {
        std::memcpy(line.data() + radius, in.data() + size_t(y) * w, w);
        std::fill(line.begin() + radius + width, line.end(), 0);
        slidingMaximum(line.data(), 1, width, window);
        std::memcpy(rows.data() + size_t(y + radius) * w, line.data(), w);
    }
    slidingMaximum(rows.data(), w, height, window);
    std::memcpy(out.data(), rows.data(), w * size_t(height));
}
// Qt scales grey pictures in colour and gives back grey pixels in 32 bits. Those are their
// own grey level; converting them as colour would measure each one's luminance, and give the
// same value at many times the cost.
QImage greyOf(const QImage &scaled)
{
    if (scaled.format() != QImage::Format_RGB32 && scaled.format() != QImage::Format_ARGB32_Premultiplied)
        return scaled.convertToFormat(QImage::Format_Grayscale8);
    QImage grey(scaled.size(), QImage::Format_Grayscale8);
    if (grey.isNull())
        return grey;
    const int width = scaled.width(), height = scaled.height();
    for (int y = 0; y < height; ++y) {
        const auto *pixels = reinterpret_cast<const QRgb *>(scaled.constScanLine(y));
        uint8_t *out = grey.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = pixels[x];
            if (qAlpha(pixel) != 255 || qRed(pixel) != qGreen(pixel) || qGreen(pixel) != qBlue(pixel))
                return scaled.convertToFormat(QImage::Format_Grayscale8);
            out[x] = uint8_t(qRed(pixel));
        }
    }
    return grey;
}

// Qt scales in colour: a grey picture is widened to 32 bits first, and Qt would do that as
// colour too, at far more than this costs.
QImage greyScaled(const QImage &grey, QSize size)
{
    Q_ASSERT(grey.format() == QImage::Format_Grayscale8);
    QImage wide(grey.size(), QImage::Format_RGB32);
    if (wide.isNull())
        return wide;
    const int width = grey.width(), height = grey.height();
    for (int y = 0; y < height; ++y) {
        const uint8_t *levels = grey.constScanLine(y);
        auto *out = reinterpret_cast<QRgb *>(wide.scanLine(y));
        for (int x = 0; x < width; ++x)
            out[x] = qRgb(levels[x], levels[x], levels[x]);
    }
    return greyOf(wide.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
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
            clean = greyScaled(clean, QSize(qRound(clean.width() * scale), qRound(clean.height() * scale)));
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
    const int width = flat.width(), height = flat.height();
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(flat.scanLine(y));
        for (int x = 0; x < width; ++x) {
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
    absoluteDifference(deviation.data(), value.data(), background.data(), value.size());
    background = Plane();
    Plane &contrast = distance;
    squareMaximum(deviation, contrast, width, height, kContrastRadius);

    QImage out(width, height, QImage::Format_Grayscale8);
    if (out.isNull())
        return out;
    // The stretched value of every deviation for every contrast: a look-up, not a division, per pixel.
    static const std::vector<uint8_t> stretched = [] {
        std::vector<uint8_t> table(size_t(256 - kMinContrast) * 256);
        for (int stretch = kMinContrast; stretch < 256; ++stretch) {
            for (int d = 0; d < 256; ++d)
                table[size_t(stretch - kMinContrast) * 256 + size_t(d)] = uint8_t(255 - std::min(255, d * 255 / stretch));
        }
        return table;
    }();
    for (int y = 0; y < height; ++y) {
        uint8_t *target = out.scanLine(y);
        const uint8_t *d = deviation.data() + size_t(y) * w;
        const uint8_t *c = contrast.data() + size_t(y) * w;
        for (int x = 0; x < width; ++x)
            target[x] = stretched[size_t(std::max<int>(c[x], kMinContrast) - kMinContrast) * 256 + d[x]];
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
