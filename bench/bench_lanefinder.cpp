// Finding lanes and bands on a 4000 x 3000 gel, beside one integration of the whole
// picture in the same run. Each iteration times both; cost_vs_integration = finding
// time / integration time (the goal is at most 10).

#include "core/integration.h"
#include "core/lanefinder.h"

#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

// 40 lanes of 60 columns, each with a dozen bands, dark on a light, noisy background.
const QImage& picture()
{
    static const QImage image = [] {
        const int w = 4000, h = 3000;
        QImage gel(w, h, QImage::Format_RGB32);
        QRandomGenerator random(11);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<quint32*>(gel.scanLine(y));
            const bool bandRow = (y / 120) % 2 == 1 && y % 120 > 20 && y % 120 < 100;
            for (int x = 0; x < w; ++x) {
                const bool laneColumn = x % 100 >= 20 && x % 100 < 80;
                int g = 215 + int(random.bounded(20));
                if (bandRow && laneColumn)
                    g -= 60 + (x / 100) % 5 * 20;
                line[x] = qRgb(g, g, g);
            }
        }
        return gel;
    }();
    return image;
}

void BM_FindLanesAndBands(benchmark::State& state)
{
    const QImage& image = picture();
    const kesto::FrameGeometry whole{0, 0, float(image.width() - 1), float(image.height() - 1)};
    double finding = 0, integration = 0;
    std::size_t bands = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const kesto::LaneFinding found =
            kesto::findLanesAndBands(image, QRect(), kesto::LaneFinderOptions());
        const auto t1 = Clock::now();
        const double sum = kesto::integrateFrame(image, whole, kesto::Channel::Red, 0);
        const auto t2 = Clock::now();
        benchmark::DoNotOptimize(sum);
        bands = 0;
        for (const kesto::FoundLane& lane : found.lanes)
            bands += lane.bands.size();
        if (found.lanes.size() != 40 || bands != 40 * 12) {
            std::fprintf(stderr, "found %zu lanes and %zu bands, expected 40 and 480\n",
                         found.lanes.size(), bands);
            std::abort();
        }
        const double seconds = std::chrono::duration<double>(t1 - t0).count();
        finding += seconds;
        integration += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(seconds);
    }
    state.counters["bands"] = benchmark::Counter(double(bands));
    state.counters["integration_ms"] =
        benchmark::Counter(1000 * integration / double(state.iterations()));
    state.counters["cost_vs_integration"] = benchmark::Counter(finding / integration);
}

} // namespace

BENCHMARK(BM_FindLanesAndBands)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
