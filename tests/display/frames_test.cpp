// The frame builder and the slot hand-over, single-threaded on the real text screen (page 0,
// 80x25, font 16). Which cells a pass redrew is found by painting the previous frame with a
// marker colour first: the new frame starts as a copy of it, so every pixel that no longer holds
// the marker belongs to a cell the pass drew.
#include "runtime/display/frames.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/signals.h"
#include "runtime/display/private/frame_exchange.h"
#include "runtime/display/render.h"
#include "runtime/platform/platform.h"
#include "runtime/text/screen.h"
#include "tests/support/fresh_text_runtime.h"

namespace {

constexpr uint32_t marker = 0x12345678u;
using Cell = std::pair<int32_t, int32_t>;  // 0-based row, column
using CellSet = std::set<Cell>;

std::vector<std::string> alerts;

platform::BoxAnswer record_box(const char*, const char* text, platform::BoxKind) {
    alerts.emplace_back(text);
    return platform::BoxAnswer::ok;
}

// The housekeeping thread, squeezed into display_now's 1 ms sleeps.
void sleep_runs_housekeeping(int32_t) { housekeeping_frame_step(); }
void sleep_does_nothing(int32_t) {}

class FrameBuilder : public testing::Test {
protected:
    void SetUp() override {
        platform::reset_seams();
        platform::seams().message_box = record_box;
        platform::seams().sleep_ms = sleep_does_nothing;
        alerts.clear();
        reset_frame_slots();
        load_palettes_and_fonts();
        fresh_text_runtime();
    }
    void TearDown() override { platform::reset_seams(); }

    Image& page() { return *visible_image(); }
    TextCell& cell(int32_t row, int32_t column) { return page().cells[row * page().width + column]; }

    static int32_t newest_slot(bool ready_only) {
        int32_t newest = -1;
        int64_t newest_serial = 0;
        for (int32_t i = 0; i < frame_slot_count; ++i) {
            const DisplayFrame& slot = frame_exchange().slots[i];
            const int32_t state = slot.state.load();
            const bool usable = state == frame_ready || (!ready_only && state == frame_on_screen);
            if (usable && slot.serial.load() > newest_serial) {
                newest = i;
                newest_serial = slot.serial.load();
            }
        }
        return newest;
    }
    static int64_t newest_frame_serial() {
        const int32_t slot = newest_slot(false);
        return slot < 0 ? 0 : frame_exchange().slots[slot].serial.load();
    }

    // The whole page drawn cell by cell, as the first pass must draw it.
    std::vector<uint32_t> reference_frame(int32_t blink_phase) {
        const Image& image = page();
        const FontShape* font = font_shape(image.font);
        const int32_t width = image.width * font->cell_width;
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * image.height * font->cell_height);
        int32_t cursor_row = image.row - 1, cursor_column = image.column - 1;
        if (image.wrap_state == 2 && cursor_row < image.height - 1) {
            ++cursor_row;
            cursor_column = 0;
        }
        const CellCanvas canvas{pixels.data(), width, font, image.palette,
                                image.cursor_visible != 0,
                                cursor_lines(image.cursor_start, image.cursor_stop,
                                             font->cell_height)};
        for (int32_t row = 0; row < image.height; ++row)
            for (int32_t column = 0; column < image.width; ++column) {
                const TextCell& c = image.cells[row * image.width + column];
                draw_cell(canvas, column * font->cell_width, row * font->cell_height, c.character,
                          c.attribute, row == cursor_row && column == cursor_column, blink_phase);
            }
        return pixels;
    }
    testing::AssertionResult newest_frame_matches_page(int32_t blink_phase) {
        const int32_t slot = newest_slot(false);
        if (slot < 0) return testing::AssertionFailure() << "no frame";
        const DisplayFrame& frame = frame_exchange().slots[slot];
        const std::vector<uint32_t> expected = reference_frame(blink_phase);
        if (frame.width != 640 || frame.height != 400)
            return testing::AssertionFailure() << frame.width << "x" << frame.height;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (frame.pixels[i] != expected[i])
                return testing::AssertionFailure() << "pixel " << i % 640 << "," << i / 640;
        }
        return testing::AssertionSuccess();
    }

    // One pass after painting the newest frame with the marker; the cells it drew.
    CellSet redrawn_by_next_pass() {
        const int32_t previous = newest_slot(false);
        if (previous >= 0) {
            DisplayFrame& frame = frame_exchange().slots[previous];
            std::fill(frame.pixels.get(), frame.pixels.get() + frame.width * frame.height, marker);
        }
        const int64_t before = newest_frame_serial();
        build_frame();
        CellSet cells;
        if (newest_frame_serial() == before) return cells;  // abandoned
        const DisplayFrame& frame = frame_exchange().slots[newest_slot(false)];
        for (int32_t row = 0; row < 25; ++row)
            for (int32_t column = 0; column < 80; ++column)
                for (int32_t y = 0; y < 16; ++y)
                    for (int32_t x = 0; x < 8; ++x)
                        if (frame.pixels[(row * 16 + y) * 640 + column * 8 + x] != marker)
                            cells.insert({row, column});
        return cells;
    }

    // Advances the blink counter to the start of the other phase.
    static void flip_blink_phase() {
        const int32_t phase = blink_phase_of(frame_exchange().blink_ticks.load());
        while (blink_phase_of(frame_exchange().blink_ticks.load()) == phase)
            frame_exchange().blink_ticks.fetch_add(1);
    }
};

