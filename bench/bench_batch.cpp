// Batch measurement of 1 000 frames of 200 x 100 pixels on an 8000 x 8000 picture: the
// whole plan end to end (parse, replay with the sheet pass after every frame, sheet text)
// and one frame on a sheet that already holds 1 000 rows, each beside the plain loop that
// sums one channel over the same samples (the memory-bound limit of band integration).
// plain_vs_batch = plain loop time / our time; integration_share is the part of our time
// spent summing pixels, the rest being the sheet pass and the plan.

#include "core/measurementplan.h"
#include "core/measurementsession.h"
#include "core/sheetfiles.h"

#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Frames = 1000;
constexpr int FrameWidth = 200; // samples; both frame edges are included
constexpr int FrameHeight = 100;
constexpr int PerRow = 8000 / FrameWidth;

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

int frameLeft(int i)
{
    return (i % PerRow) * FrameWidth;
}
int frameTop(int i)
{
    return (i / PerRow) * FrameHeight;
}

// Frame i in the Band column of row i + 1; the background is black, so each scan is the
// plain red sum of its frame.
QString planText()
{
    QString text = QStringLiteral("channel red\nbackground-color 0 0 0\n");
    for (int i = 0; i < Frames; ++i) {
        text += QStringLiteral("cell %1 2\nframe %2 %3 %4 %5\n")
                    .arg(i + 1)
                    .arg(frameLeft(i))
                    .arg(frameTop(i))
                    .arg(FrameWidth - 1)
                    .arg(FrameHeight - 1);
    }
    return text;
}

// Red is the third byte of each 32-bit pixel in memory.
std::uint64_t plainRedSum(const QImage& image, int left, int top)
{
    const uchar* bits = image.constBits();
    const qsizetype stride = image.bytesPerLine();
    std::uint64_t sum = 0;
    for (int y = top; y < top + FrameHeight; ++y) {
        const uchar* row = bits + y * stride;
        for (int x = left; x < left + FrameWidth; ++x)
            sum += row[4 * x + 2];
    }
    return sum;
}

void check(double ours, std::uint64_t plain, int frame)
{
    if (ours != double(plain)) {
        std::fprintf(stderr, "frame %d: batch scan %.0f differs from the plain sum %llu\n", frame,
                     ours, static_cast<unsigned long long>(plain));
        std::abort();
    }
}

void BM_BatchPlanEndToEnd(benchmark::State& state)
{
    const QImage& image = picture();
    const QString text = planText();
    double ours = 0, plain = 0, integration = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const kesto::MeasurementPlan plan =
            kesto::parseMeasurementPlan(text, QStringLiteral("bench.plan"));
        kesto::MeasurementSession session(image);
        const std::vector<double> scans = kesto::runMeasurementPlan(session, plan);
        const QByteArray sheet = kesto::sheetTabText(session.sheet());
        const auto t1 = Clock::now();
        std::vector<std::uint64_t> reference(Frames);
        for (int i = 0; i < Frames; ++i)
            reference[std::size_t(i)] = plainRedSum(image, frameLeft(i), frameTop(i));
        const auto t2 = Clock::now();
        double total = 0;
        for (int i = 0; i < Frames; ++i) {
            total += kesto::integrateFrame(image,
                                           {float(frameLeft(i)), float(frameTop(i)),
                                            float(FrameWidth - 1), float(FrameHeight - 1)},
                                           kesto::Channel::Red, 0);
        }
        const auto t3 = Clock::now();
        benchmark::DoNotOptimize(sheet.constData());
        benchmark::DoNotOptimize(total);
        for (int i = 0; i < Frames; ++i)
            check(scans[std::size_t(i)], reference[std::size_t(i)], i);
        // The session works on the caller's picture, not on a copy of its 256 MB.
        if (session.picture().constBits() != image.constBits()) {
            std::fprintf(stderr, "the session copied the picture\n");
            std::abort();
        }
        const double ourSeconds = std::chrono::duration<double>(t1 - t0).count();
        ours += ourSeconds;
        plain += std::chrono::duration<double>(t2 - t1).count();
        integration += std::chrono::duration<double>(t3 - t2).count();
        state.SetIterationTime(ourSeconds);
    }
    const double frames = double(Frames) * double(state.iterations());
    state.SetItemsProcessed(std::int64_t(frames));
    state.counters["per_frame_us"] = benchmark::Counter(ours / frames * 1e6);
    state.counters["plain_per_frame_us"] = benchmark::Counter(plain / frames * 1e6);
    state.counters["plain_vs_batch"] = benchmark::Counter(plain / ours);
    state.counters["integration_share"] = benchmark::Counter(integration / ours);
}

void BM_BatchOneFrame(benchmark::State& state)
{
    const QImage& image = picture();
    kesto::MeasurementSession session(image);
    kesto::runMeasurementPlan(
        session, kesto::parseMeasurementPlan(planText(), QStringLiteral("bench.plan")));
    // The next frame goes to a new row below the 1 000 filled ones.
    session.pickCell(Frames + 1, 2);
    const int i = Frames / 2;
    const kesto::FrameGeometry frame{float(frameLeft(i)), float(frameTop(i)), float(FrameWidth - 1),
                                     float(FrameHeight - 1)};
    double ours = 0, plain = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const double scan = session.scanFrame(frame);
        const auto t1 = Clock::now();
        const std::uint64_t reference = plainRedSum(image, frameLeft(i), frameTop(i));
        const auto t2 = Clock::now();
        benchmark::DoNotOptimize(reference);
        check(scan, reference, i);
        const double ourSeconds = std::chrono::duration<double>(t1 - t0).count();
        ours += ourSeconds;
        plain += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(ourSeconds);
    }
    state.counters["sheet_rows"] = benchmark::Counter(session.sheet().rowCount());
    state.counters["plain_vs_batch"] = benchmark::Counter(plain / ours);
}

} // namespace

BENCHMARK(BM_BatchPlanEndToEnd)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchOneFrame)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
