// Text output on the 80x25 page: a whole 80-column line, one scroll of the 24-row view, and
// clearing the screen. Output only writes cells and the cursor; the pictures are the frame
// builder's (frame_bench.cpp).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench/allocation_count.h"
#include "bench/bench_runtime.h"
#include "runtime/core/rt_string.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print.h"

namespace {

constexpr uint32_t row_and_column = locate_row_given | locate_column_given;

void print_string_80_columns(benchmark::State& state) {
    fresh_bench_runtime();
    draw_turn_screen(2);
    std::string line;
    for (int32_t k = 0; k < 80; ++k) line += static_cast<char>('A' + k % 26);
    RtString* text = string_new(0, false);
    string_assign(text, string_from_literal(line));
    const AllocationWatch watch;
    for (auto _ : state) {
        locate(20, 1, 0, 0, 0, row_and_column);
        print_string(text, 0);
    }
    watch.report(state);
}
BENCHMARK(print_string_80_columns);

// A line end on the view's bottom row: rows 2-24 move up and row 24 is blanked.
void scroll_24_row_view(benchmark::State& state) {
    fresh_bench_runtime();
    draw_turn_screen(2);
    const AllocationWatch watch;
    for (auto _ : state) {
        locate(24, 1, 0, 0, 0, row_and_column);
        print_string(nullptr, 1);
    }
    watch.report(state);
}
BENCHMARK(scroll_24_row_view);

void clear_screen_80x25(benchmark::State& state) {
    fresh_bench_runtime();
    draw_turn_screen(2);
    const AllocationWatch watch;
    for (auto _ : state) {
        clear_screen(0, 0, 0);
    }
    watch.report(state);
}
BENCHMARK(clear_screen_80x25);

}  // namespace
