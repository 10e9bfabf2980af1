#include "core/lanefinder.h"

#include <QRgba64>
#include <QtAlgorithms>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kesto {

namespace {

bool isSixteenBit(QImage::Format format)
{
    return format == QImage::Format_Grayscale16 || format == QImage::Format_RGBX64 ||
           format == QImage::Format_RGBA64 || format == QImage::Format_RGBA64_Premultiplied;
}

bool readsDirectly(QImage::Format format)
{
    return isSixteenBit(format) || format == QImage::Format_RGB32 ||
           format == QImage::Format_ARGB32 || format == QImage::Format_Grayscale8;
}

// Reads count channel values of row y from column x0 into out, in the picture's own units.
// The picture is in a format readsDirectly() accepts.
void readChannelRow(const QImage& picture, int y, int x0, int count, Channel channel,
                    std::uint16_t* out)
{
    const uchar* line = picture.constScanLine(y);
    switch (picture.format()) {
    case QImage::Format_Grayscale16: {
        const auto* p = reinterpret_cast<const std::uint16_t*>(line) + x0;
        std::copy(p, p + count, out);
        return;
    }
    case QImage::Format_Grayscale8: {
        const uchar* p = line + x0;
        std::copy(p, p + count, out);
        return;
    }
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied: {
        const auto* p = reinterpret_cast<const QRgba64*>(line) + x0;
        for (int i = 0; i < count; ++i)
            out[i] = channel == Channel::Red     ? p[i].red()
                     : channel == Channel::Green ? p[i].green()
                                                 : p[i].blue();
        return;
    }
    default: {
        const auto* p = reinterpret_cast<const std::uint32_t*>(line) + x0;
        // The shift a constant in each loop, so each loop takes several pixels at once.
        if (channel == Channel::Red)
            for (int i = 0; i < count; ++i)
                out[i] = std::uint16_t((p[i] >> 16) & 0xFFu);
        else if (channel == Channel::Green)
            for (int i = 0; i < count; ++i)
                out[i] = std::uint16_t((p[i] >> 8) & 0xFFu);
        else
            for (int i = 0; i < count; ++i)
                out[i] = std::uint16_t(p[i] & 0xFFu);
        return;
    }
    }
}

// The sum of count samples, in 32 bits (exact for up to 65537 samples of 16 bits), which
// the compiler adds several at a time.
std::uint32_t sumOf(const std::uint16_t* samples, int count)
{
    std::uint32_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += samples[i];
    return sum;
}

// The sum of any number of samples, 65536 at a time.
std::uint64_t wideSum(const std::uint16_t* samples, int count)
{
    std::uint64_t sum = 0;
    for (int i = 0; i < count; i += 65536)
        sum += sumOf(samples + i, std::min(count - i, 65536));
    return sum;
}

// Adds count samples to the running column sums.
void addTo(std::uint32_t* sums, const std::uint16_t* samples, int count)
{
    for (int i = 0; i < count; ++i)
        sums[i] += samples[i];
}

// A row of a 32-bit picture's channel, at Shift, added to the running column sums;
// returns the row's sum.
template <unsigned Shift>
std::uint32_t addAndSum(const std::uint32_t* pixels, int count, std::uint32_t* sums)
{
    std::uint32_t sum = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t v = (pixels[i] >> Shift) & 0xFFu;
        sums[i] += v;
        sum += v;
    }
    return sum;
}

// The same for count 8-bit samples.
std::uint32_t addAndSumBytes(const uchar* samples, int count, std::uint32_t* sums)
{
    std::uint32_t sum = 0;
    for (int i = 0; i < count; ++i) {
        sums[i] += samples[i];
        sum += samples[i];
    }
    return sum;
}

// The sum of one channel of count 32-bit pixels, at Shift, in 32-bit chunks that cannot
// overflow, which the compiler adds several pixels at a time.
template <unsigned Shift> std::uint64_t sumShifted(const std::uint32_t* pixels, int count)
{
    constexpr int Chunk = 1 << 24;
    std::uint64_t total = 0;
    for (int start = 0; start < count; start += Chunk) {
        const std::uint32_t* p = pixels + start;
        const int n = std::min(Chunk, count - start);
        std::uint32_t sum = 0;
        for (int i = 0; i < n; ++i)
            sum += (p[i] >> Shift) & 0xFFu;
        total += sum;
    }
    return total;
}

// The sum of count 8-bit samples.
std::uint64_t sumBytes(const uchar* samples, int count)
{
    constexpr int Chunk = 1 << 24;
    std::uint64_t total = 0;
    for (int start = 0; start < count; start += Chunk) {
        const uchar* p = samples + start;
        const int n = std::min(Chunk, count - start);
        std::uint32_t sum = 0;
        for (int i = 0; i < n; ++i)
            sum += p[i];
        total += sum;
    }
    return total;
}

// Adds one channel of count 32-bit pixels, at Shift, to the running sums.
template <unsigned Shift>
void addShifted(std::uint32_t* sums, const std::uint32_t* pixels, int count)
{
    for (int i = 0; i < count; ++i)
        sums[i] += (pixels[i] >> Shift) & 0xFFu;
}

// The region's channel values with the lanes running down the rows: `along` rows of
// `across` values each. Nothing of the region is copied as a whole: a row is read from
// the picture's scan lines when asked for (in place for a 16-bit gray picture with upright
// lanes). With lanes across the picture a row of the plane is a column of the picture, so
// a block of columns is read at once, the picture's rows in order.
class Plane
{
public:
    Plane(const QImage& source, const QRect& region, Channel readChannel, bool sideways)
        : across(sideways ? region.height() : region.width()),
          along(sideways ? region.width() : region.height()), m_picture(&source), m_area(region),
          m_channel(readChannel), m_horizontal(sideways), m_format(source.format()),
          m_bits(source.constBits()), m_stride(std::size_t(source.bytesPerLine()))
    {
    }

    int across = 0;
    int along = 0;
    int flip = -1; // the maximum when means are read upside down, else -1

    double signal(double mean) const { return flip < 0 ? mean : flip - mean; }
    bool horizontal() const { return m_horizontal; }
    const QImage& picture() const { return *m_picture; }
    const QRect& area() const { return m_area; }
    Channel channel() const { return m_channel; }

    // Row l of the plane; the samples stay valid until the next call.
    const std::uint16_t* row(int l) const
    {
        if (!m_horizontal) {
            if (m_picture->format() == QImage::Format_Grayscale16)
                return reinterpret_cast<const std::uint16_t*>(
                           m_picture->constScanLine(m_area.top() + l)) +
                       m_area.left();
            if (l != m_first) {
                m_block.resize(std::size_t(across));
                readChannelRow(*m_picture, m_area.top() + l, m_area.left(), across, m_channel,
                               m_block.data());
                m_first = l;
            }
            return m_block.data();
        }
        if (m_first < 0 || l < m_first || l >= m_first + BlockRows) {
            m_first = l;
            const int count = std::min(BlockRows, along - l);
            m_block.resize(std::size_t(BlockRows) * std::size_t(across));
            std::vector<std::uint16_t> line(static_cast<std::size_t>(count));
            for (int a = 0; a < across; ++a) {
                readChannelRow(*m_picture, m_area.top() + a, m_area.left() + l, count, m_channel,
                               line.data());
                for (int k = 0; k < count; ++k)
                    m_block[std::size_t(k) * std::size_t(across) + std::size_t(a)] =
                        line[std::size_t(k)];
            }
        }
        return m_block.data() + std::size_t(l - m_first) * std::size_t(across);
    }

    // Whether sumPart() reads the picture's scan lines where they lie: upright lanes on an
    // 8-bit picture or a 16-bit gray one.
    bool sumsInPlace() const
    {
        return !m_horizontal &&
               (m_format == QImage::Format_RGB32 || m_format == QImage::Format_ARGB32 ||
                m_format == QImage::Format_Grayscale8 || m_format == QImage::Format_Grayscale16);
    }

    // The sum of count samples of row l from a0 on, read from the picture's scan line
    // without copying it; only when sumsInPlace().
    std::uint64_t sumPart(int l, int a0, int count) const
    {
        const uchar* line = scanLine(l);
        const int x0 = m_area.left() + a0;
        switch (m_format) {
        case QImage::Format_Grayscale16:
            return wideSum(reinterpret_cast<const std::uint16_t*>(line) + x0, count);
        case QImage::Format_Grayscale8:
            return sumBytes(line + x0, count);
        default:
            break;
        }
        const auto* p = reinterpret_cast<const std::uint32_t*>(line) + x0;
        if (m_channel == Channel::Red)
            return sumShifted<16>(p, count);
        if (m_channel == Channel::Green)
            return sumShifted<8>(p, count);
        return sumShifted<0>(p, count);
    }

