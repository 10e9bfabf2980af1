// Profile quantification of a 4000 x 3000 gel with 20 lanes (each lane's profile and
// baseline, its bands' peaks, boundaries and volumes), beside one integration of the whole
// picture in the same run, 8-bit and 16-bit. Each iteration times both, taking turns at
// going first; cost_vs_integration = quantification time / integration time (the goal is
// at most 3).

#include "core/integration.h"
#include "core/lanequant.h"

#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;
using namespace kesto;

constexpr int Width = 4000, Height = 3000, Lanes = 20, LaneWidth = 150, Pitch = 200;
constexpr int Bands = 12; // per lane, every 240 rows from row 120

// Light bands on a dark, noisy background; each lane leans 6 columns from top to bottom,
// so its path is followed.
QImage picture(bool deep)
{
    QImage gel(Width, Height, deep ? QImage::Format_Grayscale16 : QImage::Format_RGB32);
    QRandomGenerator random(5);
    for (int y = 0; y < Height; ++y) {
        double band = 0;
        for (int b = 0; b < Bands; ++b) {
            const double z = (y - 120.0 - 240 * b) / 12.0;
            band += 120 * std::exp(-0.5 * z * z);
        }
        const int lean = 6 * y / (Height - 1);
        for (int x = 0; x < Width; ++x) {
            const int inLane = (x - lean) % Pitch;
            double v = 30 + 0.005 * y + random.bounded(8);
            if (x >= lean && inLane >= 25 && inLane < 25 + LaneWidth)
                v += band;
            if (deep)
                reinterpret_cast<quint16*>(gel.scanLine(y))[x] = quint16(v * 257);
            else
                reinterpret_cast<QRgb*>(gel.scanLine(y))[x] = qRgb(int(v), int(v), int(v));
        }
    }
    return gel;
}

void BM_ProfileQuantification(benchmark::State& state, bool deep)
{
    const QImage image = picture(deep);
    std::vector<LaneStrip> lanes;
    std::vector<std::vector<FoundFrame>> bands(Lanes);
    for (int l = 0; l < Lanes; ++l) {
        LaneStrip lane;
        lane.first = 0;
        lane.last = Height - 1;
        lane.width = LaneWidth;
        const int centre = Pitch * l + 25 + LaneWidth / 2;
        lane.path = {QPoint(centre, 0), QPoint(centre + 6, Height - 1)};
        lanes.push_back(lane);
        for (int b = 0; b < Bands; ++b)
            bands[std::size_t(l)].push_back(
                FoundFrame{centre - LaneWidth / 2, 120 + 240 * b - 24, LaneWidth - 1, 48});
    }
    const FrameGeometry whole{0, 0, float(Width - 1), float(Height - 1)};
    double quantifying = 0, integration = 0;
    double volume = 0;
    bool quantifyFirst = true;
    for (auto _ : state) {
        const auto quantify = [&] {
            const auto t0 = Clock::now();
            volume = 0;
            const std::vector<LaneMeasure> measures =
                measureLanes(image, lanes, Channel::Red, LaneBackground{});
            for (std::size_t l = 0; l < lanes.size(); ++l) {
                const LaneMeasure& measure = measures[l];
                const std::vector<BandBounds> bounds = bandBoundaries(
                    measure, bandPeaks(measure, bands[l], LaneOrientation::Vertical));
                const LaneQuantity quantity = quantifyLane(measure, bounds, QuantifyMode::Profile);
                for (double v : quantity.volumes)
                    volume += v;
            }
            benchmark::DoNotOptimize(volume);
            const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
            quantifying += seconds;
            return seconds;
        };
        const auto integrate = [&] {
            const auto t0 = Clock::now();
            const ScanResult sum =
                integrateFrameCounted(image, whole, Channel::Red, ChannelLevels{});
            benchmark::DoNotOptimize(sum.value);
            integration += std::chrono::duration<double>(Clock::now() - t0).count();
        };
        double seconds = 0;
        if (quantifyFirst) {
            seconds = quantify();
            integrate();
        } else {
            integrate();
            seconds = quantify();
        }
        quantifyFirst = !quantifyFirst;
        state.SetIterationTime(seconds);
    }
    // Each band holds 120 x sqrt(2 pi) x 12 x 150 of signal (times 257 at 16 bits).
    const double expected =
        Lanes * Bands * 120 * std::sqrt(2 * M_PI) * 12 * LaneWidth * (deep ? 257 : 1);
    if (std::abs(volume / expected - 1) > 0.05) {
        std::fprintf(stderr, "volumes %g, expected about %g\n", volume, expected);
        std::abort();
    }
    state.counters["integration_ms"] =
        benchmark::Counter(1000 * integration / double(state.iterations()));
    state.counters["cost_vs_integration"] = benchmark::Counter(quantifying / integration);
}

} // namespace

BENCHMARK_CAPTURE(BM_ProfileQuantification, 8bit, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProfileQuantification, 16bit, true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
