#include "runtime/core/local_arena.h"

#include <cstdlib>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/input/low_memory.h"
#include "runtime/platform/platform.h"

namespace {

constexpr int32_t error_local_storage_full = 504;

struct ArenaState {
    LocalArena arena;
    LocalBlockAllocator allocate = nullptr;
    // Every block stays for the life of the process (earlier locals may live in it); kept here so
    // that none is ever unreachable.
    std::vector<void*> blocks;
};

ArenaState& state() {
    // Never destroyed: the blocks must stay reachable until the process has ended.
    static ArenaState* the_state = new ArenaState;
    return *the_state;
}

uint8_t* new_block(size_t bytes) {
    const LocalBlockAllocator allocate = state().allocate;
    void* block = allocate != nullptr ? allocate(bytes) : std::malloc(bytes);
    if (block == nullptr) {
        raise_error(error_local_storage_full);
        platform::exit_process(1);  // raise_error has ended the process already
    }
    state().blocks.push_back(block);
    return static_cast<uint8_t*>(block);
}

void use_block(uint8_t* block, size_t size) {
    LocalArena& arena = state().arena;
    arena.base = block;
    arena.cursor = block;
    arena.end = block + size;
    arena.block_size = size;
}

}  // namespace

void init_local_arena() { use_block(new_block(local_arena_initial_size), local_arena_initial_size); }

const LocalArena& local_arena() { return state().arena; }

void* local_alloc(size_t bytes) {
    LocalArena& arena = state().arena;
    const size_t request = (bytes + 7) & ~size_t{7};
    if (request >= static_cast<size_t>(arena.end - arena.cursor)) {
        const size_t size = 2 * arena.block_size + request;
        use_block(new_block(size), size);
    }
    void* taken = arena.cursor;
    arena.cursor += request;
    return taken;
}

LocalMark local_enter() { return {state().arena.cursor, data_segment_stack_offset()}; }

void local_leave(const LocalMark& mark) {
    LocalArena& arena = state().arena;
    // The remembered cursor may lie in an older block: compare addresses as numbers.
    const auto at = reinterpret_cast<uintptr_t>(mark.cursor);
    const bool in_current_block = at >= reinterpret_cast<uintptr_t>(arena.base) &&
                                  at <= reinterpret_cast<uintptr_t>(arena.end);
    arena.cursor = in_current_block ? mark.cursor : arena.base;
    data_segment_stack_offset() = mark.stack_offset;
}

void set_local_block_allocator(LocalBlockAllocator allocate) { state().allocate = allocate; }
