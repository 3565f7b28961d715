// Text rendering: one cell into pixels. Expected colours come from the 16-colour table of the
// text screen (light grey 170,170,170; white 255,255,255); cursor shapes from the worked
// examples for the 8x16 cell.
#include "runtime/display/render.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/display/palette.h"

namespace {

constexpr uint32_t black = 0xFF000000u;
constexpr uint32_t light_grey = 0xFFAAAAAAu;
constexpr uint32_t white = 0xFFFFFFFFu;
constexpr uint32_t untouched = 0x12345678u;

// A text page's palette: the 16 text colours, the rest 0.
std::array<uint32_t, 256> text_palette() {
    std::array<uint32_t, 256> palette{};
    for (int i = 0; i < 16; ++i) palette[i] = default_palette()[i];
    return palette;
}

// A canvas two cells wide and two cells high; the cell is drawn at the second column and row so
// that writes outside it show up as changed margins.
struct CellFixture {
    explicit CellFixture(uint32_t font_number) : font(font_shape(font_number)) {
        load_palettes_and_fonts();
        width = font->cell_width * 2;
        height = font->cell_height * 2;
        pixels.assign(static_cast<size_t>(width) * height, untouched);
    }
    void draw(uint8_t character, uint8_t attribute, int32_t blink_phase, bool cursor_cell = false,
              bool cursor_visible = false, CursorLines cursor = {}) {
        const CellCanvas canvas{pixels.data(), width, font, palette.data(), cursor_visible,
                                cursor};
        draw_cell(canvas, font->cell_width, font->cell_height, character, attribute,
                  cursor_cell, blink_phase);
    }
    uint32_t at(int32_t x, int32_t y) const {  // inside the cell
        return pixels[static_cast<size_t>(y + font->cell_height) * width + x + font->cell_width];
    }
    bool margins_untouched() const {
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const bool inside = x >= font->cell_width && y >= font->cell_height;
                if (!inside && pixels[static_cast<size_t>(y) * width + x] != untouched) {
                    return false;
                }
            }
        }
        return true;
    }
    // The cell as text: '#' for `ink`, '.' for anything else.
    std::string picture(uint32_t ink) const {
        std::string text;
        for (int32_t y = 0; y < font->cell_height; ++y) {
            for (int32_t x = 0; x < font->cell_width; ++x) text += at(x, y) == ink ? '#' : '.';
            text += '\n';
        }
        return text;
    }
    const FontShape* font;
    std::array<uint32_t, 256> palette = text_palette();
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

TEST(BuiltInFonts, CellSizesOfTheSixFonts) {
    struct Case { uint32_t font; int32_t width, height; };
    for (const Case& c : {Case{8, 8, 8}, Case{9, 16, 8}, Case{14, 8, 14}, Case{15, 16, 14},
                          Case{16, 8, 16}, Case{17, 16, 16}}) {
        const FontShape* shape = font_shape(c.font);
        ASSERT_NE(shape, nullptr) << "font " << c.font;
        EXPECT_EQ(shape->cell_width, c.width) << "font " << c.font;
        EXPECT_EQ(shape->cell_height, c.height) << "font " << c.font;
    }
    for (uint32_t other : {0u, 7u, 10u, 18u, 32u}) EXPECT_EQ(font_shape(other), nullptr) << other;
}

// The glyph rows of one character packed back into bytes (most significant bit leftmost), from
// the expanded 8x8 or 8x16 table.
std::vector<uint8_t> packed_glyph(int32_t glyph_height, int character) {
    load_palettes_and_fonts();
    const uint8_t* pixels = glyph_height == 8 ? glyph_table_8x8().data() : glyph_table_8x16().data();
    std::vector<uint8_t> rows;
    for (int32_t row = 0; row < glyph_height; ++row) {
        uint8_t bits = 0;
        for (int32_t x = 0; x < 8; ++x) {
            const uint8_t pixel = pixels[(character * glyph_height + row) * 8 + x];
            EXPECT_TRUE(pixel == 0 || pixel == 255) << "character " << character;
            if (pixel != 0) bits |= static_cast<uint8_t>(0x80u >> x);
        }
        rows.push_back(bits);
    }
    return rows;
}

