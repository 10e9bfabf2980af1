#include "core/colors.h"

namespace kesto {

void splitColor(std::int16_t& red, std::int16_t& green, std::int16_t& blue, ColorValue colour)
{
    const auto bits = std::uint32_t(colour);
    red = std::int16_t(bits & 0xFFu);
    green = std::int16_t((bits & 0xFF00u) / 256u);
    blue = std::int16_t((bits & 0xFF0000u) / 65536u);
}

} // namespace kesto
