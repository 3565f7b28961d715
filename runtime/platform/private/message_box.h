// The modal message box behind the message_box seam, and the pure decisions it is made of.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/platform.h"

namespace platform {

// Shows a small modal window on a display connection of its own, kept above other windows, and
// waits for the answer; with no display, writes caption and text to standard error and answers
// BoxAnswer::failed.
BoxAnswer show_message_box(const char* caption, const char* text, BoxKind kind);

// The text's lines, split at every line feed (an empty text is one empty line).
std::vector<std::string> split_lines(std::string_view text);

// The answer a key gives, by its X key symbol; BoxAnswer::failed for a key that does nothing.
BoxAnswer answer_for_key(unsigned long key_symbol, BoxKind kind);

// The answer of closing the box through the window manager.
BoxAnswer answer_for_close(BoxKind kind);

// Button labels in order from left to right, with the answer each gives.
struct BoxButton {
    const char* label;
    BoxAnswer answer;
};
std::vector<BoxButton> box_buttons(BoxKind kind);

}  // namespace platform
