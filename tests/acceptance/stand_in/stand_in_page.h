// The known page the stand-in window draws, shared by the stand-in program and the reader's own
// tests, so that a test knows cell by cell what the window must show.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace acceptance {

struct PageCell {
    uint8_t character = 32;
    uint8_t foreground = 7;
    uint8_t background = 0;
};

using StandInPage = std::array<PageCell, 80 * 25>;

constexpr int stand_in_code_row = 3;     // rows 3-10: codes 0-255, 32 a row, yellow on blue
constexpr int stand_in_colour_row = 12;  // rows 12-13: "A" in every colour pair
constexpr int stand_in_inverse_row = 14; // row 14: glyphs whose inverse is another glyph
constexpr int stand_in_typed_row = 24;   // row 24: the characters typed so far
constexpr int stand_in_key_row = 25;     // row 25: the name of the last key pressed

// The glyphs of row 14, from column 1, each with the colours listed: character, foreground,
// background. Both colours can be backgrounds, so the reader must choose a reading.
constexpr std::array<PageCell, 6> stand_in_inverse_cells = {{
    {223, 1, 2},  // upper half block, blue on green: reads as lower half, green on blue
    {220, 2, 1},  // lower half block, green on blue: reads the same
    {8, 3, 4},    // inverse bullet, cyan on red: reads as bullet, red on cyan
    {222, 5, 6},  // right half block: reads as left half with the colours swapped
    {219, 7, 0},  // full block in light grey: reads as a blank on light grey
    {0, 6, 1},    // code 0 on blue: reads as a blank on blue
}};

inline void put_text(StandInPage& page, int row, int column, const std::string& text,
                     uint8_t foreground, uint8_t background) {
    for (size_t i = 0; i < text.size() && column + static_cast<int>(i) <= 80; ++i) {
        page[static_cast<size_t>((row - 1) * 80 + column - 1) + i] =
            PageCell{static_cast<uint8_t>(text[i]), foreground, background};
    }
}

inline StandInPage stand_in_page(const std::string& typed, const std::string& last_key) {
    StandInPage page{};
    put_text(page, 1, 1, "STAND-IN WINDOW", 15, 0);
    for (int code = 0; code < 256; ++code) {
        page[static_cast<size_t>((stand_in_code_row - 1 + code / 32) * 80 + (code % 32))] =
            PageCell{static_cast<uint8_t>(code), 14, 1};
    }
    // Rows 12 and 13: 'A' in every foreground (0-15) on every background (0-7), 64 a row.
    for (int combination = 0; combination < 128; ++combination) {
        const int foreground = combination % 16;
        const int background = combination / 16;
        const int row = stand_in_colour_row + combination / 64;
        const int column = 1 + combination % 64;
        page[static_cast<size_t>((row - 1) * 80 + column - 1)] =
            PageCell{'A', static_cast<uint8_t>(foreground), static_cast<uint8_t>(background)};
    }
    for (size_t i = 0; i < stand_in_inverse_cells.size(); ++i) {
        page[static_cast<size_t>((stand_in_inverse_row - 1) * 80) + i] = stand_in_inverse_cells[i];
    }
    put_text(page, stand_in_typed_row, 1, typed, 15, 0);
    put_text(page, stand_in_key_row, 1, last_key, 10, 0);
    return page;
}

}  // namespace acceptance
