// A fresh keyboard-and-timing runtime for tests: fake platform seams (a millisecond clock that
// only sleeps advance, a scripted wall clock, scripted key states), zeroed low memory, empty key
// queues, nothing held, no error pending. No thread or window is started.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/platform/platform.h"

// Thrown by the fake sleep once the program thread has parked (bit 0 of threads_stopped), so
// that the endless park comes back to the test.
struct ProgramParked {
    int64_t at_ms;
};
// Thrown by the fake sleep when a test has slept more fake time than its budget: a wait that
// should have ended did not.
struct SleptTooLong {
    int64_t at_ms;
};
// Thrown by the fake process exit.
struct ProcessExited {
    int status;
};

struct FakeInputPlatform {
    int64_t now_ms = 0;               // the monotonic clock; only sleeps move it
    int64_t slept_ms = 0;             // total fake sleep
    int64_t sleep_budget_ms = 60'000;
    std::vector<int32_t> sleeps_ms;
    // The wall clock reads `wall_seconds` for the first `wall_reads_before_tick` reads, then one
    // second more; -1 stands for an unreadable clock. Its seconds count from local midnight.
    int64_t wall_seconds = 0;
    int wall_reads_before_tick = 3;
    int wall_reads = 0;
    platform::KeyStates key_states;
    int message_boxes = 0;
    // Runs after each sleep, on the sleeping thread, with the clock already advanced.
    std::function<void(FakeInputPlatform&)> on_sleep;
};

FakeInputPlatform& fake_input_platform();

// Installs the fakes and makes every input-area state fresh; TearDown puts the real seams back.
class FreshInput : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The string read_key returned, as bytes.
std::string next_keystroke();

// The key hits queued so far, read until the queue is empty.
std::vector<int32_t> drain_key_hits();

// The keystrokes queued so far as (character, scan) pairs, read until the ring is empty.
std::vector<std::pair<int, int>> drain_keystrokes();

// How often Alt+Enter asked for the full-screen cycle since SetUp.
int fullscreen_cycles();
