// The machine's own limits, measured in the same run as the runtime's passes so that every
// figure of the runtime can be given as a multiple of one of them: copying one 640x400 frame of
// 32-bit pixels (between two buffers, and among three as the frame slots are), filling it, and
// drawing the 2,000 cells of an 80x25 page with the plainest per-pixel loop.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/allocation_count.h"
#include "bench/bench_runtime.h"
#include "runtime/display/palette.h"
#include "runtime/display/render.h"
#include "runtime/text/screen.h"

namespace {

constexpr int32_t frame_width = 640;
constexpr int32_t frame_height = 400;
constexpr size_t frame_pixels = static_cast<size_t>(frame_width) * frame_height;
static_assert(frame_pixels * 4 == 1'024'000);

void limit_frame_copy(benchmark::State& state) {
    std::vector<uint32_t> source(frame_pixels, 0xFF555555u);
    std::vector<uint32_t> destination(frame_pixels, 0);
    const AllocationWatch watch;
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), frame_pixels * 4);
        benchmark::ClobberMemory();
    }
    watch.report(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * frame_pixels * 4);
}
BENCHMARK(limit_frame_copy);

// The same copy as the builder meets it: three frame buffers in turn, each new one copied from
// the one before, so that 3 MB pass through the caches instead of 2 MB.
void limit_frame_copy_three_buffers(benchmark::State& state) {
    std::vector<std::vector<uint32_t>> buffers(3, std::vector<uint32_t>(frame_pixels, 0xFF555555u));
    size_t next = 0;
    const AllocationWatch watch;
    for (auto _ : state) {
        const size_t previous = (next + 2) % 3;
        std::memcpy(buffers[next].data(), buffers[previous].data(), frame_pixels * 4);
        benchmark::ClobberMemory();
        next = (next + 1) % 3;
    }
    watch.report(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * frame_pixels * 4);
}
BENCHMARK(limit_frame_copy_three_buffers);

void limit_frame_fill(benchmark::State& state) {
    std::vector<uint32_t> frame(frame_pixels, 0);
    uint32_t colour = 0xFF000000u;
    const AllocationWatch watch;
    for (auto _ : state) {
        // A count known at compile time lets the compiler store whole vectors, as a fill at the
        // machine's limit should.
        std::fill_n(frame.data(), frame_pixels, colour);
        benchmark::ClobberMemory();
        ++colour;
    }
    watch.report(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * frame_pixels * 4);
}
BENCHMARK(limit_frame_fill);

// Every cell of the page drawn pixel by pixel from the expanded glyph table, without any of the
// runtime's bookkeeping: no comparison, no cursor, no blink.
void draw_page_plainly(const Image& page, uint32_t* frame) {
    const auto& glyphs = glyph_table_8x16();
    const auto& palette = default_palette();
    for (int32_t row = 0; row < 25; ++row) {
        for (int32_t column = 0; column < 80; ++column) {
            const TextCell cell = page.cells[row * 80 + column];
            const uint32_t foreground = palette[cell.attribute & 0x0F];
            const uint32_t background = palette[(cell.attribute >> 4) & 0x07];
            const uint8_t* glyph = &glyphs[static_cast<size_t>(cell.character) * 16 * 8];
            uint32_t* pixel = &frame[static_cast<size_t>(row) * 16 * frame_width + column * 8];
            for (int32_t y = 0; y < 16; ++y) {
                for (int32_t x = 0; x < 8; ++x) {
                    pixel[x] = glyph[y * 8 + x] != 0 ? foreground : background;
                }
                pixel += frame_width;
            }
        }
    }
}

void limit_glyph_loop(benchmark::State& state) {
    fresh_bench_runtime();
    draw_turn_screen(2);
    const Image& page = *visible_image();
    std::vector<uint32_t> frame(frame_pixels, 0);
    const AllocationWatch watch;
    for (auto _ : state) {
        draw_page_plainly(page, frame.data());
        benchmark::ClobberMemory();
    }
    watch.report(state);
    state.counters["cells"] = 2000;
}
BENCHMARK(limit_glyph_loop);

}  // namespace