    // Adds count samples of row l from a0 on to the running sums: a few samples read where
    // they lie.
    void addPart(int l, int a0, int count, std::uint32_t* sums) const
    {
        if (!m_horizontal) {
            if (m_format == QImage::Format_RGB32 || m_format == QImage::Format_ARGB32) {
                const auto* p =
                    reinterpret_cast<const std::uint32_t*>(scanLine(l)) + m_area.left() + a0;
                if (m_channel == Channel::Red)
                    addShifted<16>(sums, p, count);
                else if (m_channel == Channel::Green)
                    addShifted<8>(sums, p, count);
                else
                    addShifted<0>(sums, p, count);
                return;
            }
            if (m_format == QImage::Format_Grayscale8) {
                const uchar* p = scanLine(l) + m_area.left() + a0;
                for (int i = 0; i < count; ++i)
                    sums[i] += p[i];
                return;
            }
        }
        m_part.resize(std::size_t(count));
        readPart(l, a0, count, m_part.data());
        addTo(sums, m_part.data(), count);
    }

private:
    // The picture's scan line of row l of an upright plane.
    const uchar* scanLine(int l) const { return m_bits + std::size_t(m_area.top() + l) * m_stride; }

    // count samples of row l from a0 on, into out.
    void readPart(int l, int a0, int count, std::uint16_t* out) const
    {
        if (!m_horizontal) {
            readChannelRow(*m_picture, m_area.top() + l, m_area.left() + a0, count, m_channel, out);
            return;
        }
        for (int k = 0; k < count; ++k)
            readChannelRow(*m_picture, m_area.top() + a0 + k, m_area.left() + l, 1, m_channel,
                           out + k);
    }

    static constexpr int BlockRows = 64;
    const QImage* m_picture;
    QRect m_area;
    Channel m_channel;
    bool m_horizontal;
    QImage::Format m_format;
    const uchar* m_bits;  // the picture's first scan line
    std::size_t m_stride; // bytes from one scan line to the next
    mutable std::vector<std::uint16_t> m_block;
    mutable int m_first = -1; // the plane row m_block starts with
    mutable std::vector<std::uint16_t> m_part;
};

// What one pass over the plane gathers while each sample is at hand.
struct PlaneSums
{
    std::vector<std::uint64_t> columns; // down each column of the plane
    std::vector<std::uint64_t> rows;    // along each row of the plane
    // When asked for: the histogram into levels of every second sample of every fourth
    // row (detectContrast's), and, in 256 bins, of every second sample of every second
    // row of the plane's middle (the gel's background).
    std::vector<std::int64_t> levels;
    std::vector<std::int64_t> middle;
};

// One pass over the plane, reading the picture's rows in order. withHistograms: also the
// two histograms, maximum being the picture's channel maximum.
PlaneSums sumPlane(const Plane& plane, bool withHistograms, int maximum)
{
    PlaneSums out;
    out.columns.assign(std::size_t(plane.across), 0);
    out.rows.assign(std::size_t(plane.along), 0);
    if (withHistograms) {
        out.levels.assign(std::size_t(maximum) + 1, 0);
        out.middle.assign(256, 0);
    }
    // Every second sample of every second row of the middle, in 256 bins (a shift for 16
    // bits).
    const int shift = maximum > 255 ? 8 : 0;
    const int l0 = plane.along / 4, l1 = 3 * plane.along / 4;
    const int a0 = plane.across / 4, a1 = 3 * plane.across / 4;
    const QImage& picture = plane.picture();
    const QRect& region = plane.area();
    if (!plane.horizontal()) {
        // Column sums gather in 32 bits for up to 32768 rows at a time (65535 x 32768 fits),
        // which the compiler can add several columns at once.
        std::vector<std::uint32_t> partial(std::size_t(plane.across), 0);
        auto flush = [&] {
            for (int a = 0; a < plane.across; ++a)
                out.columns[std::size_t(a)] += partial[std::size_t(a)];
            std::fill(partial.begin(), partial.end(), 0);
        };
        const QImage::Format format = picture.format();
        const bool rgb32 = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32;
        const bool gray8 = format == QImage::Format_Grayscale8;
        const unsigned channelShift = plane.channel() == Channel::Red     ? 16
                                      : plane.channel() == Channel::Green ? 8
                                                                          : 0;
        // The histograms of 8-bit samples are counted in four interleaved copies, so that
        // a run of like samples does not wait on one counter.
        const bool eightBit = maximum == 255;
        std::vector<std::int64_t> levels(eightBit && withHistograms ? 4 * 256 : 0, 0);
        std::vector<std::int64_t> middle(eightBit && withHistograms ? 4 * 256 : 0, 0);
        auto tally = [&](int y, auto sampleAt) {
            if (y % 4 == 0) {
                if (eightBit) {
                    int a = 0;
                    for (; a + 6 < plane.across; a += 8) {
                        ++levels[sampleAt(a)];
                        ++levels[256 + sampleAt(a + 2)];
                        ++levels[512 + sampleAt(a + 4)];
                        ++levels[768 + sampleAt(a + 6)];
                    }
                    for (; a < plane.across; a += 2)
                        ++levels[sampleAt(a)];
                } else {
                    for (int a = 0; a < plane.across; a += 2)
                        ++out.levels[sampleAt(a)];
                }
            }
            if (y >= l0 && y < l1 && (y - l0) % 2 == 0) {
                if (eightBit) {
                    int a = a0;
                    for (; a + 6 < a1; a += 8) {
                        ++middle[sampleAt(a)];
                        ++middle[256 + sampleAt(a + 2)];
                        ++middle[512 + sampleAt(a + 4)];
                        ++middle[768 + sampleAt(a + 6)];
                    }
                    for (; a < a1; a += 2)
                        ++middle[sampleAt(a)];
                } else {
                    for (int a = a0; a < a1; a += 2)
                        ++out.middle[std::size_t(sampleAt(a) >> shift)];
                }
            }
        };
        for (int y = 0; y < plane.along; ++y) {
            // The commonest pictures are read and summed where they lie, in one loop.
            if (rgb32) {
                const auto* p = reinterpret_cast<const std::uint32_t*>(
                                    picture.constScanLine(region.top() + y)) +
                                region.left();
                out.rows[std::size_t(y)] =
                    channelShift == 16  ? addAndSum<16>(p, plane.across, partial.data())
                    : channelShift == 8 ? addAndSum<8>(p, plane.across, partial.data())
                                        : addAndSum<0>(p, plane.across, partial.data());
                if (withHistograms)
                    tally(y, [p, channelShift](int a) {
                        return std::size_t((p[a] >> channelShift) & 0xFFu);
                    });
            } else if (gray8) {
                const uchar* p = picture.constScanLine(region.top() + y) + region.left();
                std::uint64_t sum = 0;
                for (int s = 0; s < plane.across; s += 32768)
                    sum += addAndSumBytes(p + s, std::min(plane.across - s, 32768),
                                          partial.data() + s);
                out.rows[std::size_t(y)] = sum;
                if (withHistograms)
                    tally(y, [p](int a) { return std::size_t(p[a]); });
            } else {
                const std::uint16_t* row = plane.row(y);
                std::uint64_t sum = 0;
                for (int s = 0; s < plane.across; s += 32768) {
                    const int count = std::min(plane.across - s, 32768);
                    addTo(partial.data() + s, row + s, count);
                    sum += sumOf(row + s, count);
                }
                out.rows[std::size_t(y)] = sum;
                if (withHistograms)
                    tally(y, [row](int a) { return std::size_t(row[a]); });
            }
            if (y % 32768 == 32767)
                flush();
        }
        flush();
        for (std::size_t v = 0; v < levels.size(); ++v)
            out.levels[v % 256] += levels[v];
        for (std::size_t v = 0; v < middle.size(); ++v)
            out.middle[v % 256] += middle[v];
        return out;
    }
    // Lanes across: picture row y is the plane's column a = y, the picture's column x the
    // plane's row x.
    std::vector<std::uint16_t> line(std::size_t(plane.along));
    for (int y = 0; y < plane.across; ++y) {
        readChannelRow(picture, region.top() + y, region.left(), plane.along, plane.channel(),
                       line.data());
        std::uint64_t sum = 0;
        for (int x = 0; x < plane.along; ++x) {
            out.rows[std::size_t(x)] += line[std::size_t(x)];
            sum += line[std::size_t(x)];
        }
        out.columns[std::size_t(y)] = sum;
        if (!withHistograms)
            continue;
        if (y % 2 == 0)
            for (int x = 0; x < plane.along; x += 4)
                ++out.levels[line[std::size_t(x)]];
        if (y >= a0 && y < a1 && (y - a0) % 2 == 0)
            for (int x = l0; x < l1; x += 2)
                ++out.middle[std::size_t(line[std::size_t(x)] >> shift)];
    }
    return out;
}

// The background level and the side the bands lie on, from a histogram of every second
// sample of every fourth row: the level is the most common value; the bands lie on the
// side where the far tail of values reaches further from it.
void detectContrast(int maximum, const LaneFinderOptions& options,
                    const std::vector<std::int64_t>& histogram, LaneFinding& finding)
{
    std::int64_t count = 0;
    for (std::int64_t n : histogram)
        count += n;
    // Levels in 256 bins, so a 16-bit picture's noise does not scatter its mode.
    const int binWidth = (maximum + 1) / 256;
    std::int64_t best = -1;
    int mode = 0;
    for (int bin = 0; bin < 256; ++bin) {
        std::int64_t sum = 0;
        for (int v = bin * binWidth; v < (bin + 1) * binWidth; ++v)
            sum += histogram[std::size_t(v)];
        if (sum > best) {
            best = sum;
            mode = bin * binWidth + binWidth / 2;
        }
    }
    finding.background = options.background ? std::clamp(*options.background, 0, maximum) : mode;
    if (options.contrast != BandContrast::Detect) {
        finding.darkOnLight = options.contrast == BandContrast::DarkOnLight;
        return;
    }
    auto percentile = [&](double fraction) {
        const std::int64_t target = std::int64_t(fraction * double(count));
        std::int64_t seen = 0;
        for (int v = 0; v <= maximum; ++v) {
            seen += histogram[std::size_t(v)];
            if (seen > target)
                return v;
        }
        return maximum;
    };
    const int low = percentile(0.01);
    const int high = percentile(0.99);
    finding.darkOnLight = finding.background - low >= high - finding.background;
}

