// A fresh runtime for tests that write to the text screen: no errors pending, a zeroed
// low-memory block, a fresh string heap and image table, and the start-up screen (eight blank
// 80x25 pages, page 0 written and shown). No threads and no window are started. Platform seams
// are left as the test set them.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/text/screen.h"

void fresh_text_runtime();

// print_string of `text` on the write target (bytes taken as character codes), releasing the
// temporaries it made.
void print_text(std::string_view text, int32_t finish_line = 0);

// The game's print step: make_fit, then print_string without finishing the line.
void print_fitted(std::string_view text);

// The write target's record.
Image& target();
