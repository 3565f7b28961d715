// The runtime's one millisecond clock, tied once at start-up to the local time of day, and what is
// derived from it: the seconds since midnight (timer_seconds), the timer tick count in the
// low-memory block, and the pacing of loops (limit_rate).
//
// Every reading goes through platform::seams(), so a test puts in a fake millisecond source and a
// fake sleep that advances it. The decisions (time of day, tick count, rounding, how long to wait)
// are pure functions over their inputs.
#pragma once

#include <cstdint>

// Elapsed milliseconds since the clock origin (set by init_clock_base; the raw monotonic count
// before that). A monotonic count, not processor time. Any thread.
int64_t clock_ms();

// The clock value at a moment when the local time was exactly a whole second, and that local time
// as milliseconds since midnight. Set once at start-up.
struct ClockBase {
    uint32_t start_clock_ms = 0;
    uint32_t start_time_of_day_ms = 0;
};

// Start-up: takes the clock origin, then spins (no sleeping) until the wall-clock second changes
// and records the clock base from that moment. An unreadable wall clock (negative seconds) gives
// the time 0 without waiting. Called before the worker threads start; tests call it again for a
// fresh clock.
void init_clock_base();
ClockBase clock_base();

inline constexpr uint32_t ms_per_day = 86'400'000;

// Milliseconds since local midnight, 0 to 86,399,999 (unsigned 32-bit arithmetic, then modulo a
// day).
uint32_t time_of_day_ms();
constexpr uint32_t time_of_day_at(uint32_t now_clock_ms, ClockBase base) {
    return (now_clock_ms - base.start_clock_ms + base.start_time_of_day_ms) % ms_per_day;
}

// The PC-style tick count: 18.2 ticks a second (not 18.2065), truncated.
constexpr uint32_t tick_count_at(uint32_t time_of_day_ms) {
    return static_cast<uint32_t>(static_cast<double>(time_of_day_ms) * 0.0182);
}

// The housekeeping thread's tick update: the three low bytes of the tick count, little-endian, at
// low-memory 0x46C..0x46E (0x46F is never written).
void write_tick_count();

// Seconds since local midnight brought to the nearest multiple of `accuracy` (of 1/18.2 s, and
// narrowed to single precision, when none is given). An accuracy <= 0 raises error 5 and gives 0;
// a pending error gives 0.
double timer_seconds(double accuracy, bool accuracy_given);
// The rounding step alone, for a given time of day.
double timer_seconds_at(uint32_t time_of_day_ms, double accuracy, bool accuracy_given);

// Returns once at least 1000 / rate ms have passed since the previous mark, keeping a steady
// cadence over many calls; long waits are cut into 9 ms sleeps with a statement check after each.
// A rate <= 0 or below 1/60 per second raises error 5 and returns without waiting.
void limit_rate(double rate);

// One decision of limit_rate's loop, given the clock `now_ms`, the mark and the interval.
struct RateStep {
    bool done = false;        // return from limit_rate now, with new_mark_ms as the mark
    double new_mark_ms = 0;
    int32_t sleep_ms = 0;     // otherwise sleep this long and look again
    bool check_after = false; // ...and run a statement check after the sleep (long waits)
};
RateStep decide_rate_step(double now_ms, double mark_ms, double interval_ms);

// limit_rate's mark (0 until the first call), and its reset for tests.
double rate_mark_ms();
void reset_rate_mark();
