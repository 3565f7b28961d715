#include "runtime/display/render.h"

#include <algorithm>
#include <cstddef>

#include "runtime/display/private/glyph_data.h"

namespace {

constexpr std::array<FontShape, 6> built_in_fonts = {{
    // font, cell width, cell height, glyph height, first glyph row, doubled
    {8, 8, 8, 8, 0, false},
    {9, 16, 8, 8, 0, true},
    {14, 8, 14, 16, 1, false},
    {15, 16, 14, 16, 1, true},
    {16, 8, 16, 16, 0, false},
    {17, 16, 16, 16, 0, true},
}};

struct GlyphTables {
    std::array<uint8_t, 256 * 8 * 8> small{};
    std::array<uint8_t, 256 * 16 * 8> large{};
};

GlyphTables glyph_tables;

template <size_t packed_size, size_t expanded_size>
void expand_glyphs(const std::array<uint8_t, packed_size>& packed,
                   std::array<uint8_t, expanded_size>& expanded) {
    static_assert(expanded_size == packed_size * 8);
    for (size_t row = 0; row < packed_size; ++row) {
        for (size_t bit = 0; bit < 8; ++bit) {
            expanded[row * 8 + bit] = (packed[row] & (0x80u >> bit)) ? 255 : 0;
        }
    }
}

}  // namespace

const FontShape* font_shape(uint32_t font) {
    for (const FontShape& shape : built_in_fonts) {
        if (shape.font == font) return &shape;
    }
    return nullptr;
}

void load_palettes_and_fonts() {
    // The palettes are constant tables already; only the glyphs need their working form.
    expand_glyphs(glyph_rows_8x8, glyph_tables.small);
    expand_glyphs(glyph_rows_8x16, glyph_tables.large);
}

const std::array<uint8_t, 256 * 8 * 8>& glyph_table_8x8() { return glyph_tables.small; }
const std::array<uint8_t, 256 * 16 * 8>& glyph_table_8x16() { return glyph_tables.large; }

CursorLines cursor_lines(int32_t start, int32_t stop, int32_t cell_height) {
    const int32_t height = cell_height;
    // 16-row cells anchor short cursors one row above the bottom, like the hardware cursor.
    const int32_t anchor = height == 16 ? 14 : height - 1;
    const auto up_from_anchor = [anchor](int32_t lines) {
        return CursorLines{anchor - lines + 1, anchor};
    };
    CursorLines lines{};
    if (stop == 0 && start != 0) {
        return CursorLines{};
    } else if (stop == 0) {
        lines = {0, 0};
    } else if (stop < start) {
        lines = {stop, height - 1};
    } else if (start == stop) {
        lines = start <= 3 ? CursorLines{start, start} : up_from_anchor(1);
    } else if (start >= 3) {
        const int32_t span = stop - start;
        if (span == 1) {
            lines = up_from_anchor(2);
        } else if (span == 2) {
            lines = up_from_anchor(3);
        } else {
            lines = {height - height / 2, height - 1};
        }
    } else if (start <= 1) {
        lines = {start, stop <= 3 ? stop : height - 1};
    } else if (stop == 3) {  // start 2
        lines = {2, 3};
    } else if (stop == 4) {
        lines = up_from_anchor(3);
    } else {
        lines = {2, height - 1};
    }
    lines.first_row = std::max(lines.first_row, 0);
    lines.last_row = std::min(lines.last_row, height - 1);
    return lines;
}

void draw_cell(const CellCanvas& canvas, int32_t x, int32_t y, uint8_t character,
               uint8_t attribute, bool is_cursor_cell, int32_t blink_phase) {
    const FontShape& font = *canvas.font;
    const uint32_t foreground_index = attribute & 0x0Fu;
    const uint32_t background_index = (attribute >> 4) & 0x07u;
    const bool blinked_out = (attribute & 0x80u) != 0 && blink_phase == 1;
    const uint32_t foreground = canvas.palette[blinked_out ? background_index : foreground_index];
    const uint32_t background = canvas.palette[background_index];

    const uint8_t* glyph =
        (font.glyph_height == 8 ? glyph_tables.small.data() : glyph_tables.large.data()) +
        (static_cast<size_t>(character) * font.glyph_height + font.first_glyph_row) * 8;
    // Held in locals: a pixel store could alias the font's and the canvas's fields, which would
    // otherwise be read again for every row. The eight pixels of a glyph row are written without
    // a loop of their own: the loop's counting would cost as much as the pixels.
    const size_t stride = static_cast<size_t>(canvas.frame_width);
    const int32_t cell_height = font.cell_height;
    uint32_t* row_start = canvas.pixels + static_cast<size_t>(y) * stride + x;

    if (font.doubled) {
        for (int32_t row = 0; row < cell_height; ++row, glyph += 8) {
            uint32_t* out = row_start + static_cast<size_t>(row) * stride;
#pragma GCC unroll 8
            for (int32_t i = 0; i < 8; ++i) {
                const uint32_t colour = glyph[i] ? foreground : background;
                out[2 * i] = colour;
                out[2 * i + 1] = colour;
            }
        }
    } else {
        for (int32_t row = 0; row < cell_height; ++row, glyph += 8) {
            uint32_t* out = row_start + static_cast<size_t>(row) * stride;
#pragma GCC unroll 8
            for (int32_t i = 0; i < 8; ++i) out[i] = glyph[i] ? foreground : background;
        }
    }

    if (canvas.cursor_visible && blink_phase == 1 && is_cursor_cell) {
        // The cursor ignores blinking: it always takes the attribute's own foreground colour.
        const uint32_t cursor_colour = canvas.palette[foreground_index];
        for (int32_t row = canvas.cursor.first_row; row <= canvas.cursor.last_row; ++row) {
            uint32_t* out = row_start + static_cast<size_t>(row) * canvas.frame_width;
            std::fill(out, out + font.cell_width, cursor_colour);
        }
    }
}
