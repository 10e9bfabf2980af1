// Inverting an 8000 x 8000 picture beside a plain pass that complements the same red,
// green and blue bytes one by one. Each iteration times both;
// speed_vs_plain_pass = plain pass time / inversion time.

#include "core/pictureops.h"

#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

QImage noisyPicture()
{
    QImage noisy(8000, 8000, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < noisy.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(noisy.scanLine(y));
        for (int x = 0; x < noisy.width(); ++x)
            line[x] = 0xFF000000u | (random.generate() & 0x00FFFFFFu);
    }
    return noisy;
}

void plainComplement(QImage& image)
{
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int y = 0; y < image.height(); ++y) {
        uchar* p = bits + y * stride;
        for (int x = 0; x < image.width(); ++x, p += 4) {
            p[0] = uchar(255 - p[0]);
            p[1] = uchar(255 - p[1]);
            p[2] = uchar(255 - p[2]);
        }
    }
}

void BM_Invert(benchmark::State& state)
{
    QImage image = noisyPicture();
    double ours = 0, plain = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        kesto::invertPicture(image);
        const auto t1 = Clock::now();
        plainComplement(image); // and back again
        const auto t2 = Clock::now();
        benchmark::DoNotOptimize(image.constBits());
        benchmark::ClobberMemory();
        const double ourSeconds = std::chrono::duration<double>(t1 - t0).count();
        ours += ourSeconds;
        plain += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(ourSeconds);
    }
    const double pixels = double(image.width()) * image.height() * double(state.iterations());
    state.SetItemsProcessed(std::int64_t(pixels));
    state.counters["pixels_per_s"] = benchmark::Counter(pixels / ours);
    state.counters["plain_pixels_per_s"] = benchmark::Counter(pixels / plain);
    state.counters["speed_vs_plain_pass"] = benchmark::Counter(plain / ours);
}

} // namespace

BENCHMARK(BM_Invert)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