std::vector<double> boxSmooth(const std::vector<double>& values, int half)
{
    const int n = int(values.size());
    // Neither is cleared first: every element is written before it is read.
    std::unique_ptr<double[]> prefix(new double[values.size() + 1]);
    prefix[0] = 0.0;
    for (int i = 0; i < n; ++i)
        prefix[std::size_t(i) + 1] = prefix[std::size_t(i)] + values[std::size_t(i)];
    std::vector<double> out;
    out.reserve(values.size());
    for (int i = 0; i < n; ++i) {
        const int lo = std::max(0, i - half);
        const int hi = std::min(n - 1, i + half);
        out.push_back((prefix[std::size_t(hi) + 1] - prefix[std::size_t(lo)]) /
                      double(hi - lo + 1));
    }
    return out;
}

// The lowest (or highest) value within half samples either side of each sample: the
// extremes running forward and backward within blocks of the window's length, padded at
// both ends, meet in each window (three comparisons a sample, whatever the window).
template <typename Better>
std::vector<double> slidingExtreme(const std::vector<double>& values, int half, double pad,
                                   Better better)
{
    const std::size_t n = values.size();
    const std::size_t w = 2 * std::size_t(half) + 1;
    const std::size_t m = n + 2 * std::size_t(half);
    std::vector<double> padded(m, pad);
    std::copy(values.begin(), values.end(), padded.begin() + half);
    // Both written in full before they are read.
    std::unique_ptr<double[]> forward(new double[m]), backward(new double[m]);
    for (std::size_t block = 0; block < m; block += w) {
        const std::size_t end = std::min(m, block + w);
        forward[block] = padded[block];
        for (std::size_t i = block + 1; i < end; ++i)
            forward[i] = better(forward[i - 1], padded[i]);
        backward[end - 1] = padded[end - 1];
        for (std::size_t i = end - 1; i > block; --i)
            backward[i - 1] = better(backward[i], padded[i - 1]);
    }
    std::vector<double> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = better(backward[i], forward[i + w - 1]);
    return out;
}

std::vector<double> slidingExtreme(const std::vector<double>& values, int half, bool minimum)
{
    constexpr double Far = std::numeric_limits<double>::infinity();
    if (minimum)
        return slidingExtreme(values, half, Far, [](double a, double b) { return std::min(a, b); });
    return slidingExtreme(values, half, -Far, [](double a, double b) { return std::max(a, b); });
}

// The profile above its background: a flat opening (the limit of a rolling ball far
// wider than the profile is high) removes everything narrower than the window, and a
// short average takes the opening's steps out.
std::vector<double> baselineOf(const std::vector<double>& profile, int half)
{
    std::vector<double> baseline =
        boxSmooth(slidingExtreme(slidingExtreme(profile, half, true), half, false), half / 2);
    for (std::size_t i = 0; i < profile.size(); ++i)
        baseline[i] = std::min(baseline[i], profile[i]);
    return baseline;
}

std::vector<double> aboveBaseline(const std::vector<double>& profile, int half)
{
    const std::vector<double> baseline = baselineOf(profile, half);
    std::vector<double> out(profile.size());
    for (std::size_t i = 0; i < profile.size(); ++i)
        out[i] = profile[i] - baseline[i];
    return out;
}

// The order statistics of a set of values (none NaN), found without sorting them: each
// value becomes an unsigned key in the same order, and the k-th smallest key is found by
// counting the keys' bits from the highest in which they differ, 11 at a time, keeping
// only the keys in the k-th's bucket for the next round. A few passes over the values,
// without the mispredicted comparisons of a partition. The buffers are kept for the next
// set of values.
class Ranks
{
public:
    void assign(const std::vector<double>& values)
    {
        m_keys.resize(values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            m_keys[i] = keyOf(values[i]);
    }
    std::size_t size() const { return m_keys.size(); }

    // The k-th smallest value, k from 0 to size() - 1.
    double at(std::size_t k) { return valueOf(kthKey(k)); }

    // The value fraction of the way from the smallest to the largest (the smaller of two
    // neighbours between them); 0 for no values.
    double quantile(double fraction)
    {
        return m_keys.empty() ? 0 : at(std::size_t(fraction * double(m_keys.size() - 1)));
    }

    // The median: the middle value, or the mean of the middle two.
    double median()
    {
        if (m_keys.empty())
            return 0;
        const std::size_t middle = m_keys.size() / 2;
        const std::uint64_t upper = kthKey(middle);
        if (m_keys.size() % 2)
            return valueOf(upper);
        // The lower of the middle two: the highest key below the upper one when exactly
        // `middle` keys lie below it, else the upper one again.
        std::size_t below = 0;
        std::uint64_t highestBelow = 0;
        for (const std::uint64_t key : m_keys) {
            const bool less = key < upper;
            below += less ? 1 : 0;
            highestBelow = std::max(highestBelow, less ? key : 0);
        }
        const std::uint64_t lower = below == middle ? highestBelow : upper;
        return (valueOf(lower) + valueOf(upper)) / 2;
    }

private:
    static constexpr std::uint64_t SignBit = std::uint64_t(1) << 63;

    // -0 comes before +0; the values never hold a -0.
    static std::uint64_t keyOf(double value)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return (bits & SignBit) ? ~bits : bits | SignBit;
    }
    static double valueOf(std::uint64_t key)
    {
        const std::uint64_t bits = (key & SignBit) ? key & ~SignBit : ~key;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    std::uint64_t kthKey(std::size_t k)
    {
        m_work.assign(m_keys.begin(), m_keys.end());
        return kthKey(m_work.data(), m_work.size(), k);
    }

    // The k-th smallest of count keys, which it reorders.
    static std::uint64_t kthKey(std::uint64_t* keys, std::size_t count, std::size_t k)
    {
        constexpr int DigitBits = 11;
        constexpr std::uint64_t Buckets = std::uint64_t(1) << DigitBits;
        std::uint32_t histogram[Buckets];
        while (count > 1) {
            std::uint64_t all = ~std::uint64_t(0), any = 0;
            for (std::size_t i = 0; i < count; ++i) {
                all &= keys[i];
                any |= keys[i];
            }
            const std::uint64_t differ = all ^ any;
            if (differ == 0)
                break;
            // Above the highest bit in which they differ the keys are all alike.
            const int top = 63 - int(qCountLeadingZeroBits(differ));
            const int shift = std::max(0, top - (DigitBits - 1));
            std::fill(histogram, histogram + Buckets, 0u);
            for (std::size_t i = 0; i < count; ++i)
                ++histogram[(keys[i] >> shift) & (Buckets - 1)];
            std::uint64_t bucket = 0;
            while (k >= histogram[bucket]) {
                k -= histogram[bucket];
                ++bucket;
            }
            std::size_t kept = 0;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint64_t key = keys[i];
                keys[kept] = key;
                kept += ((key >> shift) & (Buckets - 1)) == bucket ? 1 : 0;
            }
            count = kept;
        }
        return keys[k < count ? k : 0];
    }

    std::vector<std::uint64_t> m_keys;
    std::vector<std::uint64_t> m_work;
};

// The noise of a profile's samples from the median absolute difference of neighbours,
// which the slow rise and fall of bands hardly moves.
double noiseOf(const std::vector<double>& profile, Ranks& ranks, std::vector<double>& diffs)
{
    if (profile.size() < 3)
        return 0;
    diffs.resize(profile.size() - 1);
    for (std::size_t i = 1; i < profile.size(); ++i)
        diffs[i - 1] = std::abs(profile[i] - profile[i - 1]);
    ranks.assign(diffs);
    return 1.4826 * ranks.median() / std::sqrt(2.0);
}

double noiseOf(const std::vector<double>& profile)
{
    Ranks ranks;
    std::vector<double> diffs;
    return noiseOf(profile, ranks, diffs);
}

struct Span
{
    int first;
    int last;
};

