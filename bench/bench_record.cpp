// What recording costs: a scan of a 200 x 100 band frame on a 4000 x 4000 picture through
// the measuring session, with the measurement record on and off, alternating in the same
// run. record_vs_plain = time without the record / time with it (1 means free; the aim
// is at least 0.95).

#include "core/measurementsession.h"

#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

QImage noisyPicture()
{
    QImage noisy(4000, 4000, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < noisy.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(noisy.scanLine(y));
        for (int x = 0; x < noisy.width(); ++x)
            line[x] = 0xFF000000u | (random.generate() & 0x00FFFFFFu);
    }
    return noisy;
}

void BM_ScanWithRecord(benchmark::State& state)
{
    const QImage picture = noisyPicture();
    kesto::MeasurementSession recorded(picture);
    kesto::MeasurementSession plain(picture);
    plain.setRecording(false);
    // The picture's hash is taken once, when it is opened, not per scan.
    recorded.setPicturePath(QString());
    (void)recorded.pictureIdentity();
    double withRecord = 0;
    double without = 0;
    int i = 0;
    for (auto _ : state) {
        const kesto::FrameGeometry frame{float((i * 211) % 3700), float((i * 97) % 3800), 199, 99};
        // Both sessions share the pixels: whichever scans second finds them in the cache,
        // so the order alternates.
        const bool recordedFirst = (i++ % 2) == 0;
        kesto::MeasurementSession& first = recordedFirst ? recorded : plain;
        kesto::MeasurementSession& second = recordedFirst ? plain : recorded;
        const auto a = Clock::now();
        benchmark::DoNotOptimize(first.scanFrame(frame));
        const auto b = Clock::now();
        benchmark::DoNotOptimize(second.scanFrame(frame));
        const auto c = Clock::now();
        const double one = std::chrono::duration<double>(b - a).count();
        const double two = std::chrono::duration<double>(c - b).count();
        const double ours = recordedFirst ? one : two;
        withRecord += ours;
        without += recordedFirst ? two : one;
        state.SetIterationTime(ours);
    }
    state.counters["record_vs_plain"] = benchmark::Counter(without / withRecord);
    state.counters["entries"] = benchmark::Counter(double(recorded.record().history().size()));
}

} // namespace

BENCHMARK(BM_ScanWithRecord)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
