// The clock base, the time of day, the tick count, timer_seconds and limit_rate, all on the fake
// millisecond clock of the fixture (sleeps advance it; nothing really sleeps).
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/errors.h"
#include "runtime/core/signals.h"
#include "runtime/input/clock.h"
#include "runtime/input/low_memory.h"
#include "tests/input/input_fixture.h"

namespace {

class Clock : public FreshInput {
protected:
    // Ties the clock to `seconds_after_midnight` (the second the spin waits for) and moves the
    // fake clock to `ms_after` milliseconds past it.
    void start_at(int64_t seconds_after_midnight, int64_t ms_after = 0) {
        fake_input_platform().wall_seconds = seconds_after_midnight - 1;
        fake_input_platform().wall_reads = 0;
        init_clock_base();
        fake_input_platform().now_ms += ms_after;
    }
    uint32_t tick_bytes() {
        const uint8_t* memory = low_memory();
        return memory[tick_count_offset] | memory[tick_count_offset + 1] << 8 |
               memory[tick_count_offset + 2] << 16 |
               static_cast<uint32_t>(memory[tick_count_offset + 3]) << 24;
    }
};

TEST_F(Clock, BaseIsTakenWhenTheWallSecondChangesWithoutSleeping) {
    FakeInputPlatform& fake = fake_input_platform();
    fake.wall_seconds = 3'600 * 7 + 59;  // 07:00:59, turning 07:01:00 on the fourth read
    fake.now_ms = 123'456;
    init_clock_base();
    EXPECT_EQ(fake.wall_reads, 4);
    EXPECT_TRUE(fake.sleeps_ms.empty());
    EXPECT_EQ(clock_ms(), 0);
    EXPECT_EQ(clock_base().start_time_of_day_ms, 25'260'000u);
    fake.now_ms += 1'500;
    EXPECT_EQ(clock_ms(), 1'500);
    EXPECT_EQ(time_of_day_ms(), 25'261'500u);
}

TEST_F(Clock, UnreadableWallClockGivesMidnightWithoutWaiting) {
    FakeInputPlatform& fake = fake_input_platform();
    fake.wall_seconds = -1;
    init_clock_base();
    EXPECT_EQ(fake.wall_reads, 1);
    EXPECT_EQ(clock_base().start_time_of_day_ms, 0u);
    EXPECT_EQ(time_of_day_ms(), 0u);
}

TEST_F(Clock, TimeOfDayUsesUnsignedArithmeticAndWrapsAtMidnight) {
    struct Case {
        uint32_t now_ms;
        ClockBase base;
        uint32_t expected;
    };
    const Case cases[] = {
        {1'000, {1'000, 43'200'000}, 43'200'000},           // noon
        {1'001, {1'000, 86'399'999}, 0},                    // one ms after the last of the day
        {0x100, {0xFFFF'FF00u, 1'000}, 1'512},              // the 32-bit clock wrapped
        {5'000, {1'000, 86'398'000}, 2'000},                // past midnight
    };
    for (const Case& c : cases) {
        EXPECT_EQ(time_of_day_at(c.now_ms, c.base), c.expected) << c.now_ms;
    }
}

TEST_F(Clock, TickCountAtNoonAndAroundMidnight) {
    struct Case {
        int64_t seconds, ms_after;
        uint32_t ticks;  // trunc(time of day in ms x 0.0182)
    };
    const Case cases[] = {
        {43'200, 0, 786'240},       // 12:00:00
        {86'399, 999, 1'572'479},   // the last ms of the day: the largest count
        {86'399, 1'000, 0},         // midnight
        {1, 55, 19},                // 1,055 ms = 19.201 ticks
    };
    for (const Case& c : cases) {
        init_low_memory();
        low_memory()[tick_count_offset + 3] = 0xAA;  // never written
        start_at(c.seconds, c.ms_after);
        write_tick_count();
        EXPECT_EQ(tick_bytes(), c.ticks | 0xAA00'0000u) << c.seconds << "+" << c.ms_after;
    }
}

TEST_F(Clock, TimerWithoutAccuracyIsInTicksAndSinglePrecision) {
    start_at(12'345, 678);
    // 12,345.678 x 18.2 = 224,691.3396 -> 224,691 ticks; / 18.2 = 12,345.65934..., as a float.
    EXPECT_EQ(timer_seconds(0, false), 12345.6591796875);
}

TEST_F(Clock, TimerWithMillisecondAccuracy) {
    start_at(12'345, 678);
    const double first = timer_seconds(0.001, true);
    EXPECT_DOUBLE_EQ(first, 12345.678);
    fake_input_platform().now_ms += 250;
    EXPECT_NEAR(timer_seconds(0.001, true) - first, 0.25, 1e-9);
}

TEST_F(Clock, TimerDropsToZeroAtMidnight) {
    start_at(86'399, 999);
    EXPECT_DOUBLE_EQ(timer_seconds(0.001, true), 86'399.999);
    fake_input_platform().now_ms += 1;
    EXPECT_EQ(timer_seconds(0.001, true), 0.0);
}

TEST_F(Clock, TimerRoundsTiesToEven) {
    struct Case {
        uint32_t time_of_day_ms;
        double accuracy, expected;
    };
    const Case cases[] = {
        {1'250, 0.5, 1.0},   // 2.5 steps -> 2
        {1'750, 0.5, 2.0},   // 3.5 steps -> 4
        {1'200, 0.5, 1.0},   // 2.4 steps -> 2
        {2'000, 4.0, 0.0},   // 0.5 steps -> 0
        {6'000, 4.0, 8.0},   // 1.5 steps -> 2
    };
    for (const Case& c : cases) {
        EXPECT_EQ(timer_seconds_at(c.time_of_day_ms, c.accuracy, true), c.expected)
            << c.time_of_day_ms << " ms at accuracy " << c.accuracy;
    }
}

TEST_F(Clock, TimerWithATinyAccuracyKeepsTheTime) {
    start_at(12'345, 678);
    // Steps of 1e-300 s: the product is far beyond any integer type.
    EXPECT_DOUBLE_EQ(timer_seconds(1e-300, true), 12345.678);
    EXPECT_EQ(pending_error(), 0u);
}

TEST_F(Clock, TimerRefusesAnAccuracyOfZeroOrLessOrNotFinite) {
    start_at(100);
    for (const double accuracy : {0.0, -0.5, std::nan(""), HUGE_VAL}) {
        reset_error_state();
        EXPECT_EQ(timer_seconds(accuracy, true), 0.0);
        EXPECT_EQ(pending_error(), 5u) << accuracy;
    }
    // While an error is pending every call gives 0.
    EXPECT_EQ(timer_seconds(0.001, true), 0.0);
}

TEST_F(Clock, RateStepDecisions) {
    struct Case {
        const char* name;
        double now, mark, interval;
        RateStep expected;
    };
    const double third = 1000.0 / 30;
    const Case cases[] = {
        {"first call sets the mark", 500, 0, third, {true, 500, 0, false}},
        {"mark ahead of the clock", 500, 600, third, {true, 500, 0, false}},
        {"exactly one interval", 600, 500, 100, {true, 600, 0, false}},
        {"short wait", 592, 500, 100, {false, 500, 8, false}},
        {"wait below 1 ms is 1 ms", 533, 500, third, {false, 500, 1, false}},
        {"long wait in 9 ms steps", 500, 500, 100, {false, 500, 9, true}},
        {"wait of 10 ms is cut", 590 - 0.5, 500, 100, {false, 500, 9, true}},
        {"late by 32 keeps the cadence", 632, 500, 100, {true, 600, 0, false}},
        {"late by more restarts", 632.5, 500, 100, {true, 632.5, 0, false}},
    };
    for (const Case& c : cases) {
        const RateStep step = decide_rate_step(c.now, c.mark, c.interval);
        EXPECT_EQ(step.done, c.expected.done) << c.name;
        EXPECT_EQ(step.new_mark_ms, c.expected.new_mark_ms) << c.name;
        EXPECT_EQ(step.sleep_ms, c.expected.sleep_ms) << c.name;
        EXPECT_EQ(step.check_after, c.expected.check_after) << c.name;
    }
}

TEST_F(Clock, ThirtyCallsAtThirtyASecondSpanExactlyOneSecond) {
    start_at(100, 1'000);
    limit_rate(30);  // only sets the mark
    const double first_mark = rate_mark_ms();
    EXPECT_EQ(first_mark, 1'000.0);
    EXPECT_TRUE(fake_input_platform().sleeps_ms.empty());
    for (int call = 1; call <= 30; ++call) {
        limit_rate(30);
        // Each call returns as soon as the clock reaches the next mark.
        ASSERT_NEAR(rate_mark_ms(), first_mark + call * (1000.0 / 30), 1e-9) << call;
        ASSERT_GE(static_cast<double>(clock_ms()) + 1e-9, rate_mark_ms()) << call;
        ASSERT_LT(static_cast<double>(clock_ms()), rate_mark_ms() + 1) << call;
    }
    EXPECT_NEAR(rate_mark_ms() - first_mark, 1'000.0, 1e-9);
}

TEST_F(Clock, LateCallsCatchUpOrRestart) {
    struct Case {
        int64_t late_ms;
        double expected_mark_after;  // relative to the first mark
    };
    const Case cases[] = {
        {40, 1000.0 / 30},  // within 32 ms of the interval: the cadence is kept
        {70, 70},           // further behind: the cadence restarts from now
    };
    for (const Case& c : cases) {
        reset_rate_mark();
        start_at(100, 1'000);
        limit_rate(30);
        const double first_mark = rate_mark_ms();
        fake_input_platform().sleeps_ms.clear();
        fake_input_platform().now_ms += c.late_ms;
        limit_rate(30);
        EXPECT_TRUE(fake_input_platform().sleeps_ms.empty()) << c.late_ms;
        EXPECT_NEAR(rate_mark_ms() - first_mark, c.expected_mark_after, 1e-9) << c.late_ms;
    }
}

TEST_F(Clock, RatesOfZeroAndBelowOneAMinuteRaiseError5WithoutWaiting) {
    start_at(100, 1'000);
    limit_rate(30);
    for (const double rate : {0.0, -1.0, 0.01}) {
        reset_error_state();
        limit_rate(rate);
        EXPECT_EQ(pending_error(), 5u) << rate;
        EXPECT_TRUE(fake_input_platform().sleeps_ms.empty()) << rate;
        EXPECT_EQ(rate_mark_ms(), 1'000.0) << rate;
    }
}

TEST_F(Clock, LongWaitsCheckTheStatementBoundaryAfterEachNineMilliseconds) {
    start_at(100, 1'000);
    limit_rate(1);  // mark
    runtime_signals().event_pending = 1;
    limit_rate(1);
    const std::vector<int32_t>& sleeps = fake_input_platform().sleeps_ms;
    ASSERT_FALSE(sleeps.empty());
    for (size_t i = 0; i + 1 < sleeps.size(); ++i) ASSERT_EQ(sleeps[i], 9) << i;
    EXPECT_EQ(clock_ms(), 2'000);
    // The statement check cleared the event flag.
    EXPECT_EQ(runtime_signals().event_pending.load(), 0);

    // A short wait (one sleep of at most 9 ms) has no statement check.
    fake_input_platform().now_ms += 1'000 - 5;
    runtime_signals().event_pending = 1;
    limit_rate(1);
    EXPECT_EQ(runtime_signals().event_pending.load(), 1);
}

TEST_F(Clock, StopRequestDuringAWaitParksWithinNineMilliseconds) {
    start_at(100, 1'000);
    limit_rate(1);
    fake_input_platform().on_sleep = [](FakeInputPlatform& fake) {
        (void)fake;
        if (clock_ms() >= 1'300) runtime_signals().stop_requested = 1;
    };
    try {
        limit_rate(1);
        FAIL() << "limit_rate returned despite the stop request";
    } catch (const ProgramParked&) {
        // The request came with the sleep ending at 1,306 ms (9 ms steps from 1,000 ms); the
        // statement check right after it parked, and the park's first 16 ms sleep ends the test.
        EXPECT_EQ(clock_ms(), 1'306 + 16);
    }
}

}  // namespace