// Splits [first, last] at its most telling valley (the lowest against the lower of the
// highest points either side of it) while that valley falls below half of that point. A
// sample on the slope up from either end is no valley, however low.
void splitAtValleys(const std::vector<double>& v, int first, int last, std::vector<Span>& out)
{
    if (last - first < 2) {
        out.push_back({first, last});
        return;
    }
    std::vector<double> leftTop(std::size_t(last - first + 1)), rightTop(leftTop.size());
    for (int i = first; i <= last; ++i)
        leftTop[std::size_t(i - first)] = std::max(
            v[std::size_t(i)], i > first ? leftTop[std::size_t(i - first) - 1] : v[std::size_t(i)]);
    for (int i = last; i >= first; --i)
        rightTop[std::size_t(i - first)] = std::max(
            v[std::size_t(i)], i < last ? rightTop[std::size_t(i - first) + 1] : v[std::size_t(i)]);
    int valley = -1;
    double best = 0.5;
    for (int i = first + 1; i < last; ++i) {
        const double lower =
            std::min(leftTop[std::size_t(i - first) - 1], rightTop[std::size_t(i - first) + 1]);
        if (!(lower > 0))
            continue;
        const double ratio = v[std::size_t(i)] / lower;
        if (ratio < best) {
            best = ratio;
            valley = i;
        }
    }
    if (valley < 0) {
        out.push_back({first, last});
        return;
    }
    splitAtValleys(v, first, valley - 1, out);
    splitAtValleys(v, valley + 1, last, out);
}

// The columns of the span at or above half of its highest point: the lane's width at
// half height, which is where a band's soft edge crosses its middle.
Span halfHeightSpan(const std::vector<double>& v, const Span& span)
{
    const double top = *std::max_element(v.begin() + span.first, v.begin() + span.last + 1);
    Span s = span;
    while (s.first < s.last && v[std::size_t(s.first)] < 0.5 * top)
        ++s.first;
    while (s.last > s.first && v[std::size_t(s.last)] < 0.5 * top)
        --s.last;
    return s;
}

// About the widest lane's width: the longest stretch from a steep rise of the profile to
// the next steep fall, steep meaning at least half the steepest step and well above the
// noise. A slow slope of the background has no such steps, so it does not count.
int widestLane(const std::vector<double>& profile, double noise)
{
    double steepest = 0;
    for (std::size_t i = 1; i < profile.size(); ++i)
        steepest = std::max(steepest, std::abs(profile[i] - profile[i - 1]));
    const double steep = std::max(0.5 * steepest, 5.0 * noise);
    int widest = 0;
    int rise = -1;
    for (int i = 1; i < int(profile.size()); ++i) {
        const double step = profile[std::size_t(i)] - profile[std::size_t(i) - 1];
        if (step >= steep && steep > 0) {
            rise = i;
        } else if (step <= -steep && steep > 0 && rise >= 0) {
            widest = std::max(widest, i - rise);
            rise = -1;
        }
    }
    return widest;
}

// A quantile of the values, as Ranks::quantile().
double quantileOf(const std::vector<double>& values, double fraction)
{
    Ranks ranks;
    ranks.assign(values);
    return ranks.quantile(fraction);
}

// The lanes of one gel come from one comb, evenly spaced. Where the lanes found leave a
// gap of two or more of their spacing between them, the places a lane would stand are
// returned where the column signal there rises above the lower of the gaps beside them:
// the caller keeps those that hold a band. Nothing is guessed before the first lane or
// after the last: on real gels that is where empty wells and the gel's edge lie.
std::vector<Span> evenlySpacedGaps(const std::vector<Span>& lanes,
                                   const std::vector<double>& signal, double noise)
{
    if (lanes.size() < 3)
        return {};
    const int across = int(signal.size());
    std::vector<int> widths;
    std::vector<double> centres, steps;
    for (const Span& lane : lanes) {
        widths.push_back(lane.last - lane.first + 1);
        centres.push_back(0.5 * (lane.first + lane.last));
    }
    std::nth_element(widths.begin(), widths.begin() + std::ptrdiff_t(widths.size() / 2),
                     widths.end());
    const int usual = widths[widths.size() / 2];
    for (std::size_t i = 1; i < centres.size(); ++i)
        steps.push_back(centres[i] - centres[i - 1]);
    // The spacing: the typical single step, single steps being those at least a lane wide
    // and not much longer than the shortest such.
    double shortest = across;
    for (double step : steps)
        if (step >= usual)
            shortest = std::min(shortest, step);
    std::vector<double> single;
    for (double step : steps)
        if (step >= usual && step <= 1.4 * shortest)
            single.push_back(step);
    if (single.size() < 2)
        return {};
    const double pitch = quantileOf(single, 0.5);
    std::vector<double> at;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const double k = std::round(steps[i] / pitch);
        if (k >= 2 && std::abs(steps[i] / pitch - k) <= 0.25)
            for (int j = 1; j < int(k); ++j)
                at.push_back(centres[i] + j * steps[i] / k);
    }
    auto lowest = [&](double from, double to) {
        const int a = std::clamp(int(std::lround(from)), 0, across - 1);
        const int b = std::clamp(int(std::lround(to)), 0, across - 1);
        return *std::min_element(signal.begin() + a, signal.begin() + b + 1);
    };
    std::vector<Span> gaps;
    for (double c : at) {
        const int first = std::max(0, int(std::lround(c - 0.5 * (usual - 1))));
        const int last = std::min(across - 1, first + usual - 1);
        const int m0 = int(std::lround(c - 0.25 * usual)), m1 = int(std::lround(c + 0.25 * usual));
        double sum = 0;
        for (int a = std::max(0, m0); a <= std::min(across - 1, m1); ++a)
            sum += signal[std::size_t(a)];
        const double mean = sum / std::max(1, std::min(across - 1, m1) - std::max(0, m0) + 1);
        const double gap = std::min(lowest(c - 0.75 * pitch, c - 0.25 * pitch),
                                    lowest(c + 0.25 * pitch, c + 0.75 * pitch));
        if (mean - gap >= 3 * noise)
            gaps.push_back({first, last});
    }
    return gaps;
}

// The lanes of the rows first to last.
// columnSums, when given, are the plane's sums down each column over those rows. Places
// where evenly spaced lanes would stand between and beside them go to gaps.
std::vector<Span> findLanes(const Plane& plane, int first, int last,
                            std::vector<std::uint64_t> columnSums, std::vector<Span>& gaps)
{
    const int rows = last - first + 1;
    std::vector<double> columns(std::size_t(plane.across), 0.0);
    std::vector<std::uint64_t> sums = std::move(columnSums);
    if (sums.size() != std::size_t(plane.across)) {
        sums.assign(std::size_t(plane.across), 0);
        for (int l = first; l <= last; ++l) {
            const std::uint16_t* row = plane.row(l);
            for (int a = 0; a < plane.across; ++a)
                sums[std::size_t(a)] += row[a];
        }
    }
    for (int a = 0; a < plane.across; ++a)
        columns[std::size_t(a)] = plane.signal(double(sums[std::size_t(a)]) / double(rows));
    // The opening must be wider than any lane, or it takes a flat lane's top for
    // background and leaves only its two edges standing: a sixth of the region holds a
    // lane when the region spans several, and a region drawn closely around one or two
    // lanes needs a window from the lanes' own width.
    const double noise = noiseOf(columns);
    const int half = std::max({7, plane.across / 6, widestLane(columns, noise)});
    const std::vector<double> signal = boxSmooth(aboveBaseline(columns, half), 1);
    // Lanes are taken strongest first: those within reach of the highest, then, with
    // them set aside, those within reach of the highest left, so a faint lane beside a
    // saturated one is found too. What is left once no lane stands clear of the
    // background's own texture between the lanes is no lane. That texture is first read
    // from the lower part of all the columns, which holds when most of them lie between
    // lanes; where lanes cover most of the width it reads the fainter lanes instead, so
    // after each pass it is read again from the columns between the lanes found.
    double texture = (quantileOf(signal, 0.4) - quantileOf(signal, 0.05)) / 1.39;
    std::vector<double> rest = signal;
    std::vector<bool> setAside(std::size_t(plane.across), false);
    std::vector<Span> lanes;
    for (int pass = 0; pass < 8; ++pass) {
        const double top = *std::max_element(rest.begin(), rest.end());
        if (!(top > 0) || (pass > 0 && top < std::max(10.0 * noise, 8.0 * texture)))
            break;
        const double threshold = std::max(5.0 * noise, 0.12 * top);
        std::vector<Span> found;
        for (int a = 0; a < plane.across;) {
            if (rest[std::size_t(a)] <= threshold) {
                ++a;
                continue;
            }
            int b = a;
            while (b + 1 < plane.across && rest[std::size_t(b) + 1] > threshold)
                ++b;
            std::vector<Span> parts;
            splitAtValleys(rest, a, b, parts);
            for (const Span& part : parts) {
                const Span lane = halfHeightSpan(rest, part);
                if (lane.last - lane.first >= 2)
                    found.push_back(lane);
            }
            // A faint lane found late right beside a stronger one is that one's skirt.
            if (pass > 0) {
                found.erase(std::remove_if(found.begin(), found.end(),
                                           [&](const Span& lane) {
                                               const int reach = (lane.last - lane.first + 1) / 2;
                                               return std::any_of(
                                                   lanes.begin(), lanes.end(),
                                                   [&](const Span& other) {
                                                       return lane.first - reach <= other.last &&
                                                              other.first <= lane.last + reach;
                                                   });
                                           }),
                            found.end());
            }
            // Set aside down to where the lane meets the background.
            int from = a, to = b;
            while (from > 0 && rest[std::size_t(from) - 1] > 0 &&
                   rest[std::size_t(from) - 1] < rest[std::size_t(from)])
                --from;
            while (to + 1 < plane.across && rest[std::size_t(to) + 1] > 0 &&
                   rest[std::size_t(to) + 1] < rest[std::size_t(to)])
                ++to;
            for (int i = from; i <= to; ++i) {
                rest[std::size_t(i)] = 0;
                setAside[std::size_t(i)] = true;
            }
            a = b + 1;
        }
        lanes.insert(lanes.end(), found.begin(), found.end());
        // Read only where enough columns lie between the lanes and the lowest twentieth of
        // them stands clear of the baseline: where the baseline touches more, what is left
        // above it is the top of a clipped texture, whose spread says too little.
        int inner0 = plane.across, inner1 = -1;
        for (const Span& lane : lanes) {
            inner0 = std::min(inner0, lane.first);
            inner1 = std::max(inner1, lane.last);
        }
        std::vector<double> between;
        for (int a = std::max(0, inner0); a <= inner1; ++a)
            if (!setAside[std::size_t(a)])
                between.push_back(signal[std::size_t(a)]);
        if (int(between.size()) >= std::max(12, plane.across / 20)) {
            const double low = quantileOf(between, 0.05);
            if (low > 0)
                texture = std::min(texture, (quantileOf(between, 0.4) - low) / 1.39);
        }
    }
    // A lane stands out of the gel beside it: within a lane's width of it, on one side at
    // least, the signal falls to half its top. A bump on a broad glow (a stain blotch)
    // does not.
    lanes.erase(std::remove_if(lanes.begin(), lanes.end(),
                               [&](const Span& lane) {
                                   const int w = lane.last - lane.first + 1;
                                   const double top = *std::max_element(
                                       signal.begin() + lane.first, signal.begin() + lane.last + 1);
                                   double low = top;
                                   for (int a = std::max(0, lane.first - w);
                                        a <= std::min(plane.across - 1, lane.last + w); ++a)
                                       low = std::min(low, signal[std::size_t(a)]);
                                   return low > 0.5 * top;
                               }),
                lanes.end());
    // The lanes of one gel are about as wide as each other: one under half the usual
    // width is a streak or a speck of dust.
    if (lanes.size() > 2) {
        std::vector<int> widths;
        for (const Span& lane : lanes)
            widths.push_back(lane.last - lane.first + 1);
        std::nth_element(widths.begin(), widths.begin() + std::ptrdiff_t(widths.size() / 2),
                         widths.end());
        const int usual = widths[widths.size() / 2];
        lanes.erase(std::remove_if(
                        lanes.begin(), lanes.end(),
                        [&](const Span& lane) { return 2 * (lane.last - lane.first + 1) < usual; }),
                    lanes.end());
    }
    std::sort(lanes.begin(), lanes.end(),
              [](const Span& x, const Span& y) { return x.first < y.first; });
    gaps = evenlySpacedGaps(lanes, signal, noise);
    return lanes;
}

