// Start-up order, the housekeeping cycle, the shutdown and the timer-event check, run on the
// test thread with fake seams and hooks that record what they were asked to do.
#include "runtime/core/runtime.h"

#include <gtest/gtest.h>

#include <csignal>

#include <string>
#include <vector>

#include "runtime/core/local_arena.h"
#include "runtime/input/low_memory.h"
#include "tests/core/fake_seams.h"

namespace {

std::vector<std::string>& calls() {
    static std::vector<std::string> the_calls;
    return the_calls;
}

void record_tick() { calls().push_back("tick"); }
void record_frame() { calls().push_back("frame"); }
void record_locks() { calls().push_back("locks"); }
void record_files() { calls().push_back("files"); }
void never_run_game() { calls().push_back("game"); }
int64_t clock_zero() { return 0; }

constexpr WorkerHooks recording_hooks{never_run_game, record_tick,  record_frame,
                                      record_locks,   clock_zero,   record_files};

class HousekeepingTest : public ::testing::Test {
protected:
    HousekeepingTest() { calls().clear(); }
    FakePlatformScope fakes;
    FakePlatform& fake = fake_platform();
    RuntimeSignals& signals = runtime_signals();
    HousekeepingState state;

    int run_until_exit(int max_cycles) {
        for (int i = 0; i < max_cycles; ++i) {
            try {
                run_housekeeping_cycle(state, recording_hooks);
            } catch (const ProcessExited& exited) {
                return exited.status;
            }
        }
        return -1;
    }
};

TEST_F(HousekeepingTest, CyclesAlternateFrameBuildingAndLockKeysAfterTheTick) {
    for (int i = 0; i < 4; ++i) run_housekeeping_cycle(state, recording_hooks);
    EXPECT_EQ(calls(), (std::vector<std::string>{"tick", "frame", "tick", "locks", "tick", "frame",
                                                 "tick", "locks"}));
    EXPECT_EQ(fake.sleeps_ms, (std::vector<int32_t>{15, 1, 15, 1, 15, 1, 15, 1}));
    EXPECT_EQ(signals.stop_requested, 0);
}

TEST_F(HousekeepingTest, CloseRequestShutsDownBeforeTheTickWithStatusZero) {
    run_housekeeping_cycle(state, recording_hooks);
    request_close();
    signals.threads_stopped = 3;
    calls().clear();
    fake.sleeps_ms.clear();
    EXPECT_EQ(run_until_exit(1), 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"files"}));
    EXPECT_TRUE(fake.sleeps_ms.empty());
    EXPECT_EQ(signals.stop_requested, 1);
    EXPECT_EQ(signals.event_pending, 1);
}

TEST_F(HousekeepingTest, ExitNowShutsDownAfterTheSleepsOfTheSameCycle) {
    signals.exit_now = 1;
    signals.threads_stopped = 3;
    EXPECT_EQ(run_until_exit(1), 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"tick", "files"}));
    EXPECT_EQ(fake.sleeps_ms, (std::vector<int32_t>{15, 1}));
}

// Both seen in one cycle: the first shutdown ends the process, so there is no second.
TEST_F(HousekeepingTest, ExitNowAndCloseInOneCycleGiveOneShutdown) {
    signals.exit_now = 1;
    request_close();
    signals.threads_stopped = 3;
    EXPECT_EQ(run_until_exit(3), 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"files"}));
}

TEST_F(HousekeepingTest, ShutdownWaitsInSixteenMillisecondStepsForBothThreads) {
    signals.exit_now = 1;
    fake.on_sleep = [](FakePlatform& f) {
        RuntimeSignals& s = runtime_signals();
        if (s.stop_requested == 0) return;
        const size_t waits = f.sleeps_ms.size() - 2;  // after the cycle's own 15 + 1
        if (waits == 2) s.threads_stopped.fetch_or(1u);  // the program thread parks
        if (waits == 4) s.threads_stopped.fetch_or(2u);  // the timer-event thread ends
    };
    EXPECT_EQ(run_until_exit(1), 0);
    EXPECT_EQ(fake.sleeps_ms, (std::vector<int32_t>{15, 1, 16, 16, 16, 16}));
    EXPECT_EQ(calls(), (std::vector<std::string>{"tick", "files"}));
}

TEST(ProgramThread, DivisionByZeroHandlerShowsItsBoxAndExitsOne) {
    FakePlatformScope fakes;
    int status = -1;
    try {
        on_floating_point_exception(SIGFPE);
    } catch (const ProcessExited& exited) {
        status = exited.status;
    }
    EXPECT_EQ(status, 1);
    ASSERT_EQ(fake_platform().boxes.size(), 1u);
    EXPECT_EQ(fake_platform().boxes[0].caption, "Critical Error");
    EXPECT_EQ(fake_platform().boxes[0].text, "Division by zero");
    EXPECT_EQ(fake_platform().boxes[0].kind, platform::BoxKind::ok);
}

void returning_game() { calls().push_back("game"); }

