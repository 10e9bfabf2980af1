#include "core/pictureops.h"

#include "core/gelimage.h"

#include <cstdint>

namespace kesto {

void invertPicture(QImage& picture)
{
    if (picture.isNull())
        return;
    if (picture.format() != QImage::Format_RGB32)
        picture = toWorkingImage(picture);
    // 255 - c is c with all eight bits flipped, so one XOR per pixel complements red,
    // green and blue together and leaves the opaque alpha byte alone.
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] ^= 0x00FFFFFFu;
    }
}

QString backgroundText(ColorValue background)
{
    std::int16_t red = 0, green = 0, blue = 0;
    splitColor(red, green, blue, background);
    const auto hex = [](std::uint32_t value) { return QString::number(value, 16).toUpper(); };
    const QChar lf(QLatin1Char('\n'));
    return QStringLiteral("Background=") + QString::number(background) + QStringLiteral(" HEX: ") +
           hex(std::uint32_t(background)) + lf + QStringLiteral("R=") + QString::number(red) +
           QStringLiteral(" (H") + hex(std::uint32_t(red)) + QLatin1Char(')') + lf +
           QStringLiteral("G=") + QString::number(green) + QStringLiteral(" (H") +
           hex(std::uint32_t(green)) + QLatin1Char(')') + lf + QStringLiteral("B=") +
           QString::number(blue) + QStringLiteral(" (H") + hex(std::uint32_t(blue)) +
           QLatin1Char(')');
}

} // namespace kesto