// Bands along one lane: the peaks of its profile (the mean over the lane's middle half)
// that stand bandThreshold times the noise above the baseline, each reaching out to where
// it falls back to the baseline or to the valley it shares with a touching band.
struct Candidate
{
    Span span;
    double height; // the peak above the lane's floor, in the profile's units
    double score;  // height over the lane's noise
    int core;      // how many samples along it stays above half its height
    // The lane never falls back below half the band's height between the band and one
    // end of the lane: a step up to the gel's edge or a stain gradient, not a band.
    bool edge = false;
};

// The middle half of a lane's width, whose mean along the lane is its profile.
Span middleHalf(const Span& lane)
{
    const int width = lane.last - lane.first + 1;
    const int c0 = lane.first + width / 4;
    return {c0, std::max(c0, lane.last - width / 4)};
}

// Buffers findBands() keeps from one lane to the next.
struct BandScratch
{
    Ranks ranks;
    std::vector<double> values;
};

// raw: the lane's profile over the rows first to last (betweenLanes reads it).
std::vector<Candidate> findBands(const std::vector<double>& raw, double bandThreshold, int first,
                                 int last, BandScratch& scratch)
{
    const int along = last - first + 1;
    constexpr int Smoothing = 2;
    const std::vector<double> smooth = boxSmooth(raw, Smoothing);
    const double noise =
        noiseOf(raw, scratch.ranks, scratch.values) / std::sqrt(2.0 * Smoothing + 1);
    // As across the lanes, the opening must be longer than the tallest flat band.
    const int half = std::max({10, along / 20, widestLane(smooth, noise)});
    const std::vector<double> baseline = baselineOf(smooth, half);
    std::vector<double> q(smooth.size());
    for (std::size_t i = 0; i < q.size(); ++i)
        q[i] = smooth[i] - baseline[i];
    // The opening settles on the noise's dips, so the empty stretches of the lane stand a
    // little above zero; their level (a low quantile, as bands rarely fill most of a
    // lane) is where a peak is measured from.
    Ranks& levels = scratch.ranks;
    levels.assign(q);
    const double floor = std::max(0.0, levels.at(levels.size() * 3 / 10));
    // The lane's own noise: the spread of its empty stretches about their level, which
    // on a photograph is the background's texture (stain, dust, compression) more than
    // the sensor's noise. Even a ladder seldom fills the lowest quarter of the levels.
    const double spread = std::max(noise, (levels.quantile(0.25) - levels.quantile(0.02)) / 1.38);
    const double threshold = floor + bandThreshold * noise;
    const int n = int(q.size());

    // Candidate peaks, then neighbours merged unless a valley clearly parts them.
    std::vector<int> peaks;
    for (int i = 0; i < n; ++i) {
        const double v = q[std::size_t(i)];
        if (v <= threshold || !(v > 0))
            continue;
        if ((i > 0 && q[std::size_t(i) - 1] > v) || (i + 1 < n && q[std::size_t(i) + 1] >= v))
            continue;
        if (!peaks.empty()) {
            const int p = peaks.back();
            const double valley = *std::min_element(q.begin() + p, q.begin() + i + 1);
            const double lower = std::min(q[std::size_t(p)], v);
            if (lower - valley < std::max(3.0 * noise, 0.15 * lower)) {
                if (v > q[std::size_t(p)])
                    peaks.back() = i;
                continue;
            }
        }
        peaks.push_back(i);
    }

    std::vector<Candidate> bands;
    for (int peak : peaks) {
        const double stop = floor + std::max(3.0 * noise, 0.05 * (q[std::size_t(peak)] - floor));
        auto reach = [&](int step) {
            int at = peak;
            int lowest = peak;
            for (int i = peak + step; i >= 0 && i < n; i += step) {
                const double v = q[std::size_t(i)];
                if (v < q[std::size_t(lowest)])
                    lowest = i;
                // Rising again past the lowest point: a neighbouring band begins.
                if (v > q[std::size_t(lowest)] + 2.0 * noise + 0.05 * q[std::size_t(peak)])
                    return lowest;
                if (v <= stop)
                    return i - step;
                at = i;
            }
            return at;
        };
        Span band{reach(-1), reach(1)};
        // The smoothing spreads a band by a sample or two: its unsmoothed profile decides
        // where a sharp edge lies.
        while (band.first < peak &&
               raw[std::size_t(band.first)] - baseline[std::size_t(band.first)] <= stop)
            ++band.first;
        while (band.last > peak &&
               raw[std::size_t(band.last)] - baseline[std::size_t(band.last)] <= stop)
            --band.last;
        if (!bands.empty() && band.first <= bands.back().span.last)
            band.first = bands.back().span.last + 1;
        if (band.last - band.first >= 2) {
            const double height = q[std::size_t(peak)] - floor;
            int core = 0;
            for (int i = band.first; i <= band.last; ++i)
                core += q[std::size_t(i)] - floor >= 0.5 * height ? 1 : 0;
            // Measured on the smoothed profile itself, against the level the band stands
            // on, as the baseline follows a gradient up to the end.
            const double base = smooth[std::size_t(peak)] - q[std::size_t(peak)] + floor;
            auto staysHigh = [&](int from, int to) {
                for (int i = from; i <= to; ++i)
                    if (smooth[std::size_t(i)] - base < 0.5 * height)
                        return false;
                return true;
            };
            const bool edge = staysHigh(band.last + 1, n - 1) || staysHigh(0, band.first - 1);
            bands.push_back({{first + band.first, first + band.last},
                             height,
                             spread > 0 ? height / spread : 1e9,
                             core,
                             edge});
        }
    }
    return bands;
}

// The signal's mean over the band's rows at each sample across, from a quarter of the
// lane's width (3 at least) before the lane to as far after it, within low to high; a0 is
// the first sample. Empty when low to high leaves no sample: a lane guessed from the
// others' spacing may overlap a found one, so that the halfway marks to its neighbours
// lie inside it, or past each other.
std::vector<double> bandMeanAcross(const Plane& plane, const Span& lane, const Span& band, int low,
                                   int high, int& a0)
{
    const int width = lane.last - lane.first + 1;
    const int margin = std::max(3, width / 4);
    a0 = std::max(low, lane.first - margin);
    const int a1 = std::min(high, lane.last + margin);
    if (a1 < a0)
        return {};
    // Summed in 32 bits, 65536 rows at a time.
    std::vector<std::uint32_t> sums(std::size_t(a1 - a0 + 1), 0);
    std::vector<double> across(sums.size(), 0.0);
    for (int l = band.first; l <= band.last; ++l) {
        plane.addPart(l, a0, a1 - a0 + 1, sums.data());
        if ((l - band.first) % 65536 == 65535 || l == band.last) {
            for (std::size_t i = 0; i < sums.size(); ++i)
                across[i] += sums[i];
            std::fill(sums.begin(), sums.end(), 0);
        }
    }
    const double rows = band.last - band.first + 1;
    for (double& v : across)
        v = plane.signal(v / rows);
    return across;
}

