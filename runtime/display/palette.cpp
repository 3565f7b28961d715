#include "runtime/display/palette.h"

#include <cstddef>

namespace {

constexpr uint32_t opaque(uint32_t red, uint32_t green, uint32_t blue) {
    return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

// The 16 text colours (red, green, blue).
constexpr std::array<uint32_t, 16> text_colours = {
    opaque(0, 0, 0),        // 0 black
    opaque(0, 0, 170),      // 1 blue
    opaque(0, 170, 0),      // 2 green
    opaque(0, 170, 170),    // 3 cyan
    opaque(170, 0, 0),      // 4 red
    opaque(170, 0, 170),    // 5 magenta
    opaque(170, 85, 0),     // 6 brown
    opaque(170, 170, 170),  // 7 light grey
    opaque(85, 85, 85),     // 8 dark grey
    opaque(85, 85, 255),    // 9 light blue
    opaque(85, 255, 85),    // 10 light green
    opaque(85, 255, 255),   // 11 light cyan
    opaque(255, 85, 85),    // 12 light red
    opaque(255, 85, 255),   // 13 light magenta
    opaque(255, 255, 85),   // 14 yellow
    opaque(255, 255, 255),  // 15 white
};

// The VGA hardware works in 6-bit components; scale them to 8 bits so that 63 becomes 255.
constexpr uint32_t from_six_bits(uint32_t level) { return (level * 255 + 31) / 63; }

// 6-bit grey ramp of entries 16-31.
constexpr std::array<uint32_t, 16> grey_ramp = {0,  5,  8,  11, 14, 17, 20, 24,
                                                28, 32, 36, 40, 45, 50, 56, 63};

// The nine colour wheels of entries 32-247: three intensities, three saturations each. A row
// lists the five component levels a wheel steps through, lowest first.
constexpr std::array<std::array<uint32_t, 5>, 9> wheel_levels = {{
    {0, 16, 31, 47, 63},   // 32: high intensity, full saturation
    {31, 39, 47, 55, 63},  // 56: high intensity, medium saturation
    {45, 49, 54, 58, 63},  // 80: high intensity, low saturation
    {0, 7, 14, 21, 28},    // 104: medium intensity
    {14, 17, 21, 24, 28},  // 128
    {20, 22, 24, 26, 28},  // 152
    {0, 4, 8, 12, 16},     // 176: low intensity
    {8, 10, 12, 14, 16},   // 200
    {11, 12, 13, 15, 16},  // 224
}};

// The 24 hues of a wheel as indexes into its levels: blue, to magenta, red, yellow, green, cyan
// and back towards blue.
constexpr std::array<uint8_t, 24> hue_red = {0, 1, 2, 3, 4, 4, 4, 4, 4, 4, 4, 4,
                                             4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<uint8_t, 24> hue_green = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3,
                                               4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 2, 1};
constexpr std::array<uint8_t, 24> hue_blue = {4, 4, 4, 4, 4, 3, 2, 1, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 1, 2, 3, 4, 4, 4, 4};

constexpr std::array<uint32_t, 256> make_default_palette() {
    std::array<uint32_t, 256> palette{};
    for (size_t i = 0; i < text_colours.size(); ++i) palette[i] = text_colours[i];
    for (size_t i = 0; i < grey_ramp.size(); ++i) {
        const uint32_t grey = from_six_bits(grey_ramp[i]);
        palette[16 + i] = opaque(grey, grey, grey);
    }
    size_t index = 32;
    for (const auto& levels : wheel_levels) {
        for (size_t hue = 0; hue < 24; ++hue) {
            palette[index++] = opaque(from_six_bits(levels[hue_red[hue]]),
                                      from_six_bits(levels[hue_green[hue]]),
                                      from_six_bits(levels[hue_blue[hue]]));
        }
    }
    while (index < palette.size()) palette[index++] = opaque(0, 0, 0);
    return palette;
}

constexpr std::array<uint32_t, 64> make_ega_palette() {
    std::array<uint32_t, 64> palette{};
    for (uint32_t i = 0; i < 64; ++i) {
        const uint32_t red = ((i >> 2) & 1) * 170 + ((i >> 5) & 1) * 85;
        const uint32_t green = ((i >> 1) & 1) * 170 + ((i >> 4) & 1) * 85;
        const uint32_t blue = (i & 1) * 170 + ((i >> 3) & 1) * 85;
        palette[i] = opaque(red, green, blue);
    }
    return palette;
}

constexpr std::array<uint32_t, 256> default_table = make_default_palette();
constexpr std::array<uint32_t, 64> ega_table = make_ega_palette();

static_assert(default_table[7] == 0xFFAAAAAAu);
static_assert(default_table[31] == 0xFFFFFFFFu);
static_assert(default_table[32] == 0xFF0000FFu);
static_assert(default_table[40] == 0xFFFF0000u);

}  // namespace

const std::array<uint32_t, 256>& default_palette() { return default_table; }
const std::array<uint32_t, 64>& ega_palette() { return ega_table; }
