#include "core/displaylevels.h"

#include "core/deeppicture.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kesto {

namespace {

constexpr double MinGamma = 0.1, MaxGamma = 10.0;

// One 8-bit value for every count from 0 to full scale.
std::vector<std::uint8_t> levelTable(const DisplayLevels& levels, int fullScale)
{
    std::vector<std::uint8_t> table(std::size_t(fullScale) + 1);
    for (int count = 0; count <= fullScale; ++count)
        table[std::size_t(count)] = std::uint8_t(screenLevel(count, levels));
    return table;
}

} // namespace

DisplayLevels identityLevels(const QImage& picture)
{
    return DisplayLevels{false, 0, channelFullScale(picture), 1.0};
}

bool isIdentity(const DisplayLevels& levels, const QImage& picture)
{
    return levels.black == 0 && levels.white == channelFullScale(picture) && levels.gamma == 1.0;
}

int histogramPercentile(const std::vector<std::uint64_t>& histogram, double percent)
{
    std::uint64_t total = 0;
    for (const std::uint64_t n : histogram)
        total += n;
    if (total == 0)
        return 0;
    const double wanted = std::clamp(percent, 0.0, 100.0) / 100.0 * double(total);
    std::uint64_t below = 0;
    for (std::size_t count = 0; count < histogram.size(); ++count) {
        below += histogram[count];
        if (histogram[count] > 0 && double(below) >= wanted)
            return int(count);
    }
    return int(histogram.size()) - 1;
}

std::vector<std::uint64_t> pictureHistogram(const QImage& picture)
{
    std::vector<std::uint64_t> histogram(std::size_t(channelFullScale(picture)) + 1, 0);
    const int width = picture.width();
    if (picture.format() == QImage::Format_Grayscale16) {
        for (int y = 0; y < picture.height(); ++y) {
            const auto* line = reinterpret_cast<const std::uint16_t*>(picture.constScanLine(y));
            for (int x = 0; x < width; ++x)
                ++histogram[line[x]];
        }
    } else if (picture.format() == QImage::Format_RGBX64) {
        for (int y = 0; y < picture.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgba64*>(picture.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                ++histogram[line[x].red()];
                ++histogram[line[x].green()];
                ++histogram[line[x].blue()];
            }
        }
    } else if (!picture.isNull()) {
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < rgb.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                ++histogram[std::size_t(qRed(line[x]))];
                ++histogram[std::size_t(qGreen(line[x]))];
                ++histogram[std::size_t(qBlue(line[x]))];
            }
        }
    }
    return histogram;
}

DisplayLevels autoDisplayLevels(const QImage& picture, double lowPercent, double highPercent)
{
    const int fullScale = channelFullScale(picture);
    std::vector<std::uint64_t> histogram = pictureHistogram(picture);
    std::vector<std::uint64_t> unclipped = histogram;
    unclipped.front() = 0;
    unclipped.back() = 0;
    // A picture of clipped samples only still gets levels from them.
    const bool anyUnclipped =
        std::any_of(unclipped.begin(), unclipped.end(), [](std::uint64_t n) { return n > 0; });
    const std::vector<std::uint64_t>& used = anyUnclipped ? unclipped : histogram;
    DisplayLevels levels{true, histogramPercentile(used, lowPercent),
                         histogramPercentile(used, highPercent), 1.0};
    if (levels.white <= levels.black) {
        if (levels.black >= fullScale)
            levels.black = fullScale - 1;
        levels.white = levels.black + 1;
    }
    return levels;
}

DisplayLevels defaultDisplayLevels(const QImage& picture)
{
    return isDeepPicture(picture) ? autoDisplayLevels(picture) : identityLevels(picture);
}

int screenLevel(int count, const DisplayLevels& levels)
{
    if (count <= levels.black)
        return 0;
    if (count >= levels.white)
        return 255;
    const double t = double(count - levels.black) / double(levels.white - levels.black);
    const double shown = levels.gamma == 1.0 ? t : std::pow(t, 1.0 / levels.gamma);
    return std::clamp(int(std::lround(255.0 * shown)), 0, 255);
}

QImage screenRendering(const QImage& picture, const DisplayLevels& levels)
{
    const bool whiteIsZero = isWhiteIsZero(picture);
    const bool deep = isDeepPicture(picture);
    if (picture.isNull() || (!deep && !whiteIsZero && isIdentity(levels, picture)))
        return QImage();
    const std::vector<std::uint8_t> table = levelTable(levels, channelFullScale(picture));
    const int width = picture.width();
    QImage shown;
    if (picture.format() == QImage::Format_Grayscale16) {
        shown = QImage(picture.size(), QImage::Format_Grayscale8);
        for (int y = 0; y < picture.height(); ++y) {
            const auto* in = reinterpret_cast<const std::uint16_t*>(picture.constScanLine(y));
            std::uint8_t* out = shown.scanLine(y);
            for (int x = 0; x < width; ++x)
                out[x] = table[in[x]];
        }
    } else if (picture.format() == QImage::Format_RGBX64) {
        shown = QImage(picture.size(), QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgba64*>(picture.constScanLine(y));
            auto* out = reinterpret_cast<QRgb*>(shown.scanLine(y));
            for (int x = 0; x < width; ++x)
                out[x] = qRgb(table[in[x].red()], table[in[x].green()], table[in[x].blue()]);
        }
    } else {
        shown = picture.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < shown.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] =
                    qRgb(table[std::size_t(qRed(line[x]))], table[std::size_t(qGreen(line[x]))],
                         table[std::size_t(qBlue(line[x]))]);
        }
    }
    // Shown as the file says: its stored 0 is white.
    if (!shown.isNull() && whiteIsZero)
        shown.invertPixels();
    return shown;
}

