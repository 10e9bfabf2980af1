#pragma once

// A colour in picture units, one whole number per channel: 0 to 255 on an 8-bit picture,
// 0 to 65535 on a 16-bit one. A ColorValue holds bytes only, so the background of a deep
// picture is kept in this form.

#include "core/colors.h"

#include <cstdint>

namespace kesto {

struct ChannelLevels
{
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;

    friend bool operator==(const ChannelLevels& a, const ChannelLevels& b)
    {
        return a.red == b.red && a.green == b.green && a.blue == b.blue;
    }
    friend bool operator!=(const ChannelLevels& a, const ChannelLevels& b) { return !(a == b); }
};

// The bytes of a colour value; -1 (a read outside the picture) gives 255 in every channel.
inline ChannelLevels levelsOf(ColorValue colour)
{
    const auto bits = std::uint32_t(colour);
    return ChannelLevels{std::int32_t(bits & 0xFFu), std::int32_t((bits >> 8) & 0xFFu),
                         std::int32_t((bits >> 16) & 0xFFu)};
}

// The same colour at 16 bits per channel: 255 becomes 65535.
inline ChannelLevels widenedLevels(ColorValue colour)
{
    const ChannelLevels bytes = levelsOf(colour);
    return ChannelLevels{bytes.red * 257, bytes.green * 257, bytes.blue * 257};
}

// The colour value of 16-bit levels, keeping each channel's top eight bits.
inline ColorValue narrowedColor(const ChannelLevels& levels)
{
    return rgbValue(levels.red >> 8, levels.green >> 8, levels.blue >> 8);
}

} // namespace kesto