TEST_F(FrameBuilder, FirstPassRedrawsEveryCell) {
    cell(0, 0) = {'T', 0x1E};
    cell(24, 79) = {219, 0x04};
    EXPECT_EQ(redrawn_by_next_pass().size(), 80u * 25u);
    // Drawn again from scratch it is exactly the page.
    reset_frame_slots();
    build_frame();
    EXPECT_TRUE(newest_frame_matches_page(0));
    EXPECT_EQ(frame_exchange().latest_frame_serial.load(), 1);
    EXPECT_EQ(frame_exchange().slots[newest_slot(true)].state.load(), frame_ready);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(FrameBuilder, UnchangedPageAbandonsThePassButAdvancesTheLatestSerial) {
    build_frame();
    const int64_t frame_serial = newest_frame_serial();
    for (int pass = 0; pass < 3; ++pass) {
        const int64_t latest = frame_exchange().latest_frame_serial.load();
        EXPECT_TRUE(redrawn_by_next_pass().empty());
        EXPECT_GT(frame_exchange().latest_frame_serial.load(), latest);
    }
    EXPECT_EQ(newest_frame_serial(), frame_serial);
    int32_t free_slots = 0;
    for (const DisplayFrame& slot : frame_exchange().slots)
        free_slots += slot.state.load() == frame_free;
    EXPECT_EQ(free_slots, 2) << "an abandoned pass gives its slot back";
}

TEST_F(FrameBuilder, ChangedCellsAloneAreRedrawnAndTheFrameStaysExact) {
    build_frame();
    cell(3, 10) = {'x', 0x07};
    cell(7, 0) = {' ', 0x70};
    EXPECT_EQ(redrawn_by_next_pass(), (CellSet{{3, 10}, {7, 0}}));

    cell(12, 40) = {'Q', 0x2A};
    build_frame();
    reset_frame_slots();  // draw the same page from scratch for comparison
    build_frame();
    EXPECT_TRUE(newest_frame_matches_page(0));
}

TEST_F(FrameBuilder, IncrementalFramesEqualTheFullPicture) {
    build_frame();
    for (int step = 0; step < 5; ++step) {
        cell(step, step * 3) = {static_cast<uint8_t>('a' + step), static_cast<uint8_t>(0x10 + step)};
        page().row = static_cast<int16_t>(step + 2);
        page().cursor_visible = 1;
        flip_blink_phase();
        build_frame();
        EXPECT_TRUE(newest_frame_matches_page(blink_phase_of(frame_exchange().blink_ticks.load())))
            << "step " << step;
    }
}

TEST_F(FrameBuilder, BlinkPhaseChangeRedrawsBlinkingCellsAndTheCursorCell) {
    cell(5, 20) = {'B', 0x8F};
    cell(6, 20) = {'P', 0x0F};
    page().row = 10;
    page().column = 30;
    build_frame();
    flip_blink_phase();
    // The hidden cursor's cell follows the phase too; the plain cell does not.
    EXPECT_EQ(redrawn_by_next_pass(), (CellSet{{5, 20}, {9, 29}}));
    flip_blink_phase();
    EXPECT_EQ(redrawn_by_next_pass(), (CellSet{{5, 20}, {9, 29}}));
    EXPECT_TRUE(redrawn_by_next_pass().empty());
}

TEST_F(FrameBuilder, MovingTheCursorRedrawsTheOldAndTheNewCell) {
    page().cursor_visible = 1;
    page().row = 3;
    page().column = 4;
    build_frame();
    page().row = 20;
    page().column = 70;
    EXPECT_EQ(redrawn_by_next_pass(), (CellSet{{2, 3}, {19, 69}}));
}

TEST_F(FrameBuilder, PendingWrapShowsTheCursorAtTheStartOfTheNextRow) {
    page().cursor_visible = 1;
    page().row = 4;
    page().column = 80;
    page().wrap_state = 2;
    frame_exchange().blink_ticks.store(8);  // phase 1: the cursor is showing
    build_frame();
    EXPECT_TRUE(newest_frame_matches_page(1));
    const DisplayFrame& frame = frame_exchange().slots[newest_slot(false)];
    EXPECT_EQ(frame.pixels[(4 * 16 + 14) * 640 + 0], 0xFFAAAAAAu) << "row 5, column 1, line 14";
    EXPECT_EQ(frame.pixels[(3 * 16 + 14) * 640 + 79 * 8], 0xFF000000u);

    page().row = 25;  // on the last row the cursor stays where it is
    build_frame();
    EXPECT_TRUE(newest_frame_matches_page(1));
}

TEST_F(FrameBuilder, RestoringThePreviousContentMakesNoNewFrame) {
    print_text("Before the copy");
    build_frame();
    const int64_t frame_serial = newest_frame_serial();
    const int16_t row = page().row, column = page().column;
    copy_page(0, 1);
    print_text(" and some more text", 1);
    copy_page(1, 0);
    page().row = row;
    page().column = column;
    EXPECT_TRUE(redrawn_by_next_pass().empty());
    EXPECT_EQ(newest_frame_serial(), frame_serial);
}

TEST_F(FrameBuilder, PaletteChangeRedrawsEverything) {
    build_frame();
    page().palette[7] = 0xFF102030u;
    EXPECT_EQ(redrawn_by_next_pass().size(), 80u * 25u);
    build_frame();
    page().palette[7] = 0xFFAAAAAAu;
    build_frame();
    EXPECT_TRUE(newest_frame_matches_page(0));
}

TEST_F(FrameBuilder, InvalidatedComparisonRedrawsEverything) {
    build_frame();
    invalidate_frame_comparison();
    EXPECT_EQ(redrawn_by_next_pass().size(), 80u * 25u);
    // A change of the visible page goes through the same hook.
    set_screen_mode(0, 0, 0, 1, 0, 1u << 3);
    EXPECT_EQ(redrawn_by_next_pass().size(), 80u * 25u);
    EXPECT_TRUE(redrawn_by_next_pass().empty());
}

TEST_F(FrameBuilder, InvalidationDuringAPassMakesTheNextPassRedrawEverything) {
    // The window thread changes full screen while a pass is reading the page: that pass may
    // already have drawn from the old comparison, so its end must not undo the invalidation.
    build_frame();
    set_visible_page_source([]() -> Image* {
        invalidate_frame_comparison();
        return visible_image();
    });
    cell(2, 2) = {'P', 0x07};
    build_frame();
    set_visible_page_source(nullptr);
    EXPECT_EQ(redrawn_by_next_pass().size(), 80u * 25u);
    EXPECT_TRUE(redrawn_by_next_pass().empty());
}

TEST_F(FrameBuilder, MissingPreviousFrameIsReportedAndTheFrameDrawnInFull) {
    build_frame();
    for (DisplayFrame& slot : frame_exchange().slots) slot.state.store(frame_free);
    cell(0, 0) = {'Z', 0x07};
    build_frame();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], "Text Screen Update: Failed to locate previous frame's data for comparison");
    EXPECT_TRUE(newest_frame_matches_page(0));
}