QImage screenView(const QImage& picture, const DisplayLevels& levels)
{
    if (picture.format() != QImage::Format_Grayscale8 || picture.isNull())
        return screenRendering(picture, levels);
    const bool whiteIsZero = isWhiteIsZero(picture);
    if (!whiteIsZero && isIdentity(levels, picture))
        return QImage();
    const std::vector<std::uint8_t> table = levelTable(levels, channelFullScale(picture));
    QList<QRgb> colours(256);
    for (int v = 0; v < 256; ++v) {
        // Shown as the file says: its stored 0 is white.
        const int shownLevel = whiteIsZero ? 255 - table[std::size_t(v)] : table[std::size_t(v)];
        colours[v] = qRgb(shownLevel, shownLevel, shownLevel);
    }
    // The view holds a reference to the picture's pixels, so they live as long as it does
    // even when the picture itself is changed or let go.
    auto* held = new QImage(picture);
    QImage view(
        held->constBits(), held->width(), held->height(), held->bytesPerLine(),
        QImage::Format_Indexed8, [](void* info) { delete static_cast<QImage*>(info); }, held);
    view.setColorTable(colours);
    return view;
}

QImage reducedGrayView(const QImage& shown, const QSize& size)
{
    const bool view = shown.format() == QImage::Format_Indexed8;
    if (shown.isNull() || (!view && shown.format() != QImage::Format_Grayscale8) ||
        size.isEmpty() || size.width() > shown.width() || size.height() > shown.height())
        return QImage();
    // A view's levels, read as Qt reads them: an index beyond the table is black.
    std::uint8_t level[256];
    const QList<QRgb> colours = shown.colorTable();
    for (int v = 0; v < 256; ++v) {
        const QRgb colour = !view ? qRgb(v, v, v) : v < colours.size() ? colours[v] : qRgb(0, 0, 0);
        if (qRed(colour) != qGreen(colour) || qGreen(colour) != qBlue(colour))
            return QImage(); // a palette of colours is not a gray view
        level[v] = std::uint8_t(qRed(colour));
    }

    const std::int64_t width = shown.width(), height = shown.height();
    const int w = size.width(), h = size.height();
    QImage reduced(w, h, QImage::Format_Grayscale8);
    if (reduced.isNull())
        return reduced;
    // Source column x falls on reduced column x * w / width, and likewise for rows: every
    // reduced pixel gets at least one source pixel because the size is not larger.
    std::vector<int> target(std::size_t(width), 0);
    std::vector<std::uint64_t> columns(std::size_t(w), 0);
    for (std::int64_t x = 0; x < width; ++x) {
        target[std::size_t(x)] = int(x * w / width);
        ++columns[std::size_t(target[std::size_t(x)])];
    }
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(w), 0);
    std::int64_t y = 0;
    for (int row = 0; row < h; ++row) {
        // The first source row past this reduced row: the ceiling of (row + 1) * height / h.
        const std::int64_t end = ((row + 1) * height + h - 1) / h;
        const std::int64_t rows = end - y;
        std::fill(sums.begin(), sums.end(), 0);
        for (; y < end; ++y) {
            const std::uint8_t* line = shown.constScanLine(int(y));
            for (std::int64_t x = 0; x < width; ++x)
                sums[std::size_t(target[std::size_t(x)])] += level[line[x]];
        }
        std::uint8_t* out = reduced.scanLine(row);
        for (int x = 0; x < w; ++x) {
            const std::uint64_t count = std::uint64_t(rows) * columns[std::size_t(x)];
            out[x] = std::uint8_t((sums[std::size_t(x)] + count / 2) / count);
        }
    }
    return reduced;
}

QString levelsText(const DisplayLevels& levels)
{
    if (levels.automatic)
        return QStringLiteral("auto");
    QString text = QString::number(levels.black) + QLatin1Char(' ') + QString::number(levels.white);
    if (levels.gamma != 1.0)
        text += QLatin1Char(' ') + QString::number(levels.gamma, 'g', 4);
    return text;
}

std::optional<DisplayLevels> parseLevels(const QString& text, const QImage& picture, QString* error)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QStringLiteral("auto"), Qt::CaseInsensitive) == 0)
        return autoDisplayLevels(picture);
    const int fullScale = channelFullScale(picture);
    const auto fail = [&](const QString& reason) -> std::optional<DisplayLevels> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    const QStringList parts =
        trimmed.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    if (parts.size() < 2 || parts.size() > 3)
        return fail(QStringLiteral("Type auto, or the black and white points and an optional "
                                   "gamma, e.g. \"0 %1 1.0\".")
                        .arg(fullScale));
    bool blackOk = false, whiteOk = false, gammaOk = true;
    DisplayLevels levels{false, parts[0].toInt(&blackOk), parts[1].toInt(&whiteOk), 1.0};
    if (parts.size() == 3)
        levels.gamma = parts[2].toDouble(&gammaOk);
    if (!blackOk || !whiteOk || levels.black < 0 || levels.white > fullScale)
        return fail(QStringLiteral("The black and white points are whole counts from 0 to %1.")
                        .arg(fullScale));
    if (levels.white <= levels.black)
        return fail(QStringLiteral("The white point must be above the black point."));
    if (!gammaOk || !std::isfinite(levels.gamma) || levels.gamma < MinGamma ||
        levels.gamma > MaxGamma)
        return fail(QStringLiteral("Gamma is a number from %1 to %2.").arg(MinGamma).arg(MaxGamma));
    return levels;
}

} // namespace kesto
