// The frame builder's passes over the turn screen as the player sees it while typing: the full
// pass of a first frame, the pass after the countdown's 11 cells changed, the pass that finds
// nothing changed and gives its slot back, and the pass at a change of the blink phase (which
// redraws the cursor cell and blinking characters).
//
// After every pass the presenter's choice runs as the window thread's does (it presents about
// twice per frame built, so it takes every frame): the builder then alternates between two
// slots. One more pass runs without it, as when the window falls behind: the builder then
// overwrites the oldest ready frame and cycles through all three slots, 3 MB of pixels.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "bench/allocation_count.h"
#include "bench/bench_runtime.h"
#include "runtime/display/frames.h"
#include "runtime/display/private/frame_exchange.h"
#include "runtime/text/screen.h"

namespace {

// The turn screen with three passes behind it, so that every slot has its pixel buffer and the
// comparison copy exists: from here on a pass is in its steady state.
void prepare_turn_screen() {
    fresh_bench_runtime();
    draw_turn_screen(2);
    for (int k = 0; k < frame_slot_count; ++k) {
        invalidate_frame_comparison();
        build_frame();
    }
}

// The window thread's part of a pass: take the newest frame for the screen, freeing older ones.
void present(bool presenter) {
    if (presenter) benchmark::DoNotOptimize(take_frame_for_display());
}

// Whether the last pass completed a frame (true) or gave its slot back (false); a pass that did
// otherwise than the benchmark expects would make its figure that of the other kind of pass.
void check_pass(benchmark::State& state, bool expect_frame) {
    const FrameExchange& exchange = frame_exchange();
    const int64_t latest = exchange.latest_frame_serial.load();
    bool built = false;
    for (const DisplayFrame& slot : exchange.slots) {
        const int32_t slot_state = slot.state.load();
        built = built || (slot.serial.load() == latest &&
                          (slot_state == frame_ready || slot_state == frame_on_screen));
    }
    if (built != expect_frame) {
        state.SkipWithError(expect_frame ? "the pass built no frame" : "the pass built a frame");
    }
}

// Writes one of two countdown texts straight into the visible page's cells.
void write_countdown(int32_t which) {
    static constexpr char texts[2][countdown_cells + 1] = {"  29:41.533", "  29:41.500"};
    Image& page = *visible_image();
    TextCell* cell = &page.cells[(countdown_row - 1) * page.width + (countdown_column - 1)];
    for (int32_t k = 0; k < countdown_cells; ++k) {
        cell[k].character = static_cast<uint8_t>(texts[which][k]);
    }
}

void build_frame_full_pass(benchmark::State& state) {
    prepare_turn_screen();
    const AllocationWatch watch;
    for (auto _ : state) {
        invalidate_frame_comparison();
        build_frame();
        present(true);
    }
    watch.report(state);
    check_pass(state, true);
}
BENCHMARK(build_frame_full_pass);

void countdown_changed_passes(benchmark::State& state, bool presenter) {
    prepare_turn_screen();
    int32_t which = 0;
    const AllocationWatch watch;
    for (auto _ : state) {
        which ^= 1;
        write_countdown(which);
        build_frame();
        present(presenter);
    }
    watch.report(state);
    which ^= 1;
    write_countdown(which);
    build_frame();
    check_pass(state, true);
}

void build_frame_countdown_changed(benchmark::State& state) {
    countdown_changed_passes(state, true);
}
BENCHMARK(build_frame_countdown_changed);

void build_frame_countdown_changed_window_behind(benchmark::State& state) {
    countdown_changed_passes(state, false);
}
BENCHMARK(build_frame_countdown_changed_window_behind);

void build_frame_nothing_changed(benchmark::State& state) {
    prepare_turn_screen();
    build_frame();
    present(true);
    const AllocationWatch watch;
    for (auto _ : state) {
        build_frame();
        present(true);
    }
    watch.report(state);
    check_pass(state, false);
}
BENCHMARK(build_frame_nothing_changed);

void build_frame_blink_phase(benchmark::State& state) {
    prepare_turn_screen();
    const AllocationWatch watch;
    for (auto _ : state) {
        frame_exchange().blink_ticks.fetch_add(8);
        build_frame();
        present(true);
    }
    watch.report(state);
    check_pass(state, true);
}
BENCHMARK(build_frame_blink_phase);

}  // namespace