TEST_F(FrameBuilder, NoVisiblePageBuildsNothing) {
    set_visible_page_source([]() -> Image* { return nullptr; });
    build_frame();
    EXPECT_EQ(newest_frame_serial(), 0);
    EXPECT_EQ(frame_exchange().latest_frame_serial.load(), 1);
    set_visible_page_source(nullptr);
    build_frame();
    EXPECT_TRUE(newest_frame_matches_page(0));
}

TEST_F(FrameBuilder, OldestReadyFrameIsOverwrittenWhenNoSlotIsFree) {
    // The presenter holds one frame on screen; two more are ready and none is free.
    build_frame();
    ASSERT_TRUE(take_frame_for_display().is_new);
    cell(0, 0) = {'1', 0x07};
    build_frame();
    cell(0, 0) = {'2', 0x07};
    build_frame();
    const int64_t oldest_ready = 2, on_screen = 1;
    cell(0, 0) = {'3', 0x07};
    build_frame();
    std::vector<int64_t> serials;
    for (const DisplayFrame& slot : frame_exchange().slots) serials.push_back(slot.serial.load());
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<int64_t>{on_screen, oldest_ready + 1, 4}));
    EXPECT_TRUE(newest_frame_matches_page(0));
}

TEST(FramePresenterChoice, NewestReadyFrameGoesOnScreenAndOlderOnesAreFreed) {
    reset_frame_slots();
    EXPECT_EQ(take_frame_for_display().slot, -1) << "nothing built yet";

    auto& slots = frame_exchange().slots;
    slots[0].state.store(frame_ready);
    slots[0].serial.store(5);
    slots[2].state.store(frame_ready);
    slots[2].serial.store(7);
    FrameChoice choice = take_frame_for_display();
    EXPECT_EQ(choice.slot, 2);
    EXPECT_TRUE(choice.is_new);
    EXPECT_EQ(slots[2].state.load(), frame_on_screen);
    EXPECT_EQ(slots[0].state.load(), frame_free);

    choice = take_frame_for_display();
    EXPECT_EQ(choice.slot, 2);
    EXPECT_FALSE(choice.is_new) << "the frame on screen is presented again";

    slots[1].state.store(frame_ready);
    slots[1].serial.store(9);
    choice = take_frame_for_display();
    EXPECT_EQ(choice.slot, 1);
    EXPECT_TRUE(choice.is_new);
    EXPECT_EQ(slots[2].state.load(), frame_free);
    EXPECT_EQ(slots[1].state.load(), frame_on_screen);

    // A ready frame older than the one on screen is never shown.
    slots[0].state.store(frame_ready);
    slots[0].serial.store(3);
    choice = take_frame_for_display();
    EXPECT_EQ(choice.slot, 1);
    EXPECT_FALSE(choice.is_new);
}

