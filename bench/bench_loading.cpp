// Loading an 8000 x 8000 JPEG and PNG through loadGelImage beside a bare QImageReader
// read of the same file. Each iteration times both; time_vs_bare_reader = our time / bare
// time (target at most 1.3 for the colour files). A grey PNG is measured too: there the
// bare reader keeps 1 byte per pixel while we build the 4-byte working picture, so its
// ratio shows the cost of that conversion rather than overhead.
//
// Peak memory: before each path runs once, the process's peak resident size is reset
// (/proc/self/clear_refs, "5"); the rise of the peak (VmHWM) over the resident size
// before the load is that path's peak memory, reported in MiB beside the working
// picture's size. extra_copies = (our peak - picture size) / picture size: within one
// extra copy of the decoded picture means at most 1.
//
// A 16-bit grayscale TIFF keeps its depth: its working_MiB is its 16-bit data, and
// screen_peak_MiB is the peak of loading it and making the screen's 8-bit rendering, which
// the window holds beside it (data plus rendering: (2 + 1) bytes a pixel).

#include "core/deeppicture.h"
#include "core/gelimage.h"
#include "core/integration.h"

#include "peakmemory.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Side = 8000;

// A gel-like picture: a light background with dark bands and a little noise, so neither
// encoder gets an unrealistically easy picture.
QImage gelPicture()
{
    QImage image(Side, Side, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < Side; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        const bool bandRow = (y / 400) % 2 == 1;
        for (int x = 0; x < Side; ++x) {
            const bool band = bandRow && (x / 300) % 2 == 1;
            const int grey = (band ? 80 : 220) + int(random.bounded(16));
            line[x] = qRgb(grey, grey, grey);
        }
    }
    return image;
}

struct Files
{
    QTemporaryDir dir;
    QString jpeg;
    QString png;
    QString greyPng;  // decodes to 8-bit grey, so our path converts it to RGB32
    QString deepTiff; // 16-bit grey, kept at its depth
};

const Files& files()
{
    static const Files* made = [] {
        auto* f = new Files;
        const QImage image = gelPicture();
        f->jpeg = f->dir.filePath(QStringLiteral("gel.jpg"));
        f->png = f->dir.filePath(QStringLiteral("gel.png"));
        QImageWriter jpegWriter(f->jpeg, "jpeg");
        jpegWriter.setQuality(90);
        QImageWriter pngWriter(f->png, "png");
        pngWriter.setQuality(90); // light compression keeps the set-up short
        f->greyPng = f->dir.filePath(QStringLiteral("grey.png"));
        QImageWriter greyWriter(f->greyPng, "png");
        greyWriter.setQuality(90);
        f->deepTiff = f->dir.filePath(QStringLiteral("deep.tif"));
        QImageWriter deepWriter(f->deepTiff, "tiff");
        if (!jpegWriter.write(image) || !pngWriter.write(image) ||
            !greyWriter.write(image.convertToFormat(QImage::Format_Grayscale8)) ||
            !deepWriter.write(image.convertToFormat(QImage::Format_Grayscale16))) {
            std::fprintf(stderr, "cannot write the benchmark pictures\n");
            std::abort();
        }
        return f;
    }();
    return *made;
}

QImage bareRead(const QString& path)
{
    QImageReader reader(path);
    return reader.read();
}

// The rise of the peak resident size while `load` runs and its picture is held, in MiB.
template <typename Load> double peakRiseMiB(Load load)
{
    return kesto::bench::peakRiseMiB([&] {
        const QImage image = load();
        benchmark::DoNotOptimize(image.constBits());
    });
}

void loadBenchmark(benchmark::State& state, const QString& path)
{
    kesto::applyPictureAllocationLimit(); // the bare reader needs it too: 244 MiB > 128 MiB
    const auto ours = [&] { return kesto::loadGelImage(path).image; };
    const auto bare = [&] { return bareRead(path); };

    const QImage check = ours();
    if (check.isNull() || check.size() != QSize(Side, Side)) {
        std::fprintf(stderr, "loading %s failed\n", qPrintable(path));
        std::abort();
    }
    const double workingMiB = double(check.sizeInBytes()) / (1024.0 * 1024.0);
    const double ourPeak = peakRiseMiB(ours);
    const double barePeak = peakRiseMiB(bare);

    double ourTime = 0, bareTime = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        {
            const QImage image = ours();
            benchmark::DoNotOptimize(image.constBits());
        }
        const auto t1 = Clock::now();
        {
            const QImage image = bare();
            benchmark::DoNotOptimize(image.constBits());
        }
        const auto t2 = Clock::now();
        const double ourSeconds = std::chrono::duration<double>(t1 - t0).count();
        ourTime += ourSeconds;
        bareTime += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(ourSeconds);
    }
    state.counters["bare_ms"] = benchmark::Counter(1000.0 * bareTime / double(state.iterations()));
    state.counters["time_vs_bare_reader"] = benchmark::Counter(ourTime / bareTime);
    state.counters["working_MiB"] = benchmark::Counter(workingMiB);
    state.counters["peak_MiB"] = benchmark::Counter(ourPeak);
    state.counters["bare_peak_MiB"] = benchmark::Counter(barePeak);
    state.counters["extra_copies"] = benchmark::Counter((ourPeak - workingMiB) / workingMiB);
}