// Landmark glyphs of the code page 437 VGA sets: a wrong table, offset or bit order in the
// generated data shows in at least one of them.
TEST(GlyphTables, LandmarkGlyphsOfBothSets) {
    struct Case {
        int32_t height;
        int character;
        std::vector<uint8_t> rows;
    };
    auto repeated = [](std::vector<uint8_t> pair, size_t count) {
        std::vector<uint8_t> rows;
        while (rows.size() < count) rows.insert(rows.end(), pair.begin(), pair.end());
        return rows;
    };
    const Case cases[] = {
        {8, 0, std::vector<uint8_t>(8, 0x00)},
        {8, 1, {0x7E, 0x81, 0xA5, 0x81, 0xBD, 0x99, 0x81, 0x7E}},  // the smiley
        {8, 65, {0x30, 0x78, 0xCC, 0xCC, 0xFC, 0xCC, 0xCC, 0x00}},
        {8, 177, repeated({0x55, 0xAA}, 8)},
        {8, 179, std::vector<uint8_t>(8, 0x18)},
        {8, 196, {0, 0, 0, 0, 0xFF, 0, 0, 0}},
        {8, 219, std::vector<uint8_t>(8, 0xFF)},
        {8, 255, std::vector<uint8_t>(8, 0x00)},
        {16, 0, std::vector<uint8_t>(16, 0x00)},
        {16, 1, {0, 0, 0x7E, 0x81, 0xA5, 0x81, 0x81, 0xBD, 0x99, 0x81, 0x81, 0x7E, 0, 0, 0, 0}},
        {16, 176, repeated({0x11, 0x44}, 16)},
        {16, 177, repeated({0x55, 0xAA}, 16)},
        {16, 178, repeated({0xDD, 0x77}, 16)},
        {16, 179, std::vector<uint8_t>(16, 0x18)},
        {16, 196, {0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}},
        {16, 219, std::vector<uint8_t>(16, 0xFF)},
        {16, 255, std::vector<uint8_t>(16, 0x00)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(packed_glyph(c.height, c.character), c.rows)
            << "8x" << c.height << " character " << c.character;
    }
}

TEST(DrawCell, FullBlockInAttribute7FillsEveryFontsCellLightGrey) {
    for (uint32_t font : {8u, 9u, 14u, 15u, 16u, 17u}) {
        CellFixture cell(font);
        cell.draw(219, 0x07, 0);
        for (int32_t y = 0; y < cell.font->cell_height; ++y) {
            for (int32_t x = 0; x < cell.font->cell_width; ++x) {
                ASSERT_EQ(cell.at(x, y), light_grey) << "font " << font << " at " << x << "," << y;
            }
        }
        EXPECT_TRUE(cell.margins_untouched()) << "font " << font;
    }
}

TEST(DrawCell, LetterAIn8x16HasTheVgaShape) {
    CellFixture cell(16);
    cell.draw('A', 0x07, 0);
    EXPECT_EQ(cell.picture(light_grey),
              "........\n"
              "........\n"
              "...#....\n"
              "..###...\n"
              ".##.##..\n"
              "##...##.\n"
              "##...##.\n"
              "#######.\n"
              "##...##.\n"
              "##...##.\n"
              "##...##.\n"
              "##...##.\n"
              "........\n"
              "........\n"
              "........\n"
              "........\n");
    // Everything that is not ink is the black background.
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 8; ++x)
            EXPECT_TRUE(cell.at(x, y) == light_grey || cell.at(x, y) == black) << x << "," << y;
}

TEST(DrawCell, BlinkingWhiteOnBlackShowsInPhase0AndVanishesInPhase1) {
    CellFixture shown(16);
    shown.draw('A', 0x8F, 0);
    CellFixture plain(16);
    plain.draw('A', 0x0F, 0);
    EXPECT_EQ(shown.pixels, plain.pixels);
    EXPECT_NE(shown.picture(white).find('#'), std::string::npos);

    CellFixture hidden(16);
    hidden.draw('A', 0x8F, 1);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(hidden.at(x, y), black) << x << "," << y;
}

TEST(DrawCell, BackgroundIsLimitedToEightColoursAndBit7Blinks) {
    // 0xF0: foreground 0 (black), background bits 7 (light grey, not white), blink set.
    CellFixture phase0(16);
    phase0.draw('A', 0xF0, 0);
    CellFixture reference(16);
    reference.draw('A', 0x07, 0);
    // Exactly the glyph pixels of 'A' are black, all others light grey.
    EXPECT_EQ(phase0.picture(black), reference.picture(light_grey));
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 8; ++x) EXPECT_NE(phase0.at(x, y), white);

    CellFixture phase1(16);
    phase1.draw('A', 0xF0, 1);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(phase1.at(x, y), light_grey) << x << "," << y;
}

TEST(DrawCell, FourteenRowFontsDropTheFirstAndLastGlyphRows) {
    for (int character = 0; character < 256; ++character) {
        CellFixture tall(16);
        tall.draw(static_cast<uint8_t>(character), 0x07, 0);
        CellFixture short_cell(14);
        short_cell.draw(static_cast<uint8_t>(character), 0x07, 0);
        for (int32_t y = 0; y < 14; ++y)
            for (int32_t x = 0; x < 8; ++x)
                ASSERT_EQ(short_cell.at(x, y), tall.at(x, y + 1))
                    << "character " << character << " row " << y;
    }
}