// The band's own extent across: the half-height width of the mean across its rows, over
// the lane and a margin either side (across, from bandMeanAcross; a0 its first sample), so
// a lane that curves or tilts is followed.
Span bandAcross(const Span& lane, std::vector<double> across, int a0)
{
    const int width = lane.last - lane.first + 1;
    const double edge = std::min(across.front(), across.back());
    int peak = 0;
    for (std::size_t i = 0; i < across.size(); ++i) {
        across[i] -= edge;
        if (across[i] > across[std::size_t(peak)])
            peak = int(i);
    }
    const double half = 0.5 * across[std::size_t(peak)];
    if (!(half > 0))
        return lane;
    int first = peak;
    while (first > 0 && across[std::size_t(first) - 1] >= half)
        --first;
    int last = peak;
    while (last + 1 < int(across.size()) && across[std::size_t(last) + 1] >= half)
        ++last;
    // Much narrower than its lane is noise or a speck, not the band's edge.
    if (last - first + 1 < width / 2)
        return lane;
    return {a0 + first, a0 + last};
}

// The part of a profile (means across the whole plane, signal made high) that is gel: a
// stretch at either end that lies well below the gel's background level and falls to it
// in a sharp step is the space around the gel, and a margin inside the step its edge. A slow
// slope of the background is no such step.
Span gelSpan(const std::vector<double>& profile, int maximum, double level)
{
    const int n = int(profile.size());
    Span span{0, n - 1};
    if (n < 40)
        return span;
    const double lowest = *std::min_element(profile.begin(), profile.end());
    const double drop = level - lowest;
    if (!(drop >= std::max(0.03 * maximum, 10.0 * noiseOf(profile))))
        return span;
    const double cut = level - 0.5 * drop;
    const double inside = level - 0.4 * drop;
    const int step = std::max(3, n / 30);
    const int margin = std::max(2, n / 40);
    auto edge = [&](int from, int dir) {
        if (profile[std::size_t(from)] >= cut)
            return from;
        int i = from;
        while (std::abs(i - from) < n / 2 && profile[std::size_t(i)] < cut)
            i += dir;
        // Sharp: the gel's level is reached within a few samples past the cut.
        const int past = std::clamp(i + dir * step, 0, n - 1);
        if (std::abs(i - from) >= n / 2 || profile[std::size_t(past)] < inside)
            return from;
        // The space around the gel is dark throughout, not a dim stretch of gel, and no
        // more than half as bright as the gel's background: the gel's own background
        // rising and falling is no border.
        double sum = 0;
        int count = 0;
        for (int j = from; std::abs(j - from) < std::max(1, std::abs(i - from) - step); j += dir) {
            if (profile[std::size_t(j)] > lowest + 0.25 * drop)
                return from;
            sum += profile[std::size_t(j)];
            ++count;
        }
        if (count == 0 || sum / count >= 0.5 * level)
            return from;
        return std::clamp(i + dir * margin, 0, n - 1);
    };
    span.first = edge(0, 1);
    span.last = edge(n - 1, -1);
    if (span.last - span.first < n / 3)
        return {0, n - 1};
    // What lies outside is darker than anything on the gel: space between lanes as low as
    // the border's is the gel's own background, and the border is gel too.
    std::vector<double> gel(profile.begin() + span.first, profile.begin() + span.last + 1);
    const double gelLow = quantileOf(gel, 0.02);
    auto outsideMean = [&](int from, int to) {
        double sum = 0;
        for (int i = from; i <= to; ++i)
            sum += profile[std::size_t(i)];
        return sum / (to - from + 1);
    };
    if (span.first > 0 && outsideMean(0, span.first - margin) > gelLow - 0.35 * drop)
        span.first = 0;
    if (span.last < n - 1 && outsideMean(span.last + margin, n - 1) > gelLow - 0.35 * drop)
        span.last = n - 1;
    return span;
}

// How much of the lane's width the band reaches (across and a0 as for bandAcross): the
// share of the lane's samples across whose mean over the band's rows rises at least a third of the
// way from the lowest such mean (over the lane and a margin either side) to the highest. A speck of
// dust on an empty stretch covers a few samples.
double coverageAcross(const Span& lane, const std::vector<double>& across, int a0)
{
    const int width = lane.last - lane.first + 1;
    const std::vector<double> smooth = boxSmooth(across, 1);
    const double lowest = *std::min_element(smooth.begin(), smooth.end());
    const double top = *std::max_element(smooth.begin(), smooth.end());
    if (!(top > lowest))
        return 0;
    int covered = 0;
    // Only the samples measured: the lane may reach past them where it overlaps another.
    const int first = std::max(lane.first, a0);
    const int last = std::min(lane.last, a0 + int(smooth.size()) - 1);
    for (int a = first; a <= last; ++a)
        covered += smooth[std::size_t(a - a0)] >= lowest + (top - lowest) / 3 ? 1 : 0;
    return double(covered) / width;
}

// For each lane, the profile along the spaces between the lanes near it (samples at
// least three from any lane, within three lane widths of it) over the rows first to last,
// above its own baseline; empty where the lanes leave too little space. Near, as a row of
// wells or a gel's edge need not be level across the whole gel. One pass over the rows:
// running sums of the free samples give each lane's window at once.
// Each lane's own profile (the mean over its middle half) goes to middles, read in the
// same pass.
std::vector<std::vector<double>> betweenLanes(const Plane& plane, const std::vector<Span>& lanes,
                                              int half, int first, int last,
                                              std::vector<std::vector<double>>& middles)
{
    std::vector<char> free(std::size_t(plane.across), 1);
    for (const Span& lane : lanes)
        for (int a = std::max(0, lane.first - 3); a <= std::min(plane.across - 1, lane.last + 3);
             ++a)
            free[std::size_t(a)] = 0;
    std::vector<int> freeBefore(std::size_t(plane.across) + 1, 0);
    for (int a = 0; a < plane.across; ++a)
        freeBefore[std::size_t(a) + 1] = freeBefore[std::size_t(a)] + free[std::size_t(a)];
    struct Window
    {
        int a0, a1, count;
    };
    std::vector<Window> windows;
    // The samples across cut into pieces at every window's ends and wherever free samples
    // begin or end, so each row is summed piece by piece over the free pieces only.
    std::vector<int> cuts{0, plane.across};
    for (const Span& lane : lanes) {
        const int reach = 3 * (lane.last - lane.first + 1);
        const int a0 = std::max(0, lane.first - reach);
        const int a1 = std::min(plane.across - 1, lane.last + reach);
        windows.push_back({a0, a1, freeBefore[std::size_t(a1) + 1] - freeBefore[std::size_t(a0)]});
        cuts.push_back(a0);
        cuts.push_back(a1 + 1);
    }
    for (int a = 1; a < plane.across; ++a)
        if (free[std::size_t(a)] != free[std::size_t(a) - 1])
            cuts.push_back(a);
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    const int rows = last - first + 1;
    std::vector<std::vector<double>> profiles(lanes.size());
    for (std::size_t i = 0; i < lanes.size(); ++i)
        if (windows[i].count >= 6)
            profiles[i].resize(std::size_t(rows));
    // Sums of the pieces before each cut.
    std::vector<std::uint64_t> before(cuts.size(), 0);
    std::vector<std::size_t> from(lanes.size()), to(lanes.size());
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        from[i] =
            std::size_t(std::lower_bound(cuts.begin(), cuts.end(), windows[i].a0) - cuts.begin());
        to[i] = std::size_t(std::lower_bound(cuts.begin(), cuts.end(), windows[i].a1 + 1) -
                            cuts.begin());
    }
    std::vector<Span> centres;
    middles.assign(lanes.size(), std::vector<double>(std::size_t(rows)));
    for (const Span& lane : lanes)
        centres.push_back(middleHalf(lane));
    // The parts of a row summed, in order across it: the free pieces and the lanes' middles.
    // Only they are read, and on an upright 8-bit or 16-bit gray picture where they lie in
    // its scan lines.
    struct Part
    {
        int a0, count;
        std::size_t piece; // the piece's index, or cuts.size() + the lane's for a middle
    };
    std::vector<Part> parts;
    for (std::size_t c = 0; c + 1 < cuts.size(); ++c)
        if (free[std::size_t(cuts[c])])
            parts.push_back({cuts[c], cuts[c + 1] - cuts[c], c});
    for (std::size_t i = 0; i < lanes.size(); ++i)
        parts.push_back(
            {centres[i].first, centres[i].last - centres[i].first + 1, cuts.size() + i});
    std::stable_sort(parts.begin(), parts.end(),
                     [](const Part& x, const Part& y) { return x.a0 < y.a0; });
    std::vector<std::uint64_t> pieces(cuts.size(), 0);
    const bool inPlace = plane.sumsInPlace();
    for (int l = first; l <= last; ++l) {
        const std::uint16_t* row = inPlace ? nullptr : plane.row(l);
        for (const Part& part : parts) {
            const std::uint64_t sum = inPlace ? plane.sumPart(l, part.a0, part.count)
                                              : wideSum(row + part.a0, part.count);
            if (part.piece < cuts.size())
                pieces[part.piece] = sum;
            else
                middles[part.piece - cuts.size()][std::size_t(l - first)] =
                    plane.signal(double(sum) / part.count);
        }
        for (std::size_t c = 0; c + 1 < cuts.size(); ++c)
            before[c + 1] = before[c] + pieces[c];
        for (std::size_t i = 0; i < lanes.size(); ++i) {
            if (profiles[i].empty())
                continue;
            const std::uint64_t sum = before[to[i]] - before[from[i]];
            profiles[i][std::size_t(l - first)] =
                plane.signal(double(sum) / double(windows[i].count));
        }
    }
    for (std::vector<double>& profile : profiles)
        if (!profile.empty())
            profile = aboveBaseline(boxSmooth(profile, 2), half);
    return profiles;
}