TEST(ProgramThread, AProgramThatReturnsEndsTheRuntimeAndParks) {
    FakePlatformScope fakes;
    calls().clear();
    fake_platform().sleep_budget_ms = 64;
    EXPECT_THROW(run_program_thread(returning_game), SleptTooLong);
    signal(SIGFPE, SIG_DFL);
    EXPECT_EQ(calls(), (std::vector<std::string>{"game"}));
    EXPECT_EQ(runtime_signals().exit_now, 1);
    EXPECT_EQ(runtime_signals().threads_stopped, 1u);
}

TEST(TimerEvents, AnEntryNotSwitchedOnNeverFalls) {
    TimerEvent unused;
    unused.interval_s = 1;
    for (double t : {0.0, 5.0, 100.0}) EXPECT_FALSE(check_timer_event(unused, t));
    TimerEvent disabled{true, true, false, false, false, 1, 0};
    EXPECT_FALSE(check_timer_event(disabled, 100));
}

TEST(TimerEvents, FirstCheckStartsTheCountThenEachIntervalFallsOnce) {
    TimerEvent e{true, true, true, false, false, 2.0, 0};
    EXPECT_FALSE(check_timer_event(e, 10.0));  // starts counting at 10
    EXPECT_EQ(e.last_fired_s, 10.0);
    EXPECT_FALSE(check_timer_event(e, 12.0));  // exactly one interval: not yet
    EXPECT_TRUE(check_timer_event(e, 12.5));
    EXPECT_EQ(e.last_fired_s, 12.0);  // advanced by one interval, keeping the cadence
    EXPECT_FALSE(check_timer_event(e, 20.0));  // pending until handled
    e.pending = false;
    EXPECT_TRUE(check_timer_event(e, 20.0));
    EXPECT_EQ(e.last_fired_s, 20.0);  // fell far behind: restarts from now
}

TEST(TimerEvents, TheThreadEndsOnStopAndReportsIt) {
    FakePlatformScope fakes;
    runtime_signals().stop_requested = 1;
    timer_event_entry() = TimerEvent{};
    run_timer_events(clock_zero);
    EXPECT_EQ(runtime_signals().threads_stopped, 2u);
    EXPECT_EQ(runtime_signals().event_pending, 0);
    EXPECT_EQ(fake_platform().sleeps_ms, (std::vector<int32_t>{1}));
}

void record_frames_reset() { calls().push_back("reset_frame_slots"); }
void record_image_table() { calls().push_back("init_image_table"); }
void record_low_memory() {
    calls().push_back("init_low_memory");
    init_low_memory();
}
void record_clock() { calls().push_back("init_clock_base"); }
void record_keyboard() { calls().push_back("sample_keyboard"); }
void record_fonts() { calls().push_back("load_palettes_and_fonts"); }
void record_screen() { calls().push_back("set_screen_mode"); }
void record_threads(const WorkerHooks& hooks) {
    calls().push_back(hooks.run_game == never_run_game ? "start_threads" : "start_other_threads");
}

TEST(Startup, StepsRunInOrderAndRecordTheResults) {
    FakePlatformScope fakes;
    calls().clear();
    std::string cwd_before;
    ASSERT_TRUE(platform::current_directory(cwd_before));
    const StartupSteps steps{record_frames_reset, record_image_table, record_low_memory,
                             record_clock,        record_keyboard,    record_fonts,
                             record_screen,       record_threads};
    char program[] = "/somewhere/tarrowgate";
    char first[] = "one";
    char second[] = "two  words";
    char* argv[] = {program, first, second, nullptr};
    run_startup(steps, recording_hooks, 3, argv);

    EXPECT_EQ(calls(), (std::vector<std::string>{"reset_frame_slots", "init_image_table",
                                                 "init_low_memory", "init_clock_base",
                                                 "sample_keyboard", "load_palettes_and_fonts",
                                                 "set_screen_mode", "start_threads"}));
    EXPECT_EQ(string_view_of(command_line()), "one two  words");
    EXPECT_EQ(string_view_of(launch_directory()), cwd_before);
    const std::string exe = platform::executable_path();
    EXPECT_EQ(string_view_of(program_directory()), exe.substr(0, exe.rfind('/')));
    EXPECT_EQ(program_argument_count(), 3);
    EXPECT_EQ(program_arguments(), argv);
    EXPECT_EQ(key_trap_code(1), 0x3B00);
    EXPECT_EQ(key_trap_code(10), 0x4400);
    EXPECT_EQ(key_trap_code(13), 0x4D00);
    EXPECT_EQ(key_trap_code(31), 0x8600);
    EXPECT_EQ(key_trap_code(15), 0);
    EXPECT_GT(environment_count(), 0);
    EXPECT_EQ(local_arena().block_size, local_arena_initial_size);
    EXPECT_FALSE(error_pending());
    platform::change_directory(cwd_before);
}

TEST(Startup, CommandLineIsEmptyWithoutArguments) {
    init_string_state();
    char program[] = "tarrowgate";
    char* argv[] = {program, nullptr};
    EXPECT_EQ(join_arguments(1, argv)->length, 0);
    EXPECT_EQ(join_arguments(0, argv)->length, 0);
}

}  // namespace
