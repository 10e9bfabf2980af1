// The picture pane's repaint at fit zoom for a 16000 x 16000 picture beside the same
// repaint for a 1000 x 1000 one (the baseline): big_vs_small = big time / small time, the
// goal under 2. And the lane profile of an 8000-row frame beside the integration of the
// same frame: profile_vs_integration = profile time / integration time. And the first
// paint at fit zoom of a 16000 x 16000 8-bit gray picture, which makes its reduced copy:
// first_paint_peak_MiB is the rise of the peak memory while it is made, beside the
// picture's picture_MiB, and first_paint_vs_integration its time against one integration
// of the whole picture.

#include "app/picturebox.h"
#include "core/integration.h"
#include "core/laneprofile.h"

#include "peakmemory.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

// The pane's size at the window's start size.
constexpr int PaneWidth = 480;
constexpr int PaneHeight = 560;

QImage stripes(int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < size; ++x)
            line[x] = 0xFF000000u | quint32(((x / 7 + y / 5) & 0xFF) * 0x010101u);
    }
    return image;
}

// A box showing the picture at fit zoom (no smaller than the box allows), painted once so
// that what is measured is a repaint.
std::unique_ptr<kesto::PictureBox> fittedBox(int size)
{
    auto box = std::make_unique<kesto::PictureBox>();
    box->setPicture(stripes(size));
    box->setZoom(std::max(1.0 / 16, std::min(double(PaneWidth) / size, double(PaneHeight) / size)));
    QImage target(PaneWidth, PaneHeight, QImage::Format_RGB32);
    box->render(&target, QPoint(), QRegion(0, 0, PaneWidth, PaneHeight));
    return box;
}

double repaintSeconds(kesto::PictureBox& box, QImage& target)
{
    const auto t0 = Clock::now();
    box.render(&target, QPoint(), QRegion(0, 0, PaneWidth, PaneHeight));
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void BM_FitRepaint(benchmark::State& state)
{
    static const std::unique_ptr<kesto::PictureBox> big = fittedBox(16000);
    static const std::unique_ptr<kesto::PictureBox> small = fittedBox(1000);
    QImage target(PaneWidth, PaneHeight, QImage::Format_RGB32);
    double bigTotal = 0, smallTotal = 0;
    for (auto _ : state) {
        const double bigSeconds = repaintSeconds(*big, target);
        smallTotal += repaintSeconds(*small, target);
        bigTotal += bigSeconds;
        state.SetIterationTime(bigSeconds);
    }
    state.counters["big_vs_small"] = benchmark::Counter(bigTotal / smallTotal);
}

void BM_GrayFitFirstPaint(benchmark::State& state)
{
    constexpr int Size = 16000;
    QImage gray(Size, Size, QImage::Format_Grayscale8);
    for (int y = 0; y < Size; ++y) {
        uchar* line = gray.scanLine(y);
        for (int x = 0; x < Size; ++x)
            line[x] = uchar(x / 7 + y / 5);
    }
    kesto::PictureBox box;
    box.setPicture(gray);
    const double fit = std::min(double(PaneWidth) / Size, double(PaneHeight) / Size);
    const kesto::FrameGeometry whole{0, 0, float(Size - 1), float(Size - 1)};
    QImage target(PaneWidth, PaneHeight, QImage::Format_RGB32);
    double paintTotal = 0, integrationTotal = 0, peak = 0;
    for (auto _ : state) {
        box.setZoom(1.0); // drops the reduced copy, so the next paint at fit makes it again
        box.setZoom(fit);
        double seconds = 0;
        peak = std::max(peak,
                        kesto::bench::peakRiseMiB([&] { seconds = repaintSeconds(box, target); }));
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(kesto::integrateFrame(gray, whole, kesto::Channel::Red, 0));
        integrationTotal += std::chrono::duration<double>(Clock::now() - t0).count();
        paintTotal += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["picture_MiB"] = benchmark::Counter(double(gray.sizeInBytes()) / 1048576.0);
    state.counters["first_paint_peak_MiB"] = benchmark::Counter(peak);
    state.counters["first_paint_vs_integration"] =
        benchmark::Counter(paintTotal / integrationTotal);
}

void BM_ProfileVsIntegration(benchmark::State& state)
{
    static const QImage picture = stripes(8000);
    const kesto::FrameGeometry frame{1000, 0, float(state.range(0) - 1), 7999};
    double profileTotal = 0, integrationTotal = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const kesto::LaneProfile profile = kesto::laneProfile(
            picture, frame, kesto::Channel::Red, 0, kesto::ProfileDirection::AlongRows);
        const auto t1 = Clock::now();
        const double sum = kesto::integrateFrame(picture, frame, kesto::Channel::Red, 0);
        const auto t2 = Clock::now();
        if (profile.area() != sum) {
            std::fprintf(stderr, "profile area %.0f differs from the scan %.0f\n", profile.area(),
                         sum);
            std::abort();
        }
        const double profileSeconds = std::chrono::duration<double>(t1 - t0).count();
        profileTotal += profileSeconds;
        integrationTotal += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(profileSeconds);
    }
    state.counters["profile_vs_integration"] = benchmark::Counter(profileTotal / integrationTotal);
}

} // namespace

BENCHMARK(BM_FitRepaint)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrayFitFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ProfileVsIntegration)
    ->Arg(60)
    ->Arg(400)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
