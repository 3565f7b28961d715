// Timed command entry's screen work for one pass, as the game does it thirty times a second:
// restore page 0 from the copy on page 1, reprint the typed text after the prompt, format and
// print the countdown at row 2, column 32, with the statement bookkeeping after every step. The
// rate limiter's wait, the clock read and the hand-over to the display are left out: the first
// two are waits and the last is measured by frame_bench.cpp.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string_view>

#include "bench/allocation_count.h"
#include "bench/bench_runtime.h"
#include "game/command_entry.h"
#include "game/flow.h"
#include "game/steps.h"
#include "runtime/core/rt_string.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print_using.h"
#include "runtime/text/screen.h"

namespace {

constexpr std::string_view countdown_template = " ###:##.###";
constexpr uint32_t row_and_column = locate_row_given | locate_column_given;

// The time left falls by one pass (1/30 s) each iteration, from 29 minutes 41.5 seconds.
struct CountdownClock {
    long double remaining = 29 * 60 + 41.5L;
    Countdown next() {
        remaining -= 1.0L / 30;
        if (remaining < 1) remaining = 29 * 60 + 41.5L;
        return split_countdown(remaining);
    }
};

struct EntryScreen {
    RtString* typed_text = nullptr;
    int32_t entry_row = 0;
    int32_t entry_column = 0;
};

// The turn screen with the prompt, saved to page 1 as the entry's set-up does.
EntryScreen prepare_entry(std::string_view typed) {
    fresh_bench_runtime();
    draw_turn_screen(2);
    EntryScreen entry;
    entry.entry_column = cursor_column();
    entry.entry_row = cursor_row();
    copy_page(0, 1);
    entry.typed_text = string_new(0, false);
    string_assign(entry.typed_text, string_from_literal(typed));
    return entry;
}

void entry_screen_work(const EntryScreen& entry, const Steps& steps, Countdown countdown) {
    copy_page(1, 0);
    finish_step(steps, 211);
    locate(entry.entry_row, entry.entry_column, 0, 0, 0, row_and_column);
    finish_step(steps, 212);
    print_line(entry.typed_text);
    finish_step(steps, 213);
    locate(countdown_row, countdown_column, 0, 0, 0, row_and_column);
    finish_step(steps, 218);
    // The template is a fresh temporary every pass, as in the game; the step releases it.
    print_using_step(string_from_literal(countdown_template), countdown.minutes_left,
                     countdown.seconds_left);
    finish_step(steps, 219);
}

void timed_entry_pass_screen_work(benchmark::State& state) {
    const EntryScreen entry = prepare_entry("TALK TO BEN");
    CountdownClock clock;
    const Steps steps;
    const AllocationWatch watch;
    for (auto _ : state) {
        entry_screen_work(entry, steps, clock.next());
    }
    watch.report(state);
}
BENCHMARK(timed_entry_pass_screen_work);

// The same pass with a key to take: the window thread's press and release of a letter (or of
// Backspace, every other pass), read_key_hit, and the text edited as the entry edits it.
void timed_entry_pass_with_key(benchmark::State& state) {
    const EntryScreen entry = prepare_entry("TALK TO BEN");
    CountdownClock clock;
    const Steps steps;
    bool letter = true;
    const AllocationWatch watch;
    for (auto _ : state) {
        on_character_key(letter ? 'x' : 8, true);
        on_character_key(letter ? 'x' : 8, false);
        entry_screen_work(entry, steps, clock.next());
        const int32_t last_key = read_key_hit();
        finish_step(steps, 214);
        switch (key_edit(last_key)) {
            case KeyEdit::erase_last:
                string_assign(entry.typed_text,
                              string_left(entry.typed_text, entry.typed_text->length - 1));
                break;
            case KeyEdit::append:
                string_assign(entry.typed_text, string_upper(string_concat(
                                                    entry.typed_text, string_from_code(last_key))));
                break;
            case KeyEdit::none:
                break;
        }
        finish_step(steps, 215);
        // In the game the release code is the next pass's key and changes nothing; emptying the
        // queues here keeps them as short as they are there.
        empty_key_queues();
        letter = !letter;
    }
    watch.report(state);
}
BENCHMARK(timed_entry_pass_with_key);

// The countdown's two fields formatted through the template, nothing printed.
void print_using_countdown(benchmark::State& state) {
    fresh_bench_runtime();
    RtString* template_text = string_new(0, false);
    string_assign(template_text, string_from_literal(countdown_template));
    CountdownClock clock;
    FormattedText output;
    const AllocationWatch watch;
    for (auto _ : state) {
        const Countdown countdown = clock.next();
        formatted_clear(output);
        const int32_t next = print_using(template_text, countdown.minutes_left, 0, output);
        print_using(template_text, countdown.seconds_left, next, output);
        benchmark::DoNotOptimize(output.length);
    }
    watch.report(state);
}
BENCHMARK(print_using_countdown);

}  // namespace
