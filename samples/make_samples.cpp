// Draws the sample gels: a light background with two rows of flat dark bands whose size
// and grey level are known exactly (see README.md), written as gel.bmp and gel.jpg.
//
//   make_samples [OUTPUT_FOLDER]

#include <QCoreApplication>
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const QImage gel = sampleGel();
    const bool ok = save(gel, folder.filePath(QStringLiteral("gel.bmp")), "bmp", -1) &&
                    save(gel, folder.filePath(QStringLiteral("gel.jpg")), "jpeg", 90);
    return ok ? 0 : 1;
}
