// What recording costs: a scan of a 200 x 100 band frame on a 4000 x 4000 picture through
// the measuring session, with the measurement record on and off, alternating in the same
// run. record_vs_plain = time without the record / time with it (1 means free; the aim
// is at least 0.95).
//
// And how a plan's replay grows with its frames: 500 and 5000 frames, each into a row of
// its own, replayed in turns. plan5000_vs_500 = the long plan's time / the short one's
// (10 means linear; the aim is at most 11).

#include "core/measurementplan.h"
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

kesto::MeasurementPlan framesPlan(int frames)
{
    kesto::MeasurementPlan plan;
    for (int i = 0; i < frames; ++i) {
        kesto::PlanStep cell;
        cell.kind = kesto::PlanStep::Kind::Cell;
        cell.cell = kesto::CellAddress{1 + i, 2};
        plan.steps.push_back(cell);
        kesto::PlanStep frame;
        frame.kind = kesto::PlanStep::Kind::Frame;
        frame.frame = kesto::FrameGeometry{float((i * 211) % 3700), float((i * 97) % 2700), 39, 19};
        plan.steps.push_back(frame);
    }
    return plan;
}

void BM_PlanScaling(benchmark::State& state)
{
    QImage picture(4000, 3000, QImage::Format_RGB32);
    picture.fill(qRgb(180, 150, 120));
    const kesto::MeasurementPlan shortPlan = framesPlan(500);
    const kesto::MeasurementPlan longPlan = framesPlan(5000);
    double shortTime = 0;
    double longTime = 0;
    for (auto _ : state) {
        // The picture's hash is taken once per picture, not per frame: before the clock.
        kesto::MeasurementSession a(picture);
        (void)a.pictureIdentity();
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(kesto::runMeasurementPlan(a, shortPlan));
        const auto t1 = Clock::now();
        kesto::MeasurementSession b(picture);
        (void)b.pictureIdentity();
        const auto t2 = Clock::now();
        benchmark::DoNotOptimize(kesto::runMeasurementPlan(b, longPlan));
        const auto t3 = Clock::now();
        shortTime += std::chrono::duration<double>(t1 - t0).count();
        const double one = std::chrono::duration<double>(t3 - t2).count();
        longTime += one;
        state.SetIterationTime(one);
    }
    state.counters["plan5000_vs_500"] = benchmark::Counter(longTime / shortTime);
}

} // namespace

BENCHMARK(BM_ScanWithRecord)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlanScaling)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
