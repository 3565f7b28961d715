// The slot table and the words the frame builder, the presenter and the program share: the
// display area's own state, open to its two halves (frames.cpp, window.cpp) and to tests.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

enum FrameState : int32_t {
    frame_free = 1,
    frame_building = 2,
    frame_ready = 3,
    frame_on_screen = 4,
};

// One slot.
//
// Invariants: a slot's pixels, width, height and capacity are written only by the builder and
// only while its state is `building`; the presenter reads them only while the state is `ready`
// or `on_screen`, after loading the state. Each state change is made with a compare-exchange
// from the state its side observed, so the builder claiming the oldest ready frame and the
// presenter taking or freeing that same frame cannot both win.
struct DisplayFrame {
    // THREADING: free/ready -> building, building -> ready/free by the builder (housekeeping or
    // program thread); ready -> on_screen, on_screen/ready -> free by the presenter (window
    // thread). Sequentially consistent, so the pixels are published with the state.
    std::atomic<int32_t> state{frame_free};
    // THREADING: written by the builder when it claims the slot; read by both sides.
    std::atomic<int64_t> serial{0};
    std::unique_ptr<uint32_t[]> pixels;  // width x height 0xAARRGGBB words, top row first
    int32_t width = 0;                   // pixels
    int32_t height = 0;
    int32_t capacity = 0;                // bytes allocated for pixels; only grows
};

inline constexpr int32_t frame_slot_count = 3;

// The slot table and the words the builder, the presenter and the program share.
struct FrameExchange {
    std::array<DisplayFrame, frame_slot_count> slots;
    // THREADING: incremented by the builder only (one builder at a time); starts at 1.
    std::atomic<int64_t> next_frame_serial{1};
    // THREADING: written by the builder at the end of every pass that claimed a slot; read by
    // the presenter, which repaints whenever it differs from presented_frame_serial.
    std::atomic<int64_t> latest_frame_serial{0};
    // THREADING: written and read by the presenter (window thread); read by tests.
    std::atomic<int64_t> presented_frame_serial{0};
    // THREADING: 1 automatic (set by set_auto_display on any thread), -1 switch-off requested
    // (display_now, program thread), 0 off (set by the builder at the end of a pass that began
    // after the request). The program thread builds only when it reads 0.
    std::atomic<int32_t> auto_display{1};
    // THREADING: 0 running, 1 pause requested (program thread), 2 paused (builder
    // acknowledges); back to 0 by resume_frame_building on the program thread.
    std::atomic<int32_t> frame_pause{0};
    // THREADING: incremented by the housekeeping thread only; read by the builder.
    std::atomic<int32_t> blink_ticks{0};
};

FrameExchange& frame_exchange();

// 1 while bit 3 of blink_ticks is set: about 0.26 s on, 0.26 s off at the builder's cadence.
constexpr int32_t blink_phase_of(int32_t blink_ticks) { return (blink_ticks >> 3) & 1; }
