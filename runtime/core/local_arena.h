// The block from which the game's routines take their local variables.
//
// Requests are rounded up to 8 bytes and taken at the cursor. A request that does not fit starts
// a new block of twice the current size plus the request; the old block stays, since locals of
// the routines still running live in it. A routine remembers the cursor (and the data segment's
// stack offset) on entry and puts them back on return.
#pragma once

#include <cstddef>
#include <cstdint>

struct LocalArena {
    uint8_t* base = nullptr;    // start of the current block
    uint8_t* cursor = nullptr;  // next free byte
    uint8_t* end = nullptr;     // one past the current block
    size_t block_size = 0;
};

inline constexpr size_t local_arena_initial_size = 1'048'576;

// Allocates the first block (start-up); tests call it for a fresh arena (earlier blocks stay
// allocated, as in the running program).
void init_local_arena();
const LocalArena& local_arena();

// `bytes` of local storage, 8-byte aligned; a block that cannot be had raises critical error 504.
void* local_alloc(size_t bytes);

// What a routine remembers on entry.
struct LocalMark {
    uint8_t* cursor = nullptr;
    uint32_t stack_offset = 0;
};
LocalMark local_enter();
// Puts the cursor back if the remembered one lies in the current block, else at the block's
// start; restores the data segment's stack offset.
void local_leave(const LocalMark& mark);

// For tests of the failure path: nullptr puts the C library's malloc back.
using LocalBlockAllocator = void* (*)(size_t bytes);
void set_local_block_allocator(LocalBlockAllocator allocate);
