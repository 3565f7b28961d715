// Text output: writes the characters of a runtime string into the write target's cells, acting
// on the control characters, wrapping at the right edge (a break after the last column is held
// pending until the next output needs it) and scrolling the view rows.
#pragma once

#include <cstdint>

#include "runtime/core/rt_string.h"

// Writes `text` (nullptr = empty) at the cursor; a non-zero `finish_line` ends the line after
// it. Does nothing while an error is pending.
void print_string(const RtString* text, int32_t finish_line);

// Breaks the line first when `text` would not fit on the rest of the current row.
void make_fit(const RtString* text);
