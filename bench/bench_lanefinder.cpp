// Finding lanes and bands on a 4000 x 3000 and an 8000 x 6000 gel (32-bit, and 8-bit gray
// as a gray picture is measured), beside one integration of the whole picture in the same
// run. Each iteration times both; cost_vs_integration = finding time / integration time
// (the goal is at most 10).

#include "core/gelimage.h"
#include "core/integration.h"
#include "core/lanefinder.h"

#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>

namespace {

using Clock = std::chrono::steady_clock;

// A lane of 60 columns every 100, with a band of 80 rows every 240, dark on a light, noisy
// background.
QImage makeGel(int w, int h)
{
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
}

const QImage& picture(int w, int h, bool gray)
{
    static std::map<std::tuple<int, int, bool>, QImage> made;
    QImage& image = made[{w, h, gray}];
    if (image.isNull()) {
        image = makeGel(w, h);
        if (gray)
            image.convertTo(QImage::Format_Grayscale8);
    }
    return image;
}

void BM_FindLanesAndBands(benchmark::State& state)
{
    // The program's memory settings, as it applies them at start-up.
    kesto::applyPictureAllocationLimit();
    const QImage& image = picture(int(state.range(0)), int(state.range(1)), state.range(2) != 0);
    const std::size_t lanes = std::size_t(image.width() / 100);
    std::size_t perLane = 0;
    for (int k = 1; k * 120 + 100 <= image.height(); k += 2)
        ++perLane;
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
        if (found.lanes.size() != lanes || bands != lanes * perLane) {
            std::fprintf(stderr, "found %zu lanes and %zu bands, expected %zu and %zu\n",
                         found.lanes.size(), bands, lanes, lanes * perLane);
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

// Arguments: width, height, 8-bit gray.
BENCHMARK(BM_FindLanesAndBands)
    ->Args({4000, 3000, 0})
    ->Args({8000, 6000, 0})
    ->Args({8000, 6000, 1})
    ->ArgNames({"w", "h", "gray"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