TEST_F(FrameBuilder, DisplayNowWithAutomaticDisplayOffBuildsAtOnce) {
    frame_exchange().auto_display.store(0);
    display_now();
    EXPECT_TRUE(newest_frame_matches_page(0));
    EXPECT_EQ(auto_display_state(), 0);
}

TEST_F(FrameBuilder, DisplayNowHandsOverThroughTheNextHousekeepingPass) {
    platform::seams().sleep_ms = sleep_runs_housekeeping;
    print_text("typed so far");
    display_now();
    EXPECT_EQ(auto_display_state(), 0);
    EXPECT_TRUE(newest_frame_matches_page(0)) << "the frame shows the page as of the call";

    // Automatic frames have stopped: housekeeping passes build nothing now.
    cell(1, 1) = {'!', 0x07};
    const int64_t latest = frame_exchange().latest_frame_serial.load();
    for (int cycle = 0; cycle < 4; ++cycle) housekeeping_frame_step();
    EXPECT_EQ(frame_exchange().latest_frame_serial.load(), latest);
    EXPECT_EQ(frame_exchange().blink_ticks.load(), 5) << "blink ticks go on regardless";

    set_auto_display();
    housekeeping_frame_step();
    EXPECT_GT(frame_exchange().latest_frame_serial.load(), latest);
    EXPECT_EQ(cell(1, 1).character, '!');
    EXPECT_TRUE(newest_frame_matches_page(0));
}

