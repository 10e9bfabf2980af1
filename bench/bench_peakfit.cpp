// Fitting two overlapping bands in one lane's 300-point profile, beside reading that
// profile from the picture in the same run. Each iteration times both; fit_ms is the fit
// alone (the goal is under 5 ms), cost_vs_profile = fit time / profile time. Run on
// Gaussian bands (0) and on tailing ones fitted as such (1).

#include "core/integration.h"
#include "core/laneprofile.h"
#include "core/peakfit.h"

#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

// The two bands of a lane: sigma 8, 20 pixels (2.5 sigma) apart; the tailing ones have a
// tail of 5 pixels.
std::vector<kesto::FittedPeak> bands(kesto::PeakShape shape)
{
    const double tau = shape == kesto::PeakShape::Gaussian ? 0 : 5;
    return {{2400, 140, 8, tau, 0, 0, 0, 0}, {1400, 160, 8, tau, 0, 0, 0, 0}};
}

// A lane 40 pixels wide and 300 long: the two bands, dark on a background that darkens
// down the lane, with noise of a few levels.
QImage lane(kesto::PeakShape shape)
{
    QImage picture(40, 300, QImage::Format_RGB32);
    QRandomGenerator random(5);
    for (int y = 0; y < picture.height(); ++y) {
        double dark = 20 + 0.1 * y;
        for (const kesto::FittedPeak& band : bands(shape))
            dark += kesto::peakValueAt(band, shape, y);
        auto* line = reinterpret_cast<quint32*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int g =
                std::clamp(int(std::lround(240 - dark)) + int(random.bounded(7)) - 3, 0, 255);
            line[x] = qRgb(g, g, g);
        }
    }
    return picture;
}

void BM_TwoBandFit(benchmark::State& state)
{
    kesto::PeakFitOptions options;
    options.shape =
        state.range(0) == 0 ? kesto::PeakShape::Gaussian : kesto::PeakShape::ExponentiallyModified;
    const QImage image = lane(options.shape);
    const std::vector<kesto::FittedPeak> truth = bands(options.shape);
    const kesto::FrameGeometry frame{0, 0, float(image.width() - 1), float(image.height() - 1)};
    options.baseline = kesto::FitBaseline::Linear;
    options.baselineGuess = {20, 0.1};
    const std::vector<kesto::PeakGuess> guesses = {{138, 0, 0, 0}, {162, 0, 0, 0}};
    double fitting = 0, reading = 0;
    int iterations = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const kesto::LaneProfile profile = kesto::laneProfile(image, frame, kesto::Channel::Red, 0,
                                                              kesto::ProfileDirection::AlongRows);
        const auto t1 = Clock::now();
        // Darkness above white, position down the lane.
        std::vector<double> x(profile.means.size()), y(profile.means.size());
        for (std::size_t i = 0; i < x.size(); ++i) {
            x[i] = double(i);
            y[i] = 240 - profile.means[i];
        }
        const auto t2 = Clock::now();
        const kesto::PeakFit fit = kesto::fitPeaks(x, y, guesses, options);
        const auto t3 = Clock::now();
        benchmark::DoNotOptimize(fit);
        if (!fit.ok || std::abs(fit.peaks[0].centre - truth[0].centre) > 1 ||
            std::abs(fit.peaks[1].centre - truth[1].centre) > 1) {
            std::fprintf(stderr, "the fit failed or missed the bands: %s\n",
                         fit.reason.toUtf8().constData());
            std::abort();
        }
        iterations = fit.iterations;
        const double seconds = std::chrono::duration<double>(t3 - t2).count();
        fitting += seconds;
        reading += std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(seconds);
    }
    const double runs = double(state.iterations());
    state.counters["fit_ms"] = benchmark::Counter(1000 * fitting / runs);
    state.counters["profile_ms"] = benchmark::Counter(1000 * reading / runs);
    state.counters["cost_vs_profile"] = benchmark::Counter(fitting / reading);
    state.counters["fit_iterations"] = benchmark::Counter(iterations);
}

} // namespace

BENCHMARK(BM_TwoBandFit)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
