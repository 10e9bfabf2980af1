// A scan with the frame's border as background against a scan with the picked pixel, of
// the same band frames on a 4000 x 4000 picture, 8-bit and 16-bit. Each iteration times
// both; cost_vs_picked_pixel = border scan time / picked-pixel scan time (goal: at most
// 1.2). The lane baseline is timed the same way for comparison.

#include "core/backgroundscan.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

using namespace kesto;

namespace {

QImage picture(bool deep)
{
    constexpr int size = 4000;
    QImage image(size, size, deep ? QImage::Format_Grayscale16 : QImage::Format_RGB32);
    for (int y = 0; y < size; ++y) {
        if (deep) {
            auto* line = reinterpret_cast<quint16*>(image.scanLine(y));
            for (int x = 0; x < size; ++x)
                line[x] = quint16((x * 7 + y * 13) & 0xFFFF);
        } else {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < size; ++x)
                line[x] = qRgb(x & 0xFF, y & 0xFF, (x + y) & 0xFF);
        }
    }
    return image;
}

void BM_BackgroundMethod(benchmark::State& state, bool deep, const char* methodText)
{
    const QImage image = picture(deep);
    const BackgroundMethod method = *parseBackgroundMethod(QString::fromLatin1(methodText));
    // A band frame of the given width, a quarter as high.
    const float width = float(state.range(0));
    const FrameGeometry frame{1000, 1000, width, width / 4};
    const ChannelLevels picked{10, 10, 10};
    double ours = 0;
    double plain = 0;
    bool methodFirst = true;
    for (auto _ : state) {
        // The two take turns going first, so neither always finds the other's rows cached.
        const auto timed = [&](const BackgroundMethod& m, double& total) {
            const auto t0 = std::chrono::steady_clock::now();
            const MethodScan scan = scanWithMethod(image, frame, Channel::Red, picked, {}, m);
            const auto t1 = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(scan.scan.value);
            total += std::chrono::duration<double>(t1 - t0).count();
            return scan.ok;
        };
        const double before = ours;
        bool ok = true;
        if (methodFirst) {
            ok = timed(method, ours);
            timed(BackgroundMethod{}, plain);
        } else {
            timed(BackgroundMethod{}, plain);
            ok = timed(method, ours);
        }
        methodFirst = !methodFirst;
        if (!ok) {
            state.SkipWithError("the method found no background");
            return;
        }
        state.SetIterationTime(ours - before);
    }
    state.counters["cost_vs_picked_pixel"] = benchmark::Counter(ours / plain);
}

} // namespace

BENCHMARK_CAPTURE(BM_BackgroundMethod, border_mean_8bit, false, "border:2:mean")
    ->Arg(100)
    ->Arg(400)
    ->Arg(2000)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_BackgroundMethod, border_mean_16bit, true, "border:2:mean")
    ->Arg(100)
    ->Arg(400)
    ->Arg(2000)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_BackgroundMethod, border_median_8bit, false, "border:2:median")
    ->Arg(400)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_BackgroundMethod, lane_minima_8bit, false, "lane:minima")
    ->Arg(400)
    ->UseManualTime();

BENCHMARK_MAIN();
