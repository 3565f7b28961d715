#include "runtime/input/low_memory.h"

#include <cstring>
#include <memory>

namespace {

struct LowMemoryState {
    std::unique_ptr<uint8_t[]> block;
    uint32_t data_segment_stack_offset = data_segment_stack_start;
};

LowMemoryState& state() {
    static LowMemoryState the_state;
    return the_state;
}

}  // namespace

uint8_t* low_memory() { return state().block.get(); }

void init_low_memory() {
    LowMemoryState& s = state();
    // The block is allocated once and only re-zeroed afterwards, so pointers into it (text pages,
    // low-memory strings) taken by earlier code never dangle.
    if (!s.block) s.block = std::make_unique<uint8_t[]>(low_memory_size);
    std::memset(s.block.get(), 0, low_memory_size);
    s.data_segment_stack_offset = data_segment_stack_start;
    // An all-zero ring would have its positions outside the slots; start it empty at 30 at once
    // rather than only when the keyboard is sampled.
    s.block[key_buffer_head_offset] = 30;
    s.block[key_buffer_tail_offset] = 30;
}

uint32_t& data_segment_stack_offset() { return state().data_segment_stack_offset; }
