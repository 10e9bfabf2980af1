// Draws the sample gels: a light background with two rows of flat dark bands whose size
// and grey level are known exactly (see README.md), written as gel.bmp and gel.jpg; and
// two drawn gels for the lane and band finder with their truth beside them: lanes.png
// (8-bit, dark bands on light) and lanes16.png (16-bit grey, light bands on dark), each
// with a .truth.tsv.
//
//   make_samples [OUTPUT_FOLDER]

#include "support/syntheticgel.h"

#include <QCoreApplication>
#include <QFile>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QString>

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

bool save(const QImage& image, const QString& path, const char* format, int quality)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
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
    kesto::test::SyntheticGelSpec spec;
    spec.seed = 21;
    bool found = saveWithTruth(kesto::test::makeSyntheticGel(spec), folder, QStringLiteral("lanes"));
    spec.depth = kesto::test::SyntheticGelSpec::Depth::Gray16;
    spec.darkOnLight = false;
    spec.seed = 16;
    found = found &&
            saveWithTruth(kesto::test::makeSyntheticGel(spec), folder, QStringLiteral("lanes16"));
    return ok && found ? 0 : 1;
}
