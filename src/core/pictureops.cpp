#include "core/pictureops.h"

#include "core/deeppicture.h"
#include "core/gelimage.h"

#include <cstdint>

namespace kesto {

void invertPicture(QImage& picture)
{
    if (picture.isNull())
        return;
    if (isDeepPicture(picture)) {
        // 65535 - v is v with its sixteen bits flipped; RGBX64 keeps its alpha word.
        const int width = picture.width();
        for (int y = 0; y < picture.height(); ++y) {
            if (picture.format() == QImage::Format_Grayscale16) {
                auto* line = reinterpret_cast<std::uint16_t*>(picture.scanLine(y));
                for (int x = 0; x < width; ++x)
                    line[x] = std::uint16_t(~line[x]);
            } else {
                auto* line = reinterpret_cast<std::uint64_t*>(picture.scanLine(y));
                for (int x = 0; x < width; ++x)
                    line[x] ^= 0x0000FFFFFFFFFFFFull;
            }
        }
        return;
    }
    if (picture.format() == QImage::Format_Grayscale8) {
        // 255 - v, eight bits flipped, as every channel of the working picture is.
        const int width = picture.width();
        for (int y = 0; y < picture.height(); ++y) {
            std::uint8_t* line = picture.scanLine(y);
            for (int x = 0; x < width; ++x)
                line[x] = std::uint8_t(~line[x]);
        }
        return;
    }
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

QString backgroundText(const ChannelLevels& background)
{
    const auto line = [](const char* name, std::int32_t value) {
        return QLatin1String(name) + QLatin1Char('=') + QString::number(value) +
               QStringLiteral(" (H") + QString::number(value, 16).toUpper() + QLatin1Char(')');
    };
    const QChar lf(QLatin1Char('\n'));
    return QStringLiteral("Background (16 bits per channel)=%1,%2,%3")
               .arg(background.red)
               .arg(background.green)
               .arg(background.blue) +
           lf + line("R", background.red) + lf + line("G", background.green) + lf +
           line("B", background.blue);
}

} // namespace kesto