// A band kept in its lane before the sensitivity and the row of wells are applied.
struct Kept
{
    Span span;        // along the plane
    FoundFrame frame; // in picture pixels
    double score;
    double height; // above the lane's floor
    int core;      // samples along it at half its height or more
    QPoint centre; // in picture pixels, for the lane's path
};

// The row of wells across the gel's start: the comb's wells show as short features at
// the start of the lanes, one in most lanes, at about the same place along each, and
// faint beside the lanes' bands. Found when at least half of the lanes holding bands
// (three at least) have their first band in the first fifth of the lanes' length, those
// first bands gather about one place along, and in most lanes with bands after it the
// first is under half as high as the highest of them: a row of real bands (a control
// band in every lane, say) is as strong as the lanes' other bands or stronger. The span
// along the plane that the row covers, or none.
std::optional<Span> wellRow(const std::vector<std::vector<Kept>>& lanes, const Span& section)
{
    const int length = section.last - section.first + 1;
    int holding = 0;
    std::vector<Span> firsts;
    std::vector<const std::vector<Kept>*> of;
    for (const std::vector<Kept>& lane : lanes) {
        if (lane.empty())
            continue;
        ++holding;
        const Span& first = lane.front().span;
        if ((first.first + first.last) / 2 - section.first < length / 5) {
            firsts.push_back(first);
            of.push_back(&lane);
        }
    }
    if (firsts.size() < 3 || 2 * firsts.size() < std::size_t(holding))
        return std::nullopt;
    std::vector<double> centres, lengths;
    for (const Span& f : firsts) {
        centres.push_back(0.5 * (f.first + f.last));
        lengths.push_back(f.last - f.first + 1);
    }
    const double middle = quantileOf(centres, 0.5);
    const double reach = std::max(8.0, 2 * quantileOf(lengths, 0.5));
    std::optional<Span> row;
    std::size_t together = 0, compared = 0, faint = 0;
    for (std::size_t k = 0; k < firsts.size(); ++k) {
        const Span& f = firsts[k];
        if (std::abs(0.5 * (f.first + f.last) - middle) > reach)
            continue;
        ++together;
        row = row ? Span{std::min(row->first, f.first), std::max(row->last, f.last)} : f;
        const std::vector<Kept>& lane = *of[k];
        if (lane.size() > 1) {
            double highest = 0;
            for (std::size_t b = 1; b < lane.size(); ++b)
                highest = std::max(highest, lane[b].height);
            ++compared;
            faint += 2 * lane.front().height < highest ? 1 : 0;
        }
    }
    if (2 * together < std::size_t(holding) || together < 3 || 2 * faint <= compared)
        return std::nullopt;
    return row;
}

// The comb gives a gel's bands about one thickness, more for a heavily loaded band: a
// faint band over half as thick again as the gel's usual band (both the median of every
// lane's bands) and under a quarter of their usual height is a smear's tail, a stain
// blotch or a gradient's step, not a band.
void dropFaintBlots(std::vector<std::vector<Kept>>& lanes)
{
    std::vector<double> cores, heights;
    for (const std::vector<Kept>& lane : lanes)
        for (const Kept& band : lane) {
            cores.push_back(band.core);
            heights.push_back(band.height);
        }
    if (cores.empty())
        return;
    const double usualCore = quantileOf(cores, 0.5);
    const double usualHeight = quantileOf(heights, 0.5);
    for (std::vector<Kept>& lane : lanes)
        lane.erase(std::remove_if(lane.begin(), lane.end(),
                                  [&](const Kept& band) {
                                      return band.core > 1.5 * usualCore &&
                                             band.height < 0.25 * usualHeight;
                                  }),
                   lane.end());
}

} // namespace

double minimumBandScore(double sensitivity)
{
    constexpr double DefaultScore = 12;
    const double s = std::clamp(sensitivity, 0.0, 100.0);
    return DefaultScore * std::exp2((LaneFinderOptions::DefaultSensitivity - s) / 12.5);
}

LaneFinding atSensitivity(const LaneFinding& finding, double sensitivity)
{
    const double least = minimumBandScore(sensitivity);
    LaneFinding out = finding;
    for (FoundLane& lane : out.lanes) {
        FoundLane kept;
        kept.frame = lane.frame;
        for (std::size_t i = 0; i < lane.bands.size(); ++i) {
            const double score = i < lane.scores.size() ? lane.scores[i] : 0;
            if (score >= least) {
                kept.bands.push_back(lane.bands[i]);
                kept.scores.push_back(score);
            }
        }
        kept.path = lane.path;
        lane = std::move(kept);
    }
    return out;
}

int channelMaximum(const QImage& picture)
{
    return isSixteenBit(picture.format()) ? 65535 : 255;
}

int channelValueAt(const QImage& picture, int x, int y, Channel channel)
{
    if (picture.isNull() || x < 0 || y < 0 || x >= picture.width() || y >= picture.height())
        return -1;
    std::uint16_t value = 0;
    if (readsDirectly(picture.format())) {
        readChannelRow(picture, y, x, 1, channel, &value);
    } else {
        const QImage pixel = picture.copy(x, y, 1, 1).convertToFormat(QImage::Format_RGB32);
        readChannelRow(pixel, 0, 0, 1, channel, &value);
    }
    return value;
}

// The picture as the finder reads it: itself when its rows can be read directly, else a
// 32-bit copy kept in converted.
static const QImage* readable(const QImage& picture, QImage& converted)
{
    if (readsDirectly(picture.format()))
        return &picture;
    converted = picture.convertToFormat(QImage::Format_RGB32);
    return &converted;
}

