// The keystroke ring and the key-hit queue, first single-threaded (fill, drain, overflow, wrap),
// then one producer and one consumer.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/errors.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/low_memory.h"
#include "tests/input/input_fixture.h"

namespace {

using KeyQueue = FreshInput;

TEST_F(KeyQueue, NothingTypedGivesEmptyStringAndZero) {
    EXPECT_EQ(next_keystroke(), "");
    EXPECT_EQ(read_key_hit(), 0);
}

TEST_F(KeyQueue, KeystrokesComeBackAsOneOrTwoCharacterStrings) {
    struct Case {
        uint8_t character, scan;
        std::string expected;
    };
    const Case cases[] = {
        {'a', 0x1E, "a"},                   // a character key
        {0, 0x48, std::string("\0\x48", 2)},  // Up: 0 and the scan code
        {0, 0, std::string("\0", 1)},       // the character 0: one byte holding 0
        {13, 0x1C, "\r"},
    };
    for (const Case& c : cases) key_buffer_append(c.character, c.scan);
    for (const Case& c : cases) EXPECT_EQ(next_keystroke(), c.expected) << int(c.scan);
    EXPECT_EQ(next_keystroke(), "");
}

TEST_F(KeyQueue, ReadKeyYieldsTheTimeSliceOnEveryCall) {
    next_keystroke();
    key_buffer_append('x', 0x2D);
    next_keystroke();
    EXPECT_EQ(fake_input_platform().sleeps_ms, (std::vector<int32_t>{0, 0}));
}

TEST_F(KeyQueue, SixteenKeysWithoutReadingLoseTheSixteenth) {
    for (int i = 0; i < 16; ++i) key_buffer_append(static_cast<uint8_t>('a' + i), 0x10);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(next_keystroke(), std::string(1, char('a' + i)));
    EXPECT_EQ(next_keystroke(), "");
}

TEST_F(KeyQueue, PositionsWrapFromSixtyToThirty) {
    EXPECT_EQ(key_buffer_head(), 30);
    EXPECT_EQ(key_buffer_tail(), 30);
    std::vector<int> tails;
    for (int i = 0; i < 30; ++i) {
        key_buffer_append(static_cast<uint8_t>('A' + i), 0x20);
        tails.push_back(key_buffer_tail());
        ASSERT_EQ(next_keystroke(), std::string(1, char('A' + i))) << "key " << i;
        ASSERT_EQ(key_buffer_head(), key_buffer_tail());
    }
    // Positions advance by 2 from 30 through the 16 slots; 62 is never stored, 60 is followed
    // by 30.
    for (int i = 0; i < 30; ++i) EXPECT_EQ(tails[i], 30 + 2 * ((i + 1) % 16)) << "key " << i;
    EXPECT_EQ(tails[14], 60);
    EXPECT_EQ(tails[15], 30);
    // Only the low byte of each position word is used.
    EXPECT_EQ(low_memory()[key_buffer_head_offset + 1], 0);
    EXPECT_EQ(low_memory()[key_buffer_tail_offset + 1], 0);
}

TEST_F(KeyQueue, PendingErrorGivesEmptyStringAndLeavesTheRing) {
    key_buffer_append('q', 0x10);
    raise_error(error_illegal_function_call);
    EXPECT_EQ(next_keystroke(), "");
    reset_error_state();
    EXPECT_EQ(next_keystroke(), "q");
}

TEST_F(KeyQueue, HitsComeBackInOrderWithTheirSigns) {
    key_hit_append(97, 0);
    key_hit_append(-97, 0);
    key_hit_append(18432, 1);  // the keypad flag is not part of the hit
    EXPECT_EQ(drain_key_hits(), (std::vector<int32_t>{97, -97, 18432}));
}

TEST_F(KeyQueue, FullHitQueueDropsItsOldestHit) {
    for (int32_t i = 1; i <= 8'192; ++i) key_hit_append(i, 0);
    const std::vector<int32_t> hits = drain_key_hits();
    ASSERT_EQ(hits.size(), 8'191u);
    EXPECT_EQ(hits.front(), 2);
    EXPECT_EQ(hits.back(), 8'192);
    for (size_t i = 0; i < hits.size(); ++i) ASSERT_EQ(hits[i], static_cast<int32_t>(i) + 2);
}

TEST_F(KeyQueue, StartUpEmptyingLeavesNothing) {
    key_buffer_append('a', 0x1E);
    key_hit_append(97, 0);
    empty_key_queues();
    EXPECT_EQ(next_keystroke(), "");
    EXPECT_EQ(read_key_hit(), 0);
    EXPECT_EQ(key_buffer_head(), 30);
}

// The window thread presses and releases a fixed run of letters while the program thread reads
// both queues. The producer waits for room in the ring (the handshake), so nothing is dropped and
// both sides must see every key in order.
TEST_F(KeyQueue, OneProducerOneConsumerSeeEveryKeyInOrder) {
    constexpr int key_count = 3'000;  // 6,000 hits: fewer than the hit queue holds
    auto letter = [](int i) { return static_cast<char>('a' + i % 26); };
    auto ring_full = [] {
        const int next = key_buffer_tail() + 2 == 62 ? 30 : key_buffer_tail() + 2;
        return next == key_buffer_head();
    };

    std::thread producer([&] {
        for (int i = 0; i < key_count; ++i) {
            while (ring_full()) std::this_thread::yield();
            on_character_key(static_cast<unsigned char>(letter(i)), true);
            on_character_key(static_cast<unsigned char>(letter(i)), false);
        }
    });

    std::string typed;
    std::vector<int32_t> hits;
    while (typed.size() < static_cast<size_t>(key_count) || hits.size() < 2u * key_count) {
        typed += next_keystroke();
        for (int32_t hit = read_key_hit(); hit != 0; hit = read_key_hit()) hits.push_back(hit);
        std::this_thread::yield();
    }
    producer.join();

    ASSERT_EQ(typed.size(), static_cast<size_t>(key_count));
    for (int i = 0; i < key_count; ++i) {
        ASSERT_EQ(typed[i], letter(i)) << "keystroke " << i;
        ASSERT_EQ(hits[2 * i], letter(i)) << "press " << i;
        ASSERT_EQ(hits[2 * i + 1], -letter(i)) << "release " << i;
    }
    EXPECT_EQ(next_keystroke(), "");
    EXPECT_EQ(read_key_hit(), 0);
}

}  // namespace
