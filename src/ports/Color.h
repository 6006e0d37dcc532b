#pragma once

#include <cstdint>

namespace tw {

// Colour values in the platform's 32-bit form: red + 256 * green + 65536 * blue.
// System colours carry the high bit and the system-colour index, as Windows does.
using Color = std::uint32_t;

namespace colors {
inline constexpr Color systemColor(unsigned index) {
    return 0x80000000u | index;
}
inline constexpr bool isSystemColor(Color c) {
    return (c & 0x80000000u) != 0;
}
inline constexpr unsigned systemIndex(Color c) {
    return c & 0xFFu;
}

inline constexpr Color green = 49152;         // RGB 0, 192, 0
inline constexpr Color darkRed = 192;         // RGB 192, 0, 0
inline constexpr Color red = 255;             // RGB 255, 0, 0
inline constexpr Color black = 0;             // RGB 0, 0, 0
inline constexpr Color darkGreen = 32768;     // RGB 0, 128, 0
inline constexpr Color optionBack = 15391438; // RGB 206, 218, 234
inline constexpr Color steelBlue = 97 + 256 * 133 + 65536 * 183;
inline constexpr Color scrollBar = systemColor(0);
inline constexpr Color grayText = systemColor(17);
inline constexpr Color buttonText = systemColor(18); // a label's default text colour
} // namespace colors

} // namespace tw
