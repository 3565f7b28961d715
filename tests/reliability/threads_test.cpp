// The runtime's threads against each other, with real threads and real sleeps: the whole runtime
// started and shut down, key intake against reading, frame building against printing (across a
// screen re-creation), the display_now hand-over and errors raised from several threads at once.
// The checks are on outcomes (every key in order, frames that match the page, one shutdown with
// status 0); ThreadSanitizer runs this suite to check the accesses themselves.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/core/runtime.h"
#include "runtime/core/rt_string.h"
#include "runtime/core/signals.h"
#include "runtime/display/frames.h"
#include "runtime/display/private/frame_exchange.h"
#include "runtime/display/render.h"
#include "runtime/input/clock.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/low_memory.h"
#include "runtime/platform/platform.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print.h"
#include "runtime/text/screen.h"

namespace {

using namespace std::chrono_literals;

// ---- Seams: boxes are counted, an exit is recorded and its thread parked for good ----

std::atomic<int> boxes{0};
std::atomic<int> exits{0};
std::atomic<int> exit_status{-1};

platform::BoxAnswer count_box(const char*, const char*, platform::BoxKind) {
    boxes.fetch_add(1);
    return platform::BoxAnswer::yes;
}

// The process would end here; the thread that asked stays asleep instead, for good (it must not
// return, and later tests must not see it run again).
[[noreturn]] void record_exit(int status) {
    exit_status.store(status);
    exits.fetch_add(1);
    for (;;) std::this_thread::sleep_for(1h);
}

// Caps Lock as the operating system reports it: toggled at every look, so the housekeeping
// thread's synchronisation queues hits of its own while the window thread types.
std::atomic<int> key_state_looks{0};
platform::KeyStates toggling_caps_lock() {
    platform::KeyStates states;
    states.caps_lock = (key_state_looks.fetch_add(1) / 2) % 2 == 1;
    return states;
}

// The seams are set once for the whole program: threads parked by an earlier case still read
// them (they sleep through them), so they are never written again.
void use_test_seams() {
    static const bool set = [] {
        platform::PlatformSeams& seams = platform::seams();
        seams.message_box = count_box;
        seams.exit_process = record_exit;
        seams.key_states = toggling_caps_lock;
        return true;
    }();
    (void)set;
    boxes = 0;
    exits = 0;
    exit_status = -1;
}

// Waits for `done` up to `limit` of real time, giving the processor away meanwhile.
template <typename Condition>
bool eventually(Condition done, std::chrono::milliseconds limit = 60s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

char letter(int i) { return static_cast<char>('a' + i % 26); }

bool ring_full() {
    const int next = key_buffer_tail() + 2 == key_buffer_end_position ? key_buffer_first_position
                                                                       : key_buffer_tail() + 2;
    return next == key_buffer_head();
}

// ---- Pictures ----

// The page drawn cell by cell as a first pass draws it (no blinking cell, phase 0).
std::vector<uint32_t> reference_frame(const Image& image) {
    const FontShape* font = font_shape(image.font);
    const int32_t width = image.width * font->cell_width;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * image.height * font->cell_height);
    int32_t cursor_row = image.row - 1, cursor_column = image.column - 1;
    if (image.wrap_state == 2 && cursor_row < image.height - 1) {
        ++cursor_row;
        cursor_column = 0;
    }
    const CellCanvas canvas{pixels.data(), width, font, image.palette, image.cursor_visible != 0,
                            cursor_lines(image.cursor_start, image.cursor_stop, font->cell_height)};
    for (int32_t row = 0; row < image.height; ++row) {
        for (int32_t column = 0; column < image.width; ++column) {
            const TextCell& c = image.cells[row * image.width + column];
            draw_cell(canvas, column * font->cell_width, row * font->cell_height, c.character,
                      c.attribute, row == cursor_row && column == cursor_column, 0);
        }
    }
    return pixels;
}

// The newest frame (ready or on screen) shows the visible page exactly.
testing::AssertionResult newest_frame_shows_page() {
    const DisplayFrame* newest = nullptr;
    for (const DisplayFrame& slot : frame_exchange().slots) {
        const int32_t state = slot.state.load();
        if (state != frame_ready && state != frame_on_screen) continue;
        if (newest == nullptr || slot.serial.load() > newest->serial.load()) newest = &slot;
    }
    if (newest == nullptr) return testing::AssertionFailure() << "no frame";
    const std::vector<uint32_t> expected = reference_frame(*visible_image());
    if (static_cast<size_t>(newest->width) * newest->height != expected.size()) {
        return testing::AssertionFailure() << "frame " << newest->width << "x" << newest->height;
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (newest->pixels[i] != expected[i]) {
            return testing::AssertionFailure() << "frame " << newest->serial.load() << " pixel "
                                               << i % newest->width << "," << i / newest->width;
        }
    }
    return testing::AssertionSuccess();
}

// The window thread's part in presenting: take the frame to show and read it, as the texture
// upload does.
uint64_t present_once() {
    const FrameChoice choice = take_frame_for_display();
    if (choice.slot < 0) return 0;
    const DisplayFrame& frame = frame_exchange().slots[choice.slot];
    uint64_t sum = 0;
    for (int32_t i = 0; i < frame.width * frame.height; i += 97) sum += frame.pixels[i];
    frame_exchange().presented_frame_serial.store(frame.serial.load());
    return sum;
}

// ---- The whole runtime: start-up, the threads at work, the shutdown ----

// What the game on the program thread saw. Written by the program thread only; read by the test
// after the program thread has parked (threads_stopped orders it).
struct EchoLog {
    std::string typed;
    std::vector<int32_t> letter_hits;
};
EchoLog echo_log;
std::atomic<int> echoed{0};
std::atomic<int> hand_overs_failed{0};
std::atomic<bool> game_returns{false};
constexpr int echo_key_count = 400;

// Echoes every keystroke on page 0 and collects the letter hits; now and then shows the page
// explicitly and switches automatic display back on.
void echo_game() {
    echo_log = {};
    for (uint32_t step = 1;; ++step) {
        statement_check(step);
        const uint32_t mark = temp_mark();
        RtString* key = read_key();
        if (key->length == 1) {
            echo_log.typed += key->data[0];
            print_string(key, 0);
            if (echoed.fetch_add(1) % 50 == 49) {
                display_now();
                // display_now gives up only when the runtime is stopping.
                if (auto_display_state() != 0 && runtime_signals().stop_requested.load() == 0) {
                    hand_overs_failed.fetch_add(1);
                }
                set_auto_display();
            }
        }
        release_temporaries(mark);
        for (int32_t hit = read_key_hit(); hit != 0; hit = read_key_hit()) {
            if ((hit >= 'a' && hit <= 'z') || (-hit >= 'a' && -hit <= 'z')) {
                echo_log.letter_hits.push_back(hit);
            }
        }
        if (game_returns.load() && echoed.load() >= echo_key_count) return;
    }
}

std::atomic<int> shutdowns{0};
void count_shutdown() { shutdowns.fetch_add(1); }

void create_first_screen() { set_screen_mode(0, 0, 0, 0, 0, 1); }

void start_runtime() {
    use_test_seams();
    reset_runtime_signals();
    reset_error_state();
    reset_key_intake();
    echoed = 0;
    hand_overs_failed = 0;
    shutdowns = 0;
    static char name[] = "reliability_threads";
    static char* arguments[] = {name, nullptr};
    const StartupSteps steps{reset_frame_slots, init_image_table,        init_low_memory,
                             init_clock_base,   sample_keyboard,         load_palettes_and_fonts,
                             create_first_screen, start_worker_threads};
    static const WorkerHooks hooks{echo_game,          write_tick_count, housekeeping_frame_step,
                                   synchronise_lock_keys, clock_ms,      count_shutdown};
    run_startup(steps, hooks, 1, arguments);
}

// Types `count` letters as the window thread does, waiting for room in the keystroke ring so none
// is dropped, and presents frames in between.
void type_letters(int count) {
    for (int i = 0; i < count; ++i) {
        while (ring_full()) {
            present_once();
            std::this_thread::yield();
        }
        on_character_key(static_cast<unsigned char>(letter(i)), true);
        on_character_key(static_cast<unsigned char>(letter(i)), false);
        if (i % 8 == 0) present_once();
    }
}

enum class Ending { window_closed, break_key, game_returns };

struct EndingCase {
    const char* name;
    Ending ending;
};

void PrintTo(const EndingCase& ending_case, std::ostream* out) { *out << ending_case.name; }

class WholeRuntime : public testing::TestWithParam<EndingCase> {};

TEST_P(WholeRuntime, EveryKeyIsEchoedInOrderAndTheShutdownEndsWithStatusZero) {
    constexpr int key_count = echo_key_count;
    game_returns = GetParam().ending == Ending::game_returns;
    start_runtime();
    type_letters(key_count);
    ASSERT_TRUE(eventually([] { return echoed.load() >= key_count; }))
        << echoed.load() << " of " << key_count << " keys echoed";

    switch (GetParam().ending) {
        case Ending::window_closed: request_close(); break;
        case Ending::break_key: on_pause_key(true, true); break;
        case Ending::game_returns: break;  // the game has returned after its last echo
    }
    ASSERT_TRUE(eventually([] { return exits.load() > 0; })) << "no shutdown";
    std::this_thread::sleep_for(50ms);  // a second exit, were there one, would come by now
    EXPECT_EQ(exits.load(), 1);
    EXPECT_EQ(exit_status.load(), 0);
    EXPECT_EQ(shutdowns.load(), 1);
    EXPECT_EQ(runtime_signals().threads_stopped.load(), 3u);
    EXPECT_EQ(boxes.load(), 0) << "an alert or an error box came up";
    EXPECT_EQ(hand_overs_failed.load(), 0);

    std::string sent;
    for (int i = 0; i < key_count; ++i) sent += letter(i);
    EXPECT_EQ(echo_log.typed, sent);
    ASSERT_EQ(echo_log.letter_hits.size(), 2u * key_count);
    for (int i = 0; i < key_count; ++i) {
        ASSERT_EQ(echo_log.letter_hits[2 * i], letter(i)) << "press " << i;
        ASSERT_EQ(echo_log.letter_hits[2 * i + 1], -letter(i)) << "release " << i;
    }
    // The page ends with the last letters typed, just before the cursor.
    const Image& page = *visible_image();
    const int32_t at = (cursor_row() - 1) * page.width + cursor_column() - 1;
    std::string tail;
    for (int32_t i = at - 10; i < at; ++i) tail += static_cast<char>(page.cells[i].character);
    EXPECT_EQ(tail, sent.substr(sent.size() - 10));
}

INSTANTIATE_TEST_SUITE_P(Endings, WholeRuntime,
                         testing::Values(EndingCase{"window_closed", Ending::window_closed},
                                         EndingCase{"break_key", Ending::break_key},
                                         EndingCase{"game_returns", Ending::game_returns}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Pieces against each other, without the start-up ----

class ThreadedScreen : public testing::Test {
protected:
    void SetUp() override {
        use_test_seams();
        reset_runtime_signals();
        reset_error_state();
        init_low_memory();
        init_string_state();
        reset_key_queues();
        reset_key_intake();
        reset_frame_slots();
        load_palettes_and_fonts();
        init_image_table();
        set_screen_mode(0, 0, 0, 0, 0, 1);
        // The handshake around screen re-creation is only made once the threads run.
        runtime_signals().threads_started = 1;
    }

    // The housekeeping thread's frame steps, and the window thread presenting, until stopped.
    void start_builder_and_presenter() {
        builder_ = std::thread([this] {
            while (!stop_.load()) {
                housekeeping_frame_step();
                std::this_thread::sleep_for(1ms);
            }
        });
        presenter_ = std::thread([this] {
            while (!stop_.load()) {
                present_once();
                std::this_thread::yield();
            }
        });
    }
    void stop_builder_and_presenter() {
        stop_ = true;
        builder_.join();
        presenter_.join();
    }

    std::atomic<bool> stop_{false};
    std::thread builder_, presenter_;
};

void print_text(const std::string& text) {
    const uint32_t mark = temp_mark();
    print_string(string_from_literal(text), 1);
    release_temporaries(mark);
}

// The program prints and scrolls, then switches the screen to 80x50 (which frees the cells the
// builder reads, behind the pause handshake) and prints on; the builder builds all the while.
TEST_F(ThreadedScreen, FramesFollowThePrintingAcrossTheFiftyRowSwitch) {
    start_builder_and_presenter();
    std::thread program([] {
        for (int line = 0; line < 300; ++line) print_text("line " + std::to_string(line) + " of the first part");
        locate(26, 1, 0, 0, 0, locate_row_given | locate_column_given);
        for (int line = 0; line < 300; ++line) print_text("line " + std::to_string(line) + " on fifty rows");
    });
    program.join();
    stop_builder_and_presenter();
    ASSERT_FALSE(error_pending()) << pending_error();
    ASSERT_EQ(visible_image()->height, 50);
    // Once the printing has stopped, the next pass shows the page as it is.
    invalidate_frame_comparison();
    build_frame();
    EXPECT_TRUE(newest_frame_shows_page());
    EXPECT_EQ(boxes.load(), 0);
}

// Every display_now returns with automatic display off and the newest frame showing the page as
// of the call; automatic display is switched on again at once, many times over.
TEST_F(ThreadedScreen, DisplayNowHandsOverToTheProgramThreadAndBack) {
    start_builder_and_presenter();
    std::atomic<int> failures{0};
    std::string first_failure;
    std::thread program([&] {
        for (int round = 0; round < 150; ++round) {
            print_text("round " + std::to_string(round));
            display_now();
            if (auto_display_state() != 0) {
                failures.fetch_add(1);
                continue;
            }
            const testing::AssertionResult shown = newest_frame_shows_page();
            if (!shown && failures.fetch_add(1) == 0) {
                first_failure = "round " + std::to_string(round) + ": " + shown.message();
            }
            if (round % 3 == 0) display_now();  // with automatic display off: built at once
            set_auto_display();
        }
    });
    program.join();
    stop_builder_and_presenter();
    EXPECT_EQ(failures.load(), 0) << first_failure;
    EXPECT_EQ(boxes.load(), 0);
}

// Two producers of key hits (the window thread's keys, the housekeeping thread's lock keys) and
// the program thread reading, far past the queue's size. A full queue drops its oldest hit, so a
// hit is lost only once 8,191 newer ones have come: each producer's hits arrive in order and none
// twice, the very last hit arrives, and so do at least the last 8,191.
TEST(KeyHitQueue, TwoProducersFloodingPastItsSizeKeepEachOnesOrder) {
    init_low_memory();
    reset_key_queues();
    constexpr int32_t per_producer = 40'000;
    std::atomic<int> finished{0};
    std::atomic<int32_t> last_finisher{0};
    auto produce = [&](int32_t sign) {
        for (int32_t i = 1; i <= per_producer; ++i) key_hit_append(sign * i, 0);
        if (finished.fetch_add(1) == 1) last_finisher = sign;
    };
    std::thread window(produce, 1);
    std::thread housekeeping(produce, -1);
    std::vector<int32_t> positive, negative;
    for (;;) {
        const bool last_look = finished.load() == 2;
        for (int32_t hit = read_key_hit(); hit != 0; hit = read_key_hit()) {
            (hit > 0 ? positive : negative).push_back(hit > 0 ? hit : -hit);
        }
        if (last_look) break;
    }
    window.join();
    housekeeping.join();
    for (const auto* seen : {&positive, &negative}) {
        for (size_t i = 1; i < seen->size(); ++i) {
            ASSERT_LT((*seen)[i - 1], (*seen)[i]) << "out of order or twice at " << i;
        }
    }
    const std::vector<int32_t>& last = last_finisher.load() > 0 ? positive : negative;
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back(), per_producer) << "the newest hit was dropped";
    EXPECT_GE(positive.size() + negative.size(), size_t{key_hit_queue_slots - 1});
    EXPECT_LE(positive.size() + negative.size(), 2u * per_producer);
}

// Keys typed on the window thread while the housekeeping thread synchronises the lock keys and
// the program thread reads: no keystroke lost, every hit in order.
TEST(KeyIntake, TypingAgainstLockSynchronisationAndReading) {
    use_test_seams();
    init_low_memory();
    init_string_state();
    reset_key_queues();
    reset_key_intake();
    constexpr int key_count = 2'000;
    std::atomic<bool> stop{false};
    std::thread housekeeping([&] {
        while (!stop.load()) {
            synchronise_lock_keys();
            std::this_thread::yield();
        }
    });
    std::thread window([] {
        for (int i = 0; i < key_count; ++i) {
            while (ring_full()) std::this_thread::yield();
            on_character_key(static_cast<unsigned char>(letter(i)), true);
            on_character_key(static_cast<unsigned char>(letter(i)), false);
        }
    });
    std::string typed;
    std::vector<int32_t> hits;
    int lock_hits = 0;
    const auto until = std::chrono::steady_clock::now() + 60s;
    while (typed.size() < key_count || hits.size() < 2u * key_count) {
        ASSERT_LT(std::chrono::steady_clock::now(), until) << typed.size() << " keys read";
        const uint32_t mark = temp_mark();
        const RtString* key = read_key();
        typed.append(key->data, static_cast<size_t>(key->length));
        release_temporaries(mark);
        for (int32_t hit = read_key_hit(); hit != 0; hit = read_key_hit()) {
            if (hit == key_caps_lock || hit == -key_caps_lock) {
                ++lock_hits;
            } else {
                hits.push_back(hit);
            }
        }
    }
    window.join();
    stop = true;
    housekeeping.join();
    std::string sent;
    for (int i = 0; i < key_count; ++i) sent += letter(i);
    EXPECT_EQ(typed, sent);
    for (int i = 0; i < key_count; ++i) {
        ASSERT_EQ(hits[2 * i], letter(i)) << "press " << i;
        ASSERT_EQ(hits[2 * i + 1], -letter(i)) << "release " << i;
    }
    EXPECT_GT(lock_hits, 0) << "the lock synchronisation never ran against the typing";
}

// ---- Errors raised from several threads at once ----

TEST(Errors, RaisedFromFourThreadsAtOnceTheFirstWinsAndOneDialogClearsIt) {
    use_test_seams();
    for (int round = 0; round < 200; ++round) {
        reset_error_state();
        reset_runtime_signals();
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int32_t code : {5, 7, 13, 51}) {
            threads.emplace_back([&ready, code] {
                ready.fetch_add(1);
                while (ready.load() < 4) std::this_thread::yield();
                raise_error(code);
            });
        }
        for (std::thread& t : threads) t.join();
        const uint32_t code = pending_error();
        ASSERT_TRUE(code == 5 || code == 7 || code == 13 || code == 51) << code;
        ASSERT_EQ(runtime_signals().event_pending.load(), 1);
        const int boxes_before = boxes.load();
        statement_check(1);  // the program thread's boundary: one dialog, answered Yes
        ASSERT_EQ(boxes.load(), boxes_before + 1);
        ASSERT_FALSE(error_pending());
    }
}

TEST(Errors, AlertsFromEveryThreadWhileTheProgramReportsAnError) {
    use_test_seams();
    reset_error_state();
    reset_runtime_signals();
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 100; ++i) show_alert("Software frame buffer: Failed to find available frame");
        });
    }
    for (int i = 0; i < 100; ++i) {
        raise_error(5);
        statement_check(static_cast<uint32_t>(i + 1));
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(boxes.load(), 3 * 100 + 100);
    EXPECT_FALSE(error_pending());
}

}  // namespace
