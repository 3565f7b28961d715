// Cursor placement, colours, clearing and the scrolling view of the write target, with the
// argument checks of the runtime statements. Optional arguments arrive with a given-mask: bit k
// set means argument k was written by the program.
#pragma once

#include <cstdint>

// locate's given-mask bits.
inline constexpr uint32_t locate_row_given = 1u << 0;
inline constexpr uint32_t locate_column_given = 1u << 1;
inline constexpr uint32_t locate_cursor_shown_given = 1u << 2;
inline constexpr uint32_t locate_cursor_start_given = 1u << 3;
inline constexpr uint32_t locate_cursor_stop_given = 1u << 4;

// set_color's given-mask bits.
inline constexpr uint32_t color_foreground_given = 1u << 0;
inline constexpr uint32_t color_background_given = 1u << 1;
inline constexpr uint32_t color_border_given = 1u << 2;

// clear_screen's given-mask bits.
inline constexpr uint32_t clear_method_given = 1u << 0;
inline constexpr uint32_t clear_fill_given = 1u << 1;

void locate(int32_t row, int32_t column, int32_t cursor_shown, int32_t cursor_start,
            int32_t cursor_stop, uint32_t given_mask);
void set_color(int32_t foreground, int32_t background, int32_t border, uint32_t given_mask);
void clear_screen(int32_t method, int32_t fill_colour, uint32_t given_mask);
// rows_given non-zero: both rows given; zero: the whole page.
void set_view_rows(int32_t top, int32_t bottom, int32_t rows_given);

// Where the next character goes, counting a pending wrap as carried out.
int32_t cursor_row();
int32_t cursor_column();

// The width of a page (>= 0, created when missing) or image handle (< 0); given 0 = the write
// target. 0 on error.
int32_t page_width(int32_t page, int32_t given);
