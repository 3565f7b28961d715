// Text output's cell-level steps, shared with clearing and the frame-independent parts of the
// text area.
#pragma once

#include <cstdint>

#include "runtime/text/screen.h"

// Writes one cell at the cursor in the image's current colours; the cursor does not move.
void put_character(Image& image, uint8_t code);

// Moves to column 1 of the next row, scrolling the view rows when the cursor leaves the view.
void new_line(Image& image);

// Fills `count` cells from `first` with blanks of `attribute`.
void fill_blank(TextCell* first, int32_t count, uint8_t attribute);