TEST_F(FrameBuilder, APassUnderWayWhenDisplayNowAsksDoesNotEndTheHandOver) {
    // The request lands while a pass is reading the page, as if the program had written its last
    // change just after the pass read those cells: that pass must not end the hand-over.
    set_visible_page_source([]() -> Image* {
        frame_exchange().auto_display.store(-1);
        return visible_image();
    });
    build_frame();
    EXPECT_EQ(auto_display_state(), -1);
    set_visible_page_source(nullptr);
    cell(4, 4) = {'N', 0x07};  // the change the first pass missed
    build_frame();
    EXPECT_EQ(auto_display_state(), 0);
    EXPECT_TRUE(newest_frame_matches_page(0));
}

TEST_F(FrameBuilder, DisplayNowWaitsForARealHousekeepingThread) {
    platform::reset_seams();
    platform::seams().message_box = record_box;
    std::atomic<bool> stop{false};
    std::atomic<int32_t> passes{0};
    std::thread housekeeping([&] {
        while (!stop.load()) {
            housekeeping_frame_step();
            passes.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    cell(2, 2) = {'D', 0x0E};
    display_now();
    const int32_t passes_at_return = passes.load();
    EXPECT_EQ(auto_display_state(), 0);
    EXPECT_GE(passes_at_return, 1);
    const int64_t latest = frame_exchange().latest_frame_serial.load();
    while (passes.load() < passes_at_return + 3) std::this_thread::yield();
    EXPECT_EQ(frame_exchange().latest_frame_serial.load(), latest);
    stop.store(true);
    housekeeping.join();
    // No blinking cell and a hidden cursor: the picture is the same in both phases.
    EXPECT_TRUE(newest_frame_matches_page(0));
}

TEST_F(FrameBuilder, DisplayNowGivesUpWhenTheRuntimeIsStopping) {
    runtime_signals().stop_requested.store(1);
    display_now();  // no housekeeping pass will ever come
    EXPECT_EQ(auto_display_state(), -1);
}

TEST_F(FrameBuilder, PauseHandshakeHoldsTheBuilderOff) {
    runtime_signals().threads_started.store(1);
    // While pause_frame_building spins, the "housekeeping thread" runs in its yields.
    platform::seams().sleep_ms = [](int32_t) { build_frame(); };
    pause_frame_building();
    EXPECT_EQ(frame_exchange().frame_pause.load(), 2);
    platform::seams().sleep_ms = sleep_does_nothing;
    const int64_t latest = frame_exchange().latest_frame_serial.load();
    build_frame();
    EXPECT_EQ(frame_exchange().latest_frame_serial.load(), latest) << "paused: nothing built";
    resume_frame_building();
    build_frame();
    EXPECT_TRUE(newest_frame_matches_page(0));
}

TEST_F(FrameBuilder, PauseIsSkippedWithoutAutomaticDisplayOrThreads) {
    frame_exchange().auto_display.store(0);
    runtime_signals().threads_started.store(1);
    pause_frame_building();
    EXPECT_EQ(frame_exchange().frame_pause.load(), 0);
    frame_exchange().auto_display.store(1);
    runtime_signals().threads_started.store(0);
    pause_frame_building();
    EXPECT_EQ(frame_exchange().frame_pause.load(), 0);
}

}  // namespace
