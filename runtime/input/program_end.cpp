#include "runtime/input/program_end.h"

#include <cstring>

#include "runtime/core/rt_string.h"
#include "runtime/core/signals.h"
#include "runtime/display/frames.h"
#include "runtime/input/key_queue.h"
#include "runtime/platform/platform.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print.h"
#include "runtime/text/screen.h"

namespace {

constexpr int32_t key_poll_interval_ms = 100;

// The number of text rows of the write target: its height for a text page, its pixel height over
// the character-cell height for a graphics surface.
int32_t write_target_rows() {
    const Image* target = write_target_image();
    if (target == nullptr) return 0;
    if (target->is_text != 0) return target->height;
    // The built-in fonts are numbered by their cell height; this program loads no other font.
    const bool built_in_font =
        target->font == font_8x8 || target->font == font_8x14 || target->font == font_8x16;
    const int32_t cell_height = built_in_font ? static_cast<int32_t>(target->font) : 16;
    return target->height / cell_height;
}

// One read_key, its temporary released at once: the waits below run for as long as the user
// takes, and must not pile up a temporary per poll.
bool keystroke_waiting() {
    const uint32_t mark = temp_mark();
    const bool waiting = read_key()->length != 0;
    release_temporaries(mark);
    return waiting;
}

}  // namespace

void end_program() {
    // No file or connection is ever open in this program, so there is nothing to close first.
    set_write_target(visible_page_handle());
    const int32_t rows = write_target_rows();
    set_view_rows(rows, rows, 1);

    const uint32_t mark = temp_mark();
    // With a one-row view this line break blanks the bottom row in the current colours.
    print_string(shared_empty_string(), 1);
    print_string(string_from_literal(closing_prompt, static_cast<int32_t>(std::strlen(closing_prompt))),
                 0);
    release_temporaries(mark);

    while (keystroke_waiting()) platform::sleep_ms(0);

    set_auto_display();

    RuntimeSignals& signals = runtime_signals();
    do {
        platform::sleep_ms(key_poll_interval_ms);
        if (signals.stop_requested.load() != 0) park_program_thread();
    } while (!keystroke_waiting());

    signals.exit_now.store(1);
    park_program_thread();
}