TEST(DrawCell, DoubleWidthFontsRepeatEachGlyphColumn) {
    struct Case { uint32_t wide, narrow; };
    for (const Case& c : {Case{9, 8}, Case{15, 14}, Case{17, 16}}) {
        for (int character : {1, 65, 176, 179, 196}) {
            CellFixture wide(c.wide);
            wide.draw(static_cast<uint8_t>(character), 0x1E, 0);
            CellFixture narrow(c.narrow);
            narrow.draw(static_cast<uint8_t>(character), 0x1E, 0);
            for (int32_t y = 0; y < narrow.font->cell_height; ++y)
                for (int32_t x = 0; x < 16; ++x)
                    ASSERT_EQ(wide.at(x, y), narrow.at(x / 2, y))
                        << "font " << c.wide << " character " << character << " at " << x;
            EXPECT_TRUE(wide.margins_untouched());
        }
    }
}

TEST(CursorShape, WorkedExamplesFor8x16) {
    struct Case { int32_t start, stop, first, last; };  // last < first: no cursor
    for (const Case& c : {Case{4, 4, 14, 14}, Case{6, 7, 13, 14}, Case{3, 7, 8, 15},
                          Case{0, 7, 0, 15}, Case{0, 2, 0, 2}, Case{5, 0, 0, -1}}) {
        const CursorLines lines = cursor_lines(c.start, c.stop, 16);
        if (c.last < c.first) {
            EXPECT_TRUE(cursor_lines_empty(lines)) << c.start << "/" << c.stop;
        } else {
            EXPECT_EQ(lines.first_row, c.first) << c.start << "/" << c.stop;
            EXPECT_EQ(lines.last_row, c.last) << c.start << "/" << c.stop;
        }
    }
}

TEST(CursorShape, RemainingRulesAndOtherCellHeights) {
    // Hand-computed from the rule table; H is the cell height.
    struct Case { int32_t start, stop, height, first, last; };
    for (const Case& c : {
             Case{0, 0, 16, 0, 0},     // stop 0, start 0: the top row
             Case{9, 5, 16, 5, 15},    // stop < start: from stop to the bottom
             Case{20, 16, 16, 0, -1},  // stop < start beyond the cell: nothing
             Case{2, 2, 16, 2, 2},     // equal and small
             Case{4, 4, 8, 7, 7},      // other heights anchor at the last row
             Case{5, 7, 16, 12, 14},   // span 2: three lines up from row 14
             Case{5, 7, 14, 11, 13},
             Case{3, 9, 14, 7, 13},    // lower half
             Case{1, 3, 16, 1, 3},
             Case{1, 9, 8, 1, 7},
             Case{2, 3, 16, 2, 3},
             Case{2, 4, 16, 12, 14},
             Case{2, 6, 16, 2, 15},
         }) {
        const CursorLines lines = cursor_lines(c.start, c.stop, c.height);
        if (c.last < c.first) {
            EXPECT_TRUE(cursor_lines_empty(lines)) << c.start << "/" << c.stop << " H" << c.height;
        } else {
            EXPECT_EQ(lines.first_row, c.first) << c.start << "/" << c.stop << " H" << c.height;
            EXPECT_EQ(lines.last_row, c.last) << c.start << "/" << c.stop << " H" << c.height;
        }
    }
}

TEST(DrawCell, VisibleCursorOnlyInPhase1InTheUnblinkedForeground) {
    const CursorLines lines = cursor_lines(6, 7, 16);  // rows 13 and 14
    CellFixture phase1(16);
    phase1.draw(' ', 0x8F, 1, true, true, lines);  // blinking white on black
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            ASSERT_EQ(phase1.at(x, y), (y == 13 || y == 14) ? white : black) << x << "," << y;
        }
    }
    CellFixture phase0(16);
    phase0.draw(' ', 0x8F, 0, true, true, lines);
    CellFixture no_cursor(16);
    no_cursor.draw(' ', 0x8F, 0);
    EXPECT_EQ(phase0.pixels, no_cursor.pixels);

    CellFixture other_cell(16);
    other_cell.draw(' ', 0x0F, 1, false, true, lines);
    for (int32_t y = 0; y < 16; ++y) EXPECT_EQ(other_cell.at(0, y), black);
}

TEST(DrawCell, HiddenCursorIsNeverDrawnWhateverItsShape) {
    CellFixture plain(16);
    plain.draw('A', 0x1E, 1);
    for (int32_t start = 0; start < 32; ++start) {
        for (int32_t stop = 0; stop < 32; ++stop) {
            CellFixture cell(16);
            cell.draw('A', 0x1E, 1, true, false, cursor_lines(start, stop, 16));
            ASSERT_EQ(cell.pixels, plain.pixels) << start << "/" << stop;
        }
    }
}

}  // namespace
