#include "core/deeppicture.h"

#include "core/gelimage.h"
#include "core/integration.h"
#include "core/tiffpicture.h"

#include <QFile>

#include <QImageReader>

#include <cmath>
#include <cstdint>

namespace kesto {

namespace {

// Composites 16-bit colour with alpha over white, at 16 bits, into Format_RGBX64.
QImage compositeDeepOverWhite(QImage image)
{
    image.convertTo(QImage::Format_RGBA64);
    if (image.isNull())
        return image;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgba64*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgba64 p = line[x];
            const std::uint64_t a = p.alpha();
            if (a == 65535)
                continue;
            const std::uint64_t white = 65535 * (65535 - a);
            const auto over = [&](std::uint64_t c) {
                return std::uint16_t((c * a + white + 32767) / 65535);
            };
            line[x] = QRgba64::fromRgba64(over(p.red()), over(p.green()), over(p.blue()), 65535);
        }
    }
    // Every pixel is opaque now, so the data already is the RGBX64 picture.
    image.reinterpretAsFormat(QImage::Format_RGBX64);
    return image;
}

// An 8-bit palette picture whose colours are all opaque grays, as Format_Grayscale8: each
// index becomes its colour's value in place, read as the working picture would read it
// (an index beyond the palette is black; a picture without a palette is gray already).
// Null when the palette holds a colour or a transparent entry.
QImage grayFromPalette(QImage image)
{
    const QList<QRgb> palette = image.colorTable();
    std::uint8_t value[256];
    for (int i = 0; i < 256; ++i) {
        if (palette.isEmpty()) {
            value[i] = std::uint8_t(i);
            continue;
        }
        const QRgb c = i < palette.size() ? palette[i] : qRgb(0, 0, 0);
        if (qAlpha(c) != 255 || qRed(c) != qGreen(c) || qGreen(c) != qBlue(c))
            return QImage();
        value[i] = std::uint8_t(qRed(c));
    }
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* line = image.scanLine(y);
        if (!line)
            return QImage();
        for (int x = 0; x < width; ++x)
            line[x] = value[line[x]];
    }
    image.reinterpretAsFormat(QImage::Format_Grayscale8);
    image.setColorTable({});
    return image;
}

} // namespace

bool isDeepPicture(const QImage& picture)
{
    return picture.format() == QImage::Format_Grayscale16 ||
           picture.format() == QImage::Format_RGBX64;
}

int channelFullScale(const QImage& picture)
{
    return isDeepPicture(picture) ? 65535 : 255;
}

bool isDeepFormat(QImage::Format format)
{
    return format == QImage::Format_Grayscale16 || format == QImage::Format_RGBX64 ||
           format == QImage::Format_RGBA64 || format == QImage::Format_RGBA64_Premultiplied;
}

bool isFloatFormat(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBX32FPx4:
    case QImage::Format_RGBA32FPx4:
    case QImage::Format_RGBA32FPx4_Premultiplied:
        return true;
    default:
        return false;
    }
}

QImage toMeasurementImage(QImage picture)
{
    if (isDeepPicture(picture) || picture.format() == QImage::Format_Grayscale8)
        return picture;
    if (isDeepFormat(picture.format()))
        return compositeDeepOverWhite(std::move(picture));
    if (picture.format() == QImage::Format_Indexed8) {
        QImage gray = grayFromPalette(picture);
        if (!gray.isNull())
            return gray;
    }
    return toWorkingImage(picture);
}

ChannelLevels levelsAt(const QImage& picture, float x, float y)
{
    if (!isDeepPicture(picture))
        return levelsOf(pixelAt(picture, x, y));
    // Written so that NaN compares false and reads as outside.
    if (!(x >= 0.0f && y >= 0.0f && double(x) < double(picture.width()) &&
          double(y) < double(picture.height())))
        return ChannelLevels{65535, 65535, 65535};
    const int column = std::min(int(std::floor(x)), picture.width() - 1);
    const int row = std::min(int(std::floor(y)), picture.height() - 1);
    if (picture.format() == QImage::Format_Grayscale16) {
        const std::int32_t v =
            reinterpret_cast<const std::uint16_t*>(picture.constScanLine(row))[column];
        return ChannelLevels{v, v, v};
    }
    const QRgba64 p = reinterpret_cast<const QRgba64*>(picture.constScanLine(row))[column];
    return ChannelLevels{p.red(), p.green(), p.blue()};
}

bool isWhiteIsZero(const QImage& picture)
{
    return picture.text(QLatin1String(PolarityTextKey)) == QLatin1String(WhiteIsZeroText);
}

QString polarityText(const QImage& picture)
{
    return isWhiteIsZero(picture) ? QStringLiteral("WhiteIsZero") : QStringLiteral("BlackIsZero");
}

int picturePage(const QImage& picture)
{
    bool ok = false;
    const int page = picture.text(QLatin1String(PageTextKey)).toInt(&ok);
    return ok && page > 0 ? page : 0;
}

QImage screenRendering(const QImage& picture)
{
    QImage shown;
    if (picture.format() == QImage::Format_Grayscale16)
        shown = picture.convertToFormat(QImage::Format_Grayscale8);
    else if (picture.format() == QImage::Format_RGBX64)
        shown = picture.convertToFormat(QImage::Format_RGB32);
    else if (isWhiteIsZero(picture))
        shown = picture.copy();
    // Shown as the file says: its stored 0 is white.
    if (!shown.isNull() && isWhiteIsZero(picture))
        shown.invertPixels();
    return shown;
}

int fileChannelFullScale(const QString& path, int page)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && looksLikeTiff(file.peek(4))) {
        const std::vector<TiffPageInfo> pages = readTiffPages(file);
        const std::size_t index = page <= 0 ? 0 : std::size_t(page - 1);
        if (index < pages.size())
            return pages[index].bitsPerSample > 8 && pages[index].bitsPerSample <= 16 ? 65535 : 255;
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return isDeepFormat(reader.imageFormat()) ? 65535 : 255;
}

} // namespace kesto
