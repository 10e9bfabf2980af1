#include "support/syntheticblot.h"
#include "support/syntheticshapes.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace kesto::test {

namespace {

constexpr int Pitch = 56;
constexpr int LaneWidth = 36;
constexpr int Height = 320;

struct Bell
{
    double top;
    double length;
    double amplitude; // in parts of the full scale
};

// Dark bells on a light background, clipped to the scale as a camera clips.
QImage draw(int width, const std::vector<std::vector<Bell>>& lanes, double noise,
            QRandomGenerator& random)
{
    std::vector<double> signal(std::size_t(width) * Height, 0.0);
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        const double centre = Pitch * (double(lane) + 0.5);
        for (const Bell& bell : lanes[lane])
            for (int y = 0; y < Height; ++y)
                for (int x = std::max(0, int(centre) - LaneWidth);
                     x < std::min(width, int(centre) + LaneWidth); ++x)
                    signal[std::size_t(y) * std::size_t(width) + std::size_t(x)] +=
                        bell.amplitude * alongWeight(y, bell.top, bell.length) *
                        acrossWeight(x + 0.5 - centre, LaneWidth / 2.0);
    }
    QImage picture(width, Height, QImage::Format_RGB32);
    for (int y = 0; y < Height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double level = 0.85 -
                                 signal[std::size_t(y) * std::size_t(width) + std::size_t(x)] +
                                 noise * gaussian(random);
            const int g = int(std::lround(std::clamp(level, 0.0, 1.0) * 255));
            line[x] = qRgb(g, g, g);
        }
    }
    return picture;
}

} // namespace

SyntheticBlot makeSyntheticBlot(const SyntheticBlotLayout& layout)
{
    QRandomGenerator random(layout.seed);
    const int count = int(layout.groups.size()) * layout.replicates;
    SyntheticBlot blot;
    blot.sampleText = QStringLiteral("LANE\tSAMPLE\tGROUP\tREPLICATE\tROLE\n");
    std::vector<std::vector<Bell>> bands(static_cast<std::size_t>(count));
    std::vector<std::vector<Bell>> stain(static_cast<std::size_t>(count));
    const double stainBands[] = {0.10, 0.20, 0.15, 0.25, 0.12, 0.18};
    for (int lane = 0; lane < count; ++lane) {
        const int group = lane / layout.replicates;
        const double loading = layout.loading[std::size_t(lane) % layout.loading.size()];
        const double amount = layout.amounts[std::size_t(group)];
        blot.loading.push_back(loading);
        blot.targetAmount.push_back(amount);
        blot.groups << layout.groups[group];
        blot.lanes << QRect(Pitch * lane + Pitch / 2 - LaneWidth / 2, 0, LaneWidth, Height);
        blot.sampleText += QStringLiteral("%1\t%2 %3\t%2\t%3\tsample\n")
                               .arg(lane + 1)
                               .arg(layout.groups[group])
                               .arg(lane % layout.replicates + 1);
        // The target up the membrane, the housekeeping protein below it.
        bands[std::size_t(lane)].push_back({70, 24, 0.22 * amount * loading});
        bands[std::size_t(lane)].push_back(
            {200, 24, lane == layout.saturatedControlLane ? 1.3 : 0.30 * loading});
        for (int b = 0; b < 6; ++b)
            stain[std::size_t(lane)].push_back({30.0 + 45 * b, 20, stainBands[b] * loading});
    }
    const int width = Pitch * count;
    blot.picture = draw(width, bands, layout.noise, random);
    blot.stain = draw(width, stain, layout.noise, random);
    return blot;
}

} // namespace kesto::test
