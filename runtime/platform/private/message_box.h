// The modal message box behind the message_box seam.
#pragma once

#include "runtime/platform/platform.h"

namespace platform {

// Shows a small modal window on a display connection of its own and waits for the answer; with
// no display, writes caption and text to standard error and answers BoxAnswer::failed.
BoxAnswer show_message_box(const char* caption, const char* text, BoxKind kind);

}  // namespace platform
