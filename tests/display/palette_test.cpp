// The default palette: the 16 text colours of the colour table, then the VGA default entries
// (6-bit hardware values scaled so that 63 becomes 255).
#include "runtime/display/palette.h"

#include <gtest/gtest.h>

namespace {

TEST(DefaultPalette, TextColoursThenGreyRampWheelsAndBlack) {
    const auto& palette = default_palette();
    struct Case { int index; uint32_t colour; };
    for (const Case& c : {Case{0, 0xFF000000u}, Case{1, 0xFF0000AAu}, Case{6, 0xFFAA5500u},
                          Case{7, 0xFFAAAAAAu}, Case{8, 0xFF555555u}, Case{9, 0xFF5555FFu},
                          Case{14, 0xFFFFFF55u}, Case{15, 0xFFFFFFFFu},
                          Case{16, 0xFF000000u}, Case{31, 0xFFFFFFFFu},   // grey ramp ends
                          Case{32, 0xFF0000FFu}, Case{36, 0xFFFF00FFu},   // blue, magenta
                          Case{40, 0xFFFF0000u}, Case{48, 0xFF00FF00u},   // red, green
                          Case{104, 0xFF000071u},                         // dark blue: 28 -> 113
                          // last wheel entry: 6-bit (11, 12, 16)
                          Case{247, 0xFF2D3141u}, Case{248, 0xFF000000u}, Case{255, 0xFF000000u}}) {
        EXPECT_EQ(palette[c.index], c.colour) << "entry " << c.index;
    }
    for (int i = 16; i < 31; ++i) {
        EXPECT_LT(palette[i] & 0xFFu, palette[i + 1] & 0xFFu) << "grey ramp rises at " << i;
    }
    for (uint32_t entry : palette) EXPECT_EQ(entry >> 24, 0xFFu);
}

}  // namespace
