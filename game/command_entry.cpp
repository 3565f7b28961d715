#include "game/command_entry.h"

#include <array>
#include <cmath>
#include <string_view>

#include "game/steps.h"
#include "runtime/core/errors.h"
#include "runtime/display/frames.h"
#include "runtime/input/clock.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/program_end.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print.h"
#include "runtime/text/print_using.h"
#include "runtime/text/screen.h"

namespace {

constexpr int32_t key_backspace = 8;
constexpr int32_t key_enter = 13;
constexpr int32_t key_space = 32;

constexpr double passes_per_second = 30;
constexpr double countdown_accuracy_seconds = 0.001;
constexpr int32_t countdown_row = 2;
constexpr int32_t countdown_column = 32;
constexpr std::string_view countdown_template = " ###:##.###";

constexpr double day_seconds = 86'400;

constexpr auto time_out_lines = std::to_array<std::string_view>({
    "Puzzled, I sat down on a crate to think it through. I never got the chance.",
    "A gunshot cracked from the direction of Mr. Fish's office, and I ran.",
    "We found him slumped in his chair, a gun at his feet, a letter: an accident.",
    "This case could have been solved, Detective. Next time, don't sit down.",
});
static_assert(lines_fit(time_out_lines));

}  // namespace

RtString* timed_command_entry(const GameState& game) {
    const Steps steps;
    const int32_t entry_column = cursor_column();
    finish_step(steps, 200);
    const int32_t entry_row = cursor_row();
    finish_step(steps, 201);
    copy_page(0, 1);
    finish_step(steps, 202);
    RtString* typed_text = string_new(0, false);
    finish_step(steps, 203);

    // Leftovers from earlier screens (the key that ended a pause, its release, keys typed during
    // an earlier entry) go until both queues are empty.
    int32_t last_key = 0;
    bool drained = false;
    while (!drained) {
        last_key = read_key_hit();
        finish_step(steps, 204);
        read_key();
        finish_step(steps, 205);
        const bool buffer_empty = read_key()->length == 0;
        drained = last_key == 0 && buffer_empty;
        finish_step(steps, 206);
    }

    for (;;) {
        limit_rate(passes_per_second);
        finish_step(steps, 210);
        copy_page(1, 0);
        finish_step(steps, 211);
        locate(entry_row, entry_column, 0, 0, 0, locate_row_given | locate_column_given);
        finish_step(steps, 212);
        print_line(typed_text);  // as it stood before this pass's key
        finish_step(steps, 213);
        last_key = read_key_hit();
        finish_step(steps, 214);
        switch (key_edit(last_key)) {
            case KeyEdit::erase_last:
                string_assign(typed_text, string_left(typed_text, typed_text->length - 1));
                break;
            case KeyEdit::append:
                string_assign(typed_text,
                              string_upper(string_concat(typed_text, string_from_code(last_key))));
                break;
            case KeyEdit::none:
                break;
        }
        finish_step(steps, 215);
        const long double remaining =
            time_left_seconds(game.deadline, timer_seconds(countdown_accuracy_seconds, true));
        finish_step(steps, 216);
        const Countdown countdown = split_countdown(remaining);
        finish_step(steps, 217);
        locate(countdown_row, countdown_column, 0, 0, 0, locate_row_given | locate_column_given);
        finish_step(steps, 218);
        print_using_step(string_from_literal(countdown_template), countdown.minutes_left,
                         countdown.seconds_left);
        finish_step(steps, 219);
        // The time-out wins over an Enter read in the same pass.
        if (remaining <= 0) play_time_out();
        finish_step(steps, 220);
        display_now();
        finish_step(steps, 221);
        if (last_key == key_enter) {
            set_auto_display();
            finish_step(steps, 222);
            return string_make_temporary(typed_text);
        }
    }
}

void play_time_out() {
    const Steps steps;
    clear_screen(0, 0, 0);
    finish_step(steps, 240);
    print_lines(time_out_lines, 241);  // steps 241 to 244
    display_now();
    finish_step(steps, 245);
    end_program();
}

long double time_left_seconds(double deadline, double now_seconds) {
    long double remaining = deadline - now_seconds;
    while (remaining > day_seconds / 2) remaining -= day_seconds;
    while (remaining <= -day_seconds / 2) remaining += day_seconds;
    return remaining;
}

Countdown split_countdown(long double remaining) {
    // nearbyint rounds in the current mode, which is to nearest with halves to even.
    const auto whole_seconds = static_cast<int64_t>(std::nearbyint(remaining));
    const auto minutes = static_cast<float>(whole_seconds / 60);  // truncated toward zero
    return {minutes, static_cast<float>(remaining - 60.0L * minutes)};
}

KeyEdit key_edit(int32_t key_hit) {
    if (key_hit == key_backspace) return KeyEdit::erase_last;
    if (key_hit == key_space || (key_hit >= 'A' && key_hit <= 'Z') ||
        (key_hit >= 'a' && key_hit <= 'z')) {
        return KeyEdit::append;
    }
    return KeyEdit::none;
}
