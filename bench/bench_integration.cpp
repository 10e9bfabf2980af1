// Band integration over frames from 100 x 100 to a whole 8000 x 8000 picture, beside a
// plain loop that sums one channel of the same bytes (the memory-bound limit). Each
// iteration times both; speed_vs_plain_loop = plain loop time / integration time. The
// counted scans (sum plus full-scale, zero and off-picture counts) are measured the same
// way on the 8-bit picture and on a 16-bit grayscale one, each against its plain loop.

#include "core/integration.h"

#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

const QImage& picture()
{
    static const QImage image = [] {
        QImage noisy(8000, 8000, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < noisy.height(); ++y) {
            auto* line = reinterpret_cast<quint32*>(noisy.scanLine(y));
            for (int x = 0; x < noisy.width(); ++x)
                line[x] = 0xFF000000u | (random.generate() & 0x00FFFFFFu);
        }
        return noisy;
    }();
    return image;
}

// Red is the third byte of each 32-bit pixel in memory.
std::uint64_t plainRedSum(const QImage& image, int size)
{
    const uchar* bits = image.constBits();
    const qsizetype stride = image.bytesPerLine();
    std::uint64_t sum = 0;
    for (int y = 0; y < size; ++y) {
        const uchar* row = bits + y * stride;
        for (int x = 0; x < size; ++x)
            sum += row[4 * x + 2];
    }
    return sum;
}

void BM_Integration(benchmark::State& state)
{
    const QImage& image = picture();
    const int size = int(state.range(0));
    // Both frame edges are included: width size - 1 covers size columns.
    const kesto::FrameGeometry frame{0, 0, float(size - 1), float(size - 1)};
    double ours = 0, plain = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const double sum = kesto::integrateFrame(image, frame, kesto::Channel::Red, 0);
        const auto t1 = Clock::now();
        const std::uint64_t reference = plainRedSum(image, size);
        const auto t2 = Clock::now();
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(reference);
        if (sum != double(reference)) {
            std::fprintf(stderr, "integration %.0f differs from the plain sum %llu\n", sum,
                         static_cast<unsigned long long>(reference));
            std::abort();
        }
        const double ourSeconds = std::chrono::duration<double>(t1 - t0).count();
        ours += ourSeconds;
        plain += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(ourSeconds);
    }
    const double samples = double(size) * size * double(state.iterations());
    state.SetItemsProcessed(std::int64_t(samples));
    state.counters["samples_per_s"] = benchmark::Counter(samples / ours);
    state.counters["plain_samples_per_s"] = benchmark::Counter(samples / plain);
    state.counters["speed_vs_plain_loop"] = benchmark::Counter(plain / ours);
}

const QImage& deepPicture()
{
    static const QImage image = [] {
        QImage noisy(8000, 8000, QImage::Format_Grayscale16);
        QRandomGenerator random(11);
        for (int y = 0; y < noisy.height(); ++y) {
            auto* line = reinterpret_cast<quint16*>(noisy.scanLine(y));
            for (int x = 0; x < noisy.width(); ++x)
                line[x] = quint16(random.generate());
        }
        return noisy;
    }();
    return image;
}

// The plain row-order 16-bit summing loop.
std::uint64_t plainDeepSum(const QImage& image, int size)
{
    std::uint64_t sum = 0;
    for (int y = 0; y < size; ++y) {
        const auto* row = reinterpret_cast<const quint16*>(image.constScanLine(y));
        for (int x = 0; x < size; ++x)
            sum += row[x];
    }
    return sum;
}

template <bool Deep> void BM_IntegrationCounted(benchmark::State& state)
{
    const QImage& image = Deep ? deepPicture() : picture();
    const int size = int(state.range(0));
    const kesto::FrameGeometry frame{0, 0, float(size - 1), float(size - 1)};
    double ours = 0, plain = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const kesto::ScanResult scan =
            kesto::integrateFrameCounted(image, frame, kesto::Channel::Red, {});
        const auto t1 = Clock::now();
        const std::uint64_t reference = Deep ? plainDeepSum(image, size) : plainRedSum(image, size);
        const auto t2 = Clock::now();
        benchmark::DoNotOptimize(scan);
        benchmark::DoNotOptimize(reference);
        if (scan.value != double(reference)) {
            std::fprintf(stderr, "counted integration %.0f differs from the plain sum %llu\n",
                         scan.value, static_cast<unsigned long long>(reference));
            std::abort();
        }
        const double ourSeconds = std::chrono::duration<double>(t1 - t0).count();
        ours += ourSeconds;
        plain += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(ourSeconds);
    }
    const double samples = double(size) * size * double(state.iterations());
    state.SetItemsProcessed(std::int64_t(samples));
    state.counters["samples_per_s"] = benchmark::Counter(samples / ours);
    state.counters["plain_samples_per_s"] = benchmark::Counter(samples / plain);
    state.counters["speed_vs_plain_loop"] = benchmark::Counter(plain / ours);
}

void BM_IntegrationCounted8(benchmark::State& state)
{
    BM_IntegrationCounted<false>(state);
}
void BM_IntegrationCounted16(benchmark::State& state)
{
    BM_IntegrationCounted<true>(state);
}

} // namespace

BENCHMARK(BM_IntegrationCounted8)
    ->Arg(1000)
    ->Arg(8000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntegrationCounted16)
    ->Arg(1000)
    ->Arg(8000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Integration)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(8000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
