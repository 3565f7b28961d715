#include "runtime/core/local_arena.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "runtime/input/low_memory.h"
#include "tests/core/fake_seams.h"

namespace {

class LocalArenaTest : public ::testing::Test {
protected:
    LocalArenaTest() {
        init_low_memory();
        init_local_arena();
    }
    FakePlatformScope fakes;
    const LocalArena& arena = local_arena();
};

TEST_F(LocalArenaTest, RequestsAreRoundedToEightBytesAtTheCursor) {
    uint8_t* start = arena.base;
    EXPECT_EQ(local_alloc(1), start);
    EXPECT_EQ(local_alloc(8), start + 8);
    EXPECT_EQ(local_alloc(9), start + 16);
    EXPECT_EQ(arena.cursor, start + 32);
    EXPECT_EQ(local_alloc(0), start + 32);
    EXPECT_EQ(arena.cursor, start + 32);
}

TEST_F(LocalArenaTest, ARequestReachingTheEndStartsABlockOfTwiceTheSizePlusTheRequest) {
    uint8_t* first = arena.base;
    local_alloc(local_arena_initial_size - 16);
    EXPECT_EQ(arena.base, first);
    // 16 bytes are left; a request of 16 would reach the end exactly.
    void* taken = local_alloc(16);
    EXPECT_NE(arena.base, first);
    EXPECT_EQ(taken, arena.base);
    EXPECT_EQ(arena.block_size, 2 * local_arena_initial_size + 16);
    EXPECT_EQ(arena.cursor, arena.base + 16);
}

TEST_F(LocalArenaTest, LeavingPutsTheCursorAndStackOffsetBack) {
    local_alloc(64);
    const LocalMark mark = local_enter();
    local_alloc(128);
    data_segment_stack_offset() = 100;
    local_leave(mark);
    EXPECT_EQ(arena.cursor, mark.cursor);
    EXPECT_EQ(data_segment_stack_offset(), data_segment_stack_start);

    // A mark from an older block cannot be used: the cursor goes to the new block's start.
    const LocalMark old_mark = local_enter();
    local_alloc(local_arena_initial_size);
    local_alloc(64);
    local_leave(old_mark);
    EXPECT_EQ(arena.cursor, arena.base);
}

TEST_F(LocalArenaTest, ABlockThatCannotBeHadIsCriticalErrorFiveHundredFour) {
    set_local_block_allocator([](size_t) -> void* { return nullptr; });
    int status = -1;
    try {
        local_alloc(local_arena_initial_size);
    } catch (const ProcessExited& exited) {
        status = exited.status;
    }
    set_local_block_allocator(nullptr);
    EXPECT_EQ(status, 1);
    ASSERT_EQ(fake_platform().boxes.size(), 1u);
    EXPECT_EQ(fake_platform().boxes[0].caption, "Critical Error #4");
    EXPECT_EQ(fake_platform().boxes[0].text, "Out of memory");
}

}  // namespace
