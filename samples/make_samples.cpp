// Draws the sample gels: a light background with two rows of flat dark bands whose size
// and grey level are known exactly (see README.md), written as gel.bmp and gel.jpg; a
// 16-bit grayscale blot with smooth bands on an uneven, noisy background, one band
// saturated, written as blot16.tif and blot16.png (for the blot it prints each lane's
// frame and the exact scan of that frame against background 313; README.md lists them);
// and two drawn gels for the lane and band finder with their truth beside them: lanes.png
// (8-bit, dark bands on light) and lanes16.png (16-bit grey, light bands on dark), each
// with a .truth.tsv.
//
//   make_samples [OUTPUT_FOLDER]

#include "support/syntheticgel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int Width = 320, Height = 200;
constexpr int Background = 230;
constexpr int Lanes = 6;
constexpr int FirstLaneLeft = 20, LanePitch = 50, BandWidth = 40, BandHeight = 16;
constexpr int SampleTop = 50, ControlTop = 130;
constexpr int SampleGreys[Lanes] = {60, 85, 110, 135, 160, 185};
constexpr int ControlGrey = 90;

void fillBand(QImage& image, int left, int top, int grey)
{
    for (int y = top; y < top + BandHeight; ++y)
        for (int x = left; x < left + BandWidth; ++x)
            image.setPixel(x, y, qRgb(grey, grey, grey));
}

QImage sampleGel()
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(qRgb(Background, Background, Background));
    for (int lane = 0; lane < Lanes; ++lane) {
        const int left = FirstLaneLeft + lane * LanePitch;
        fillBand(image, left, SampleTop, SampleGreys[lane]);
        fillBand(image, left, ControlTop, ControlGrey);
    }
    return image;
}

// The blot: 600 x 400 at 16 bits, dark bands light (signal adds counts, as a
// chemiluminescence or fluorescence imager records it).
constexpr int BlotWidth = 600, BlotHeight = 400;
constexpr int BlotBackground = 313;
constexpr int BlotLanes = 6;
constexpr int BlotFirstLane = 40, BlotPitch = 90, BlotBandWidth = 60;
constexpr int BlotBandTop = 170, BlotBandHeight = 20;
// Counts above the background at each band's plateau; the last is far past full scale.
constexpr double BlotPeaks[BlotLanes] = {600, 1200, 1800, 2400, 3600, 90000};
// A lane's frame: the band and 5 pixels around it (both edges included).
constexpr int BlotFrameLeft(int lane)
{
    return BlotFirstLane + lane * BlotPitch - 5;
}
constexpr int BlotFrameTop = BlotBandTop - 15, BlotFrameWidth = BlotBandWidth + 9,
              BlotFrameHeight = BlotBandHeight + 29;

// A plateau from a to b with edges softened over about `soft` pixels.
double plateau(double v, double a, double b, double soft)
{
    return 0.5 * (std::erf((v - a) / soft) - std::erf((v - b) / soft));
}

QImage sampleBlot()
{
    QImage image(BlotWidth, BlotHeight, QImage::Format_Grayscale16);
    std::uint32_t state = 2024;
    for (int y = 0; y < BlotHeight; ++y) {
        auto* line = reinterpret_cast<std::uint16_t*>(image.scanLine(y));
        for (int x = 0; x < BlotWidth; ++x) {
            // Uneven background: brighter to the right and towards the middle rows.
            double v = BlotBackground + 24.0 * x / BlotWidth +
                       12.0 * std::exp(-std::pow((y - 200.0) / 120.0, 2));
            for (int lane = 0; lane < BlotLanes; ++lane) {
                const double left = BlotFirstLane + lane * BlotPitch;
                v += BlotPeaks[lane] * plateau(x, left, left + BlotBandWidth, 4.0) *
                     plateau(y, BlotBandTop, BlotBandTop + BlotBandHeight, 3.0);
            }
            state = state * 1664525u + 1013904223u;
            v += double(int(state >> 28) - 8); // noise of -8 to +7 counts
            line[x] = std::uint16_t(std::lround(std::clamp(v, 0.0, 65535.0)));
        }
    }
    return image;
}

void printBlotAnswers(const QImage& blot)
{
    std::printf("lane\tframe\tscan\tat full scale\n");
    for (int lane = 0; lane < BlotLanes; ++lane) {
        const int left = BlotFrameLeft(lane);
        std::int64_t sum = 0, full = 0;
        for (int y = BlotFrameTop; y <= BlotFrameTop + BlotFrameHeight; ++y) {
            const auto* line = reinterpret_cast<const std::uint16_t*>(blot.constScanLine(y));
            for (int x = left; x <= left + BlotFrameWidth; ++x) {
                sum += line[x] - BlotBackground;
                full += line[x] == 65535;
            }
        }
        std::printf("%d\t%d,%d,%d,%d\t%lld\t%lld\n", lane + 1, left, BlotFrameTop, BlotFrameWidth,
                    BlotFrameHeight, static_cast<long long>(sum), static_cast<long long>(full));
    }
}

bool save(const QImage& image, const QString& path, const char* format, int quality)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    // LZW for TIFF: lossless, and a third of the size.
    if (qstrcmp(format, "tiff") == 0)
        writer.setCompression(1);
    if (writer.write(image))
        return true;
    std::fprintf(stderr, "make_samples: cannot write %s: %s\n", qPrintable(path),
                 qPrintable(writer.errorString()));
    return false;
}

bool saveWithTruth(const kesto::test::SyntheticGel& gel, const QDir& folder, const QString& name)
{
    QFile truth(folder.filePath(name + QStringLiteral(".truth.tsv")));
    const QByteArray text = kesto::test::truthText(gel).toUtf8();
    if (!truth.open(QIODevice::WriteOnly) || truth.write(text) != text.size()) {
        std::fprintf(stderr, "make_samples: cannot write %s\n", qPrintable(truth.fileName()));
        return false;
    }
    return save(gel.picture, folder.filePath(name + QStringLiteral(".png")), "png", -1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const QImage gel = sampleGel();
    const bool ok = save(gel, folder.filePath(QStringLiteral("gel.bmp")), "bmp", -1) &&
                    save(gel, folder.filePath(QStringLiteral("gel.jpg")), "jpeg", 90);
    const QImage blot = sampleBlot();
    const bool blotOk = save(blot, folder.filePath(QStringLiteral("blot16.tif")), "tiff", -1) &&
                        save(blot, folder.filePath(QStringLiteral("blot16.png")), "png", -1);
    if (blotOk)
        printBlotAnswers(blot);
    kesto::test::SyntheticGelLayout layout;
    layout.seed = 21;
    bool found =
        saveWithTruth(kesto::test::makeSyntheticGel(layout), folder, QStringLiteral("lanes"));
    layout.depth = kesto::test::SyntheticGelLayout::Depth::Gray16;
    layout.darkOnLight = false;
    layout.seed = 16;
    found = found &&
            saveWithTruth(kesto::test::makeSyntheticGel(layout), folder, QStringLiteral("lanes16"));
    return ok && blotOk && found ? 0 : 1;
}
