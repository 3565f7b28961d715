// The packed glyph bitmaps written by tools/make_glyphs: one byte per glyph row, most
// significant bit leftmost, glyphs in character-code order.
#pragma once

#include <array>
#include <cstdint>

extern const std::array<uint8_t, 256 * 8> glyph_rows_8x8;
extern const std::array<uint8_t, 256 * 16> glyph_rows_8x16;
