// Reads the game's window back into text: every 8x16 cell of a 640x400 capture is matched
// against the code page 437 glyphs and the 16 text colours and becomes a character code with its
// foreground and background colour index. Exact pixels, no tolerance: a cell that is not exactly
// one glyph in two text colours fails the whole decode, naming the cell.
//
// Ambiguities, resolved the same way every time:
// - A cell of one colour is either a glyph without lit pixels (codes 0, 32, 255) or the full
//   block (219). If the colour can be a background (index 0-7) it is read as a blank (32) with
//   that background and an unknown foreground; otherwise (index 8-15, foreground only) it is the
//   full block with that foreground and an unknown background.
// - Some glyphs are the exact inverse of others (7/8, 9/10, 220/223, 221/222). When both
//   colours of a cell could be the background, the reading with the lower character code wins.
// - Glyphs with equal bitmaps are read as the lowest code among them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace acceptance {

constexpr int screen_columns = 80;
constexpr int screen_rows = 25;
constexpr int cell_width = 8;
constexpr int cell_height = 16;
constexpr int frame_width = screen_columns * cell_width;    // 640
constexpr int frame_height = screen_rows * cell_height;     // 400
constexpr int unknown_colour = -1;

// The 8x16 glyphs, one byte per row, most significant bit leftmost.
using GlyphRows = std::array<uint8_t, cell_height>;
using GlyphTable = std::array<GlyphRows, 256>;

// A captured picture: 0x00RRGGBB words, row-major.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

struct DecodedCell {
    uint8_t character = 32;
    int foreground = unknown_colour;  // 0-15, or unknown_colour for a cell of one colour
    int background = unknown_colour;  // 0-7, or unknown_colour for a full block
};

// The decoded 80x25 screen. Rows and columns are 1-based, as the game counts them.
struct Screen {
    std::array<DecodedCell, screen_columns * screen_rows> cells{};

    const DecodedCell& at(int row, int column) const {
        return cells[static_cast<size_t>((row - 1) * screen_columns + (column - 1))];
    }
    // The characters of one row as text (see screen_text for the characters shown).
    std::string row_text(int row) const;
    // row_text without trailing blanks.
    std::string row_trimmed(int row) const;
    bool row_blank(int row) const { return row_trimmed(row).empty(); }
    // The row text from `column` for `length` characters.
    std::string text_at(int row, int column, int length) const;
};

// The glyph table and the 16 text colours the reader matches against (the runtime's own).
const GlyphTable& reference_glyphs();
const std::array<uint32_t, 16>& reference_colours();  // 0x00RRGGBB

// Decodes a 640x400 picture. On failure returns false and says why in `error` (the first cell
// that matches nothing, with its position and pixel colours).
bool decode_picture(const Picture& picture, Screen& screen, std::string& error);

// The screen as 25 numbered lines under a column ruler, for failure messages. Characters 32-126
// are shown as themselves, every other code as a middle dot.
std::string screen_text(const Screen& screen);

// The colours as two hexadecimal digits per cell (foreground, background; '.' when unknown),
// one line per row, for failure messages about colours.
std::string screen_colours(const Screen& screen);

// Writes the picture as an RGB PNG file.
bool write_png(const Picture& picture, const std::string& path);

}  // namespace acceptance
