// The closing prompt and its wait. end_program runs on its own thread against the fake clock:
// key reports are delivered from the fake sleep at scheduled times, and the fake sleep throws
// once the thread has parked, which brings the never-returning call back to the test.
#include <algorithm>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/signals.h"
#include "runtime/display/frames.h"
#include "runtime/display/private/frame_exchange.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/program_end.h"
#include "runtime/text/cursor.h"
#include "runtime/text/screen.h"
#include "tests/input/input_fixture.h"
#include "tests/support/fresh_text_runtime.h"
#include "tests/support/page_text.h"

namespace {

constexpr int special_up_arrow = 101, special_shift_left = 112, special_alt_left = 116;

struct KeyReport {
    enum Kind { character, special, pause_key, stop_request } kind;
    int value = 0;
    enum Action { press_and_release, press_only, release_only } action = press_and_release;
};

struct Scheduled {
    int64_t after_ms;  // since end_program started
    KeyReport report;
};

enum class Ending { parked, still_waiting };

struct Outcome {
    Ending ending = Ending::still_waiting;
    int polls = 0;  // 100 ms sleeps taken
};

void press_and_release(const KeyReport& report) {
    for (const bool down : {true, false}) {
        if (down && report.action == KeyReport::release_only) continue;
        if (!down && report.action == KeyReport::press_only) continue;
        switch (report.kind) {
        case KeyReport::character:
            on_character_key(static_cast<unsigned char>(report.value), down);
            break;
        case KeyReport::special:
            on_special_key(report.value, down);
            break;
        case KeyReport::pause_key:
            on_pause_key(false, down);
            break;
        case KeyReport::stop_request:
            if (down) runtime_signals().stop_requested = 1;
            break;
        }
    }
}

class ProgramEnd : public FreshInput {
protected:
    void SetUp() override {
        FreshInput::SetUp();
        fresh_text_runtime();
        reset_key_queues();
    }

    // Runs end_program on a thread of its own with the given key reports scheduled.
    Outcome run_end_program(std::vector<Scheduled> schedule) {
        FakeInputPlatform& fake = fake_input_platform();
        const int64_t start_ms = fake.now_ms;
        fake.sleep_budget_ms = fake.slept_ms + 2'000;
        std::stable_sort(schedule.begin(), schedule.end(),
                  [](const Scheduled& a, const Scheduled& b) { return a.after_ms < b.after_ms; });
        size_t next = 0;
        fake.on_sleep = [&](FakeInputPlatform& f) {
            while (next < schedule.size() && schedule[next].after_ms <= f.now_ms - start_ms) {
                press_and_release(schedule[next++].report);
            }
        };
        Outcome outcome;
        std::thread program([&] {
            try {
                end_program();
            } catch (const ProgramParked&) {
                outcome.ending = Ending::parked;
            } catch (const SleptTooLong&) {
                outcome.ending = Ending::still_waiting;
            }
        });
        program.join();
        fake.on_sleep = nullptr;
        outcome.polls = static_cast<int>(std::count(fake.sleeps_ms.begin(), fake.sleeps_ms.end(), 100));
        return outcome;
    }
};

TEST_F(ProgramEnd, OnlyAKeystrokeOrAStopEndsTheWait) {
    struct Case {
        const char* name;
        std::vector<KeyReport> typed_ahead;
        std::vector<Scheduled> schedule;
        Ending ending;
        int polls;
        uint8_t exit_now;
    };
    const KeyReport esc{KeyReport::character, 27};
    const Case cases[] = {
        {"Esc", {}, {{50, esc}}, Ending::parked, 1, 1},
        {"an arrow key", {}, {{50, {KeyReport::special, special_up_arrow}}}, Ending::parked, 1, 1},
        {"typed-ahead keys are discarded",
         {{KeyReport::character, 'y'}, {KeyReport::character, 13}},
         {{250, esc}},
         Ending::parked, 3, 1},
        {"Shift alone does not end it", {}, {{50, {KeyReport::special, special_shift_left}}},
         Ending::still_waiting, 21, 0},  // the 21st poll passes the 2 s budget
        {"Shift, then Esc", {}, {{50, {KeyReport::special, special_shift_left}}, {150, esc}},
         Ending::parked, 2, 1},
        {"Alt+Enter does not end it", {},
         {{50, {KeyReport::special, special_alt_left, KeyReport::press_only}},
          {50, {KeyReport::character, 13}},
          {60, {KeyReport::special, special_alt_left, KeyReport::release_only}},
          {150, esc}},
         Ending::parked, 2, 1},
        {"the key after Pause only resumes", {},
         {{50, {KeyReport::pause_key}}, {150, {KeyReport::character, 'x'}}, {250, esc}},
         Ending::parked, 3, 1},
        {"a close request parks without a key", {}, {{150, {KeyReport::stop_request}}},
         Ending::parked, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        for (const KeyReport& report : c.typed_ahead) press_and_release(report);
        const Outcome outcome = run_end_program(c.schedule);
        EXPECT_EQ(outcome.ending, c.ending);
        EXPECT_EQ(outcome.polls, c.polls);
        EXPECT_EQ(runtime_signals().exit_now.load(), c.exit_now);
        if (c.ending == Ending::parked) {
            EXPECT_EQ(runtime_signals().threads_stopped.load() & 1u, 1u);
        }
    }
}

TEST_F(ProgramEnd, PromptStandsOnTheBlankedBottomRowOfTheVisiblePage) {
    set_color(14, 1, 0, color_foreground_given | color_background_given);
    print_text("The case is closed.", 1);
    locate(25, 30, 0, 0, 0, locate_row_given | locate_column_given);
    print_text("old text on the last row");
    set_write_target(1);  // the visible page is still page 0
    frame_exchange().auto_display = 0;  // the game's last display was explicit

    run_end_program({{50, {KeyReport::character, 27}}});

    const Image& page = page_record(0);
    EXPECT_EQ(row_text(page, 1).substr(0, 19), "The case is closed.");
    EXPECT_EQ(page_text(page, 25, 25), "Press any key to continue\n");
    EXPECT_TRUE(row_has_attribute(page, 25, 0x1E));  // yellow on blue, the current colours
    EXPECT_EQ(write_target_handle(), visible_page_handle());
    EXPECT_EQ(page.view_top, 25);
    EXPECT_EQ(page.view_bottom, 25);
    EXPECT_EQ(cursor_row(), 25);
    EXPECT_EQ(cursor_column(), 26);
    EXPECT_TRUE(row_is_blank(page_record(1), 25));
    EXPECT_EQ(auto_display_state(), 1);  // so the prompt is shown
}

}  // namespace