LaneFinding findLanesAndBands(const QImage& picture, const QRect& region,
                              const LaneFinderOptions& options)
{
    LaneFinding finding;
    if (picture.isNull())
        return finding;
    QRect area = region.isEmpty() ? picture.rect() : region.intersected(picture.rect());
    if (area.width() < 3 || area.height() < 3)
        return finding;
    QImage converted;
    const QImage* source = readable(picture, converted);
    const bool horizontal = options.orientation == LaneOrientation::Horizontal;
    const int maximum = channelMaximum(*source);
    Plane plane(*source, area, options.channel, horizontal);
    PlaneSums sums = sumPlane(plane, true, maximum);
    detectContrast(maximum, options, sums.levels, finding);
    // Bands are made the high values, whichever side of the background they lie on: a
    // mean m of dark-on-light samples is read as maximum - m.
    plane.flip = finding.darkOnLight ? maximum : -1;

    // The gel inside the region; the plane is read again when the region reaches past it.
    {
        std::vector<double> along(std::size_t(plane.along));
        for (int l = 0; l < plane.along; ++l)
            along[std::size_t(l)] = plane.signal(double(sums.rows[std::size_t(l)]) / plane.across);
        std::vector<double> across(std::size_t(plane.across));
        for (int a = 0; a < plane.across; ++a)
            across[std::size_t(a)] =
                plane.signal(double(sums.columns[std::size_t(a)]) / plane.along);
        // The gel's background: the most common level of the plane's middle, which is gel,
        // within the run of levels most samples fall in: a dark border reaching into the
        // middle, even, has fewer samples than the gel's background and its texture.
        const std::vector<std::int64_t>& bins = sums.middle;
        const int binWidth = (maximum + 1) / 256;
        std::vector<std::int64_t> near(bins.size() + 1, 0);
        for (std::size_t b = 0; b < bins.size(); ++b)
            near[b + 1] = near[b] + bins[b];
        int centre = 0;
        std::int64_t most = -1;
        for (int b = 0; b < 256; ++b) {
            const std::int64_t n =
                near[std::size_t(std::min(256, b + 9))] - near[std::size_t(std::max(0, b - 8))];
            if (n > most) {
                most = n;
                centre = b;
            }
        }
        const auto mode = std::max_element(bins.begin() + std::max(0, centre - 8),
                                           bins.begin() + std::min(256, centre + 9)) -
                          bins.begin();
        const double level = plane.signal(double(mode * binWidth) + 0.5 * binWidth);
        const Span a = gelSpan(across, maximum, level);
        const Span l = gelSpan(along, maximum, level);
        if (a.first > 0 || a.last < plane.across - 1 || l.first > 0 || l.last < plane.along - 1) {
            area = horizontal ? QRect(area.left() + l.first, area.top() + a.first,
                                      l.last - l.first + 1, a.last - a.first + 1)
                              : QRect(area.left() + a.first, area.top() + l.first,
                                      a.last - a.first + 1, l.last - l.first + 1);
            const int flip = plane.flip;
            plane = Plane(*source, area, options.channel, horizontal);
            plane.flip = flip;
            sums = sumPlane(plane, false, maximum);
        }
    }

    const int half = std::max(10, plane.along / 20);
    const double least = minimumBandScore(options.sensitivity);
    const Span section{0, plane.along - 1};
    std::vector<Span> gaps;
    std::vector<Span> lanes =
        findLanes(plane, section.first, section.last, std::move(sums.columns), gaps);
    // A lane guessed from the spacing of the others stays only when it holds a band.
    std::vector<char> guessed(lanes.size(), 0);
    if (!gaps.empty()) {
        lanes.insert(lanes.end(), gaps.begin(), gaps.end());
        guessed.resize(lanes.size(), 1);
        std::vector<std::size_t> order(lanes.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&](std::size_t x, std::size_t y) { return lanes[x].first < lanes[y].first; });
        std::vector<Span> sorted;
        std::vector<char> flags;
        for (std::size_t i : order) {
            sorted.push_back(lanes[i]);
            flags.push_back(guessed[i]);
        }
        lanes = std::move(sorted);
        guessed = std::move(flags);
    }
    int usualWidth = 0;
    if (!lanes.empty()) {
        std::vector<int> widths;
        for (const Span& lane : lanes)
            widths.push_back(lane.last - lane.first + 1);
        std::nth_element(widths.begin(), widths.begin() + std::ptrdiff_t(widths.size() / 2),
                         widths.end());
        usualWidth = widths[widths.size() / 2];
    }
    std::vector<std::vector<double>> middles;
    const std::vector<std::vector<double>> spaces =
        betweenLanes(plane, lanes, half, section.first, section.last, middles);
    auto frameOf = [&](const Span& across, const Span& along) {
        FoundFrame f;
        if (horizontal)
            f = {area.left() + along.first, area.top() + across.first, along.last - along.first,
                 across.last - across.first};
        else
            f = {area.left() + across.first, area.top() + along.first, across.last - across.first,
                 along.last - along.first};
        return f;
    };
    auto pointOf = [&](double across, double along) {
        return horizontal ? QPoint(area.left() + int(std::lround(along)),
                                   area.top() + int(std::lround(across)))
                          : QPoint(area.left() + int(std::lround(across)),
                                   area.top() + int(std::lround(along)));
    };
    std::vector<std::vector<Kept>> kept(lanes.size());
    BandScratch scratch;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        const Span& lane = lanes[i];
        // A band's edge is looked for no further than halfway to the next lane.
        const int low = i == 0 ? 0 : (lanes[i - 1].last + lane.first + 1) / 2;
        const int high =
            i + 1 == lanes.size() ? plane.across - 1 : (lane.last + lanes[i + 1].first) / 2;
        const std::vector<double>& between = spaces[i];
        double betweenFloor = 0;
        if (!between.empty()) {
            scratch.ranks.assign(between);
            betweenFloor = std::max(0.0, scratch.ranks.quantile(0.3));
        }
        std::vector<Kept>& found = kept[i];
        for (const Candidate& band :
             findBands(middles[i], options.bandThreshold, section.first, section.last, scratch)) {
            // A band cut by the end of the gel cannot be told from the gel's edge.
            if (band.span.first <= section.first || band.span.last >= section.last || band.edge)
                continue;
            // A line that runs on through the spaces between the lanes (a row of wells,
            // the gel's edge, a dye front) is no band of this lane.
            if (!between.empty()) {
                double outside = 0;
                for (int l = band.span.first; l <= band.span.last; ++l)
                    outside =
                        std::max(outside, between[std::size_t(l - section.first)] - betweenFloor);
                if (outside >= 0.5 * band.height) {
                    continue;
                }
            }
            int a0 = 0;
            std::vector<double> means = bandMeanAcross(plane, lane, band.span, low, high, a0);
            if (means.empty() || coverageAcross(lane, means, a0) < 0.35) {
                continue;
            }
            const Span across = bandAcross(lane, std::move(means), a0);
            // A band is a line across its lane: a stretch along the lane much longer than
            // it is wide is a smear or a streak.
            if (band.core > 3 * (across.last - across.first + 1) / 2) {
                continue;
            }
            // Nor is one much narrower than the gel's lanes are wide: a speck.
            if (3 * (across.last - across.first + 1) < usualWidth) {
                continue;
            }
            found.push_back({band.span, frameOf(across, band.span), band.score, band.height,
                             band.core,
                             pointOf(0.5 * (across.first + across.last),
                                     0.5 * (band.span.first + band.span.last))});
        }
    }
    // Bands in the row of wells are dropped before the sensitivity is applied, so the
    // row is the same at every sensitivity.
    const std::optional<Span> wells = wellRow(kept, section);
    dropFaintBlots(kept);
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        const Span& lane = lanes[i];
        FoundLane found;
        found.frame = frameOf(lane, section);
        for (const Kept& band : kept[i]) {
            if (band.score < least)
                continue;
            const int centre = (band.span.first + band.span.last) / 2;
            if (wells && centre >= wells->first && centre <= wells->last)
                continue;
            found.bands.push_back(band.frame);
            found.scores.push_back(band.score);
            found.path.push_back(band.centre);
        }
        // The path runs from end to end of the lane, level with its first and last band.
        const double middle = 0.5 * (lane.first + lane.last);
        const QPoint start = pointOf(middle, section.first), end = pointOf(middle, section.last);
        if (found.path.empty()) {
            found.path = {start, end};
        } else {
            QPoint first = found.path.front(), last = found.path.back();
            if (horizontal) {
                first.setX(start.x());
                last.setX(end.x());
            } else {
                first.setY(start.y());
                last.setY(end.y());
            }
            found.path.insert(found.path.begin(), first);
            found.path.push_back(last);
        }
        if (guessed[i] && found.bands.empty())
            continue;
        finding.lanes.push_back(std::move(found));
    }
    return finding;
}

LaneTotal laneTotal(const QImage& picture, const FoundLane& lane, const LaneFinderOptions& options,
                    bool darkOnLight)
{
    LaneTotal result;
    if (picture.isNull() || lane.path.empty())
        return result;
    QImage converted;
    const QImage* source = readable(picture, converted);
    const bool horizontal = options.orientation == LaneOrientation::Horizontal;
    const int maximum = channelMaximum(*source);
    const int width = (horizontal ? lane.frame.height : lane.frame.width) + 1;
    const int first = horizontal ? lane.frame.left : lane.frame.top;
    const int count = (horizontal ? lane.frame.width : lane.frame.height) + 1;
    const int acrossLimit = horizontal ? source->height() : source->width();
    const int alongLimit = horizontal ? source->width() : source->height();
    auto alongOf = [&](const QPoint& p) { return horizontal ? p.x() : p.y(); };
    auto acrossOf = [&](const QPoint& p) { return horizontal ? p.y() : p.x(); };
    // The path's centre at a position along: joined linearly, level beyond its ends.
    auto centreAt = [&](int along) {
        const std::vector<QPoint>& path = lane.path;
        if (along <= alongOf(path.front()))
            return double(acrossOf(path.front()));
        for (std::size_t i = 1; i < path.size(); ++i) {
            const int a0 = alongOf(path[i - 1]), a1 = alongOf(path[i]);
            if (along <= a1) {
                const double t = a1 > a0 ? double(along - a0) / (a1 - a0) : 1.0;
                return acrossOf(path[i - 1]) + t * (acrossOf(path[i]) - acrossOf(path[i - 1]));
            }
        }
        return double(acrossOf(path.back()));
    };
    std::vector<std::uint16_t> line(static_cast<std::size_t>(std::max(source->width(), 1)));
    for (int i = 0; i < count; ++i) {
        const int along = first + i;
        if (along < 0 || along >= alongLimit)
            continue;
        const int a0 = std::max(0, int(std::ceil(centreAt(along) - 0.5 * width)));
        const int a1 = std::min(acrossLimit - 1, a0 + width - 1);
        if (a1 < a0)
            continue;
        double sum = 0;
        if (horizontal) {
            for (int a = a0; a <= a1; ++a) {
                std::uint16_t v = 0;
                readChannelRow(*source, a, along, 1, options.channel, &v);
                sum += v;
            }
        } else {
            readChannelRow(*source, along, a0, a1 - a0 + 1, options.channel, line.data());
            for (int a = 0; a <= a1 - a0; ++a)
                sum += line[std::size_t(a)];
        }
        const double mean = sum / (a1 - a0 + 1);
        if (result.profile.empty())
            result.first = along;
        result.profile.push_back(darkOnLight ? maximum - mean : mean);
    }
    if (result.profile.empty())
        return result;
    const int half = std::max(
        {10, int(result.profile.size()) / 20, widestLane(result.profile, noiseOf(result.profile))});
    result.baseline = baselineOf(result.profile, half);
    for (std::size_t i = 0; i < result.profile.size(); ++i)
        result.total += (result.profile[i] - result.baseline[i]) * width;
    return result;
}

} // namespace kesto
