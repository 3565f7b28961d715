// Text rendering: how one text cell (character code and attribute byte) becomes pixels of a
// frame. Owns the built-in fonts and their expanded glyph tables, the attribute colours, the
// blinking of characters and the shape of the text cursor. The frame builder decides which cells
// to draw; draw_cell decides what a cell looks like.
#pragma once

#include <array>
#include <cstdint>

// One built-in font: the cell it fills and where its glyph rows come from.
struct FontShape {
    uint32_t font = 16;           // the font number a page names
    int32_t cell_width = 8;       // pixels
    int32_t cell_height = 16;     // pixels; also the number of glyph rows drawn
    int32_t glyph_height = 16;    // rows per glyph in its table: 8 (8x8 table) or 16 (8x16 table)
    int32_t first_glyph_row = 0;  // 1 for the 14-row fonts, which drop the first and last rows
    bool doubled = false;         // 16-pixel-wide cells: each glyph column drawn twice
};

// The built-in font with this number (8, 9, 14, 15, 16, 17), or nullptr for any other number.
const FontShape* font_shape(uint32_t font);

// Expands the packed glyph bitmaps into the working tables. Start-up calls it once before the
// first screen exists; calling it again rebuilds the same tables.
void load_palettes_and_fonts();

// The expanded tables: 256 glyphs in character-code order, row-major, 8 bytes per glyph row,
// 0 for background and 255 for foreground.
const std::array<uint8_t, 256 * 8 * 8>& glyph_table_8x8();
const std::array<uint8_t, 256 * 16 * 8>& glyph_table_8x16();

// The pixel rows of a cell the text cursor covers: first_row..last_row, empty when
// last_row < first_row.
struct CursorLines {
    int32_t first_row = 0;
    int32_t last_row = -1;
};
inline bool cursor_lines_empty(CursorLines lines) { return lines.last_row < lines.first_row; }

// The cursor shape for start line `start`, stop line `stop` (each 0-31) in a cell of
// `cell_height` rows. Pure.
CursorLines cursor_lines(int32_t start, int32_t stop, int32_t cell_height);

// What every cell of one builder pass shares: the frame's pixels, the page's font and cursor
// settings and the palette the pass draws with.
struct CellCanvas {
    uint32_t* pixels = nullptr;         // the frame being built, row-major
    int32_t frame_width = 0;            // row stride in pixels
    const FontShape* font = nullptr;
    const uint32_t* palette = nullptr;  // 256 0xAARRGGBB entries
    bool cursor_visible = false;
    CursorLines cursor{};               // from the page's cursor_start / cursor_stop
};

// Draws one cell with its top-left pixel at (x, y). While `blink_phase` is 1 a blinking
// character (attribute bit 7) is drawn in its background colour, and the cursor, when visible
// and this is its cell, is painted over the glyph in the attribute's foreground colour.
void draw_cell(const CellCanvas& canvas, int32_t x, int32_t y, uint8_t character,
               uint8_t attribute, bool is_cursor_cell, int32_t blink_phase);