void BM_LoadJpeg(benchmark::State& state)
{
    loadBenchmark(state, files().jpeg);
}
void BM_LoadPng(benchmark::State& state)
{
    loadBenchmark(state, files().png);
}
void BM_LoadGreyPng(benchmark::State& state)
{
    loadBenchmark(state, files().greyPng);
}
void BM_LoadDeepTiff(benchmark::State& state)
{
    loadBenchmark(state, files().deepTiff);
    const double screenPeak = peakRiseMiB([] {
        const QImage picture = kesto::loadGelImage(files().deepTiff).image;
        const QImage screen = kesto::screenRendering(picture);
        benchmark::DoNotOptimize(screen.constBits());
        return picture;
    });
    state.counters["screen_peak_MiB"] = benchmark::Counter(screenPeak);
}

// The whole-picture frame on the grey PNG, decode included, as `kestoscan measure` takes
// it: the picture kept grey (loadMeasurementPicture) against the same file through the
// 32-bit working picture (loadGelImage), as every grey picture was measured before, in
// turns. grey_vs_working = grey time / working time (below 1: the grey path is faster);
// scan_grey_vs_working compares the scan alone on the two decoded pictures; the peaks are
// each path's peak memory in MiB.
void BM_GreyPngWholeFrame(benchmark::State& state)
{
    kesto::applyPictureAllocationLimit();
    const QString path = files().greyPng;
    const kesto::FrameGeometry whole{0, 0, float(Side - 1), float(Side - 1)};
    const kesto::ChannelLevels background{0, 0, 0};
    double greySum = 0, workingSum = 0;
    const auto measured = [&](kesto::GelImageLoad load, double& sum) {
        sum =
            kesto::integrateFrameCounted(load.image, whole, kesto::Channel::Red, background).value;
        return load.image;
    };
    const auto grey = [&] { return measured(kesto::loadMeasurementPicture(path), greySum); };
    const auto working = [&] { return measured(kesto::loadGelImage(path), workingSum); };
    if (grey().format() != QImage::Format_Grayscale8 ||
        working().format() != QImage::Format_RGB32 || greySum != workingSum) {
        std::fprintf(stderr, "the grey and working pictures measure differently\n");
        std::abort();
    }
    const double greyPeak = peakRiseMiB(grey);
    const double workingPeak = peakRiseMiB(working);

    double greyTime = 0, workingTime = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(grey().constBits());
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(working().constBits());
        const auto t2 = Clock::now();
        const double greySeconds = std::chrono::duration<double>(t1 - t0).count();
        greyTime += greySeconds;
        workingTime += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(greySeconds);
    }

    // The scan alone, on the decoded pictures, in turns.
    const QImage greyPicture = kesto::loadMeasurementPicture(path).image;
    const QImage workingPicture = kesto::loadGelImage(path).image;
    double greyScan = 0, workingScan = 0;
    for (int i = 0; i < 10; ++i) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(
            kesto::integrateFrameCounted(greyPicture, whole, kesto::Channel::Red, background));
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(
            kesto::integrateFrameCounted(workingPicture, whole, kesto::Channel::Red, background));
        const auto t2 = Clock::now();
        greyScan += std::chrono::duration<double>(t1 - t0).count();
        workingScan += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["working_ms"] =
        benchmark::Counter(1000.0 * workingTime / double(state.iterations()));
    state.counters["grey_vs_working"] = benchmark::Counter(greyTime / workingTime);
    state.counters["scan_grey_ms"] = benchmark::Counter(100.0 * greyScan);
    state.counters["scan_grey_vs_working"] = benchmark::Counter(greyScan / workingScan);
    state.counters["grey_peak_MiB"] = benchmark::Counter(greyPeak);
    state.counters["working_peak_MiB"] = benchmark::Counter(workingPeak);
}

} // namespace

BENCHMARK(BM_GreyPngWholeFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadJpeg)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadPng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadGreyPng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadDeepTiff)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // image plugins are found through the application
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
