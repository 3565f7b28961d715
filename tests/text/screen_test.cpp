// Screen pages, the image table and page copies. Expected values come from the screen set-up
// rules: eight blank 80x25 pages in the text video area, 4,096 bytes apart, page 0 shown.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "runtime/core/errors.h"
#include "runtime/display/palette.h"
#include "runtime/input/low_memory.h"
#include "runtime/text/cursor.h"
#include "runtime/text/frame_hooks.h"
#include "runtime/text/private/screen_internal.h"
#include "runtime/text/screen.h"
#include "tests/support/fresh_text_runtime.h"
#include "tests/support/page_text.h"

namespace {

class ScreenTest : public testing::Test {
protected:
    void SetUp() override { fresh_text_runtime(); }
};

const std::string blank_screen(25, '\n');

TEST_F(ScreenTest, StartUpMakesEightBlankPagesInTheTextVideoArea) {
    const ScreenState& screen = screen_state();
    ASSERT_EQ(screen.pages.count, 8);
    const uint8_t* video_area = low_memory() + text_video_offset;
    for (int32_t page = 0; page < 8; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        const int32_t slot = screen.pages.slots[page];
        EXPECT_EQ(slot, 2 + page);  // slots 0 and 1 are reserved
        const Image& image = *image_record(slot);
        EXPECT_EQ(image.width, 80);
        EXPECT_EQ(image.height, 25);
        EXPECT_EQ(image.is_text, 1);
        EXPECT_EQ(image.font, 16u);
        EXPECT_EQ(image.colour_mask, 0xFFFFu);
        EXPECT_EQ(image.flags & image_is_page, image_is_page);
        EXPECT_EQ(image.flags & image_owns_cells, 0u);
        EXPECT_EQ(image.flags & image_owns_palette, image_owns_palette);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(image.cells), video_area + page * 4096);
        EXPECT_EQ(page_text(image), blank_screen);
        for (int32_t row = 1; row <= 25; ++row) EXPECT_TRUE(row_is_blank(image, row));
    }
    // The whole area is blank, including the 96 bytes between pages.
    for (size_t offset = 0; offset < text_video_size; offset += 2) {
        ASSERT_EQ(video_area[offset], 0x20) << offset;
        ASSERT_EQ(video_area[offset + 1], 0x07) << offset;
    }
}

TEST_F(ScreenTest, StartUpShowsAndWritesPageZeroWithItsCursorHidden) {
    const Image& page_0 = page_record(0);
    EXPECT_EQ(write_target_image(), &page_0);
    EXPECT_EQ(visible_image(), &page_0);
    EXPECT_EQ(write_target_handle(), -2);
    EXPECT_EQ(visible_page_handle(), -2);
    EXPECT_EQ(page_0.view_top, 1);
    EXPECT_EQ(page_0.view_bottom, 24);
    EXPECT_EQ(page_0.row, 1);
    EXPECT_EQ(page_0.column, 1);
    EXPECT_EQ(page_0.cursor_visible, 0);
    EXPECT_EQ(page_0.cursor_start, 4);
    EXPECT_EQ(page_0.cursor_stop, 4);
    EXPECT_EQ(page_0.foreground, 7u);
    EXPECT_EQ(page_0.background, 0u);
    EXPECT_EQ(page_0.wrap_state, 0);
    EXPECT_EQ(page_0.transparent_colour, -1);
    for (int32_t entry = 0; entry < 256; ++entry) {
        EXPECT_EQ(page_0.palette[entry], entry < 16 ? default_palette()[entry] : 0u) << entry;
    }
}

TEST_F(ScreenTest, AttributeLayoutPutsBlinkInBitSeven) {
    // Hand computation: (f AND 15) OR (b << 4) OR ((f AND 16) << 3).
    EXPECT_EQ(text_attribute(20, 3), 0xB4);
    EXPECT_EQ(text_attribute(14, 1), 0x1E);
    EXPECT_EQ(text_attribute(8, 0), 0x08);
    EXPECT_EQ(text_attribute(31, 7), 0xFF);
}

TEST_F(ScreenTest, CopyPageRoundTripRestoresCellsButNotCursorOrColours) {
    print_text("first line", 1);
    const std::string saved = page_text(page_record(0));
    copy_page(0, 1);
    EXPECT_EQ(page_text(page_record(1)), saved);
    EXPECT_EQ(page_record(1).row, 1);  // only cells travel

    set_color(14, 1, 0, color_foreground_given | color_background_given);
    print_text("scribbled over", 0);
    ASSERT_NE(page_text(page_record(0)), saved);
    copy_page(1, 0);

    const Image& page_0 = page_record(0);
    EXPECT_EQ(page_text(page_0), saved);
    EXPECT_TRUE(row_has_attribute(page_0, 2, 0x07));
    EXPECT_EQ(page_0.row, 2);
    EXPECT_EQ(page_0.column, 15);
    EXPECT_EQ(page_0.foreground, 14u);
    EXPECT_FALSE(error_pending());
}

TEST_F(ScreenTest, CopyPageOntoItselfDoesNothing) {
    print_text("unchanged", 0);
    copy_page(0, 0);
    EXPECT_FALSE(error_pending());
    EXPECT_EQ(page_rows(page_record(0))[0], "unchanged");
}

TEST_F(ScreenTest, CopyPageToPageTwelveCreatesItAndLeavesTheGapEmpty) {
    print_text("to twelve", 0);
    copy_page(0, 12);
    EXPECT_FALSE(error_pending());
    const ScreenState& screen = screen_state();
    ASSERT_EQ(screen.pages.count, 13);
    for (int32_t page = 8; page <= 11; ++page) EXPECT_EQ(screen.pages.slots[page], 0) << page;
    const Image& page_12 = *image_record(screen.pages.slots[12]);
    EXPECT_EQ(page_rows(page_12)[0], "to twelve");
    // Pages made later have storage of their own and share page 0's palette.
    EXPECT_EQ(page_12.flags & (image_owns_cells | image_is_page | image_owns_palette),
              image_owns_cells | image_is_page);
    EXPECT_EQ(page_12.palette, page_record(0).palette);
    EXPECT_EQ(page_12.view_bottom, 24);
}

TEST_F(ScreenTest, ReleasedHandleIsRejectedByCopyAndByWriteTarget) {
    const int32_t handle = new_image(80, 25, 0, false);
    ASSERT_LT(handle, 0);
    ASSERT_EQ(free_image(-handle), 1);

    copy_page(handle, 0);
    EXPECT_EQ(pending_error(), 5u);
    reset_error_state();
    set_write_target(handle);
    EXPECT_EQ(pending_error(), 258u);
    reset_error_state();
    copy_page(0, -4000);  // never handed out
    EXPECT_EQ(pending_error(), 5u);
}

TEST_F(ScreenTest, CopyPageRejectsADifferentShape) {
    const int32_t handle = new_image(40, 25, 0, true);
    ASSERT_LT(handle, 0);
    copy_page(0, handle);
    EXPECT_EQ(pending_error(), 5u);
}

TEST_F(ScreenTest, NewImageChecksItsArgumentsAndCopiesTheTargetsColours) {
    new_image(0, 25, 0, false);
    EXPECT_EQ(pending_error(), 5u);
    reset_error_state();
    new_image(80, 25, 3, true);
    EXPECT_EQ(pending_error(), 5u);
    reset_error_state();

    set_color(20, 3, 0, color_foreground_given | color_background_given);
    const int32_t handle = new_image(80, 25, 0, false);
    ASSERT_FALSE(error_pending());
    const Image& image = *image_record(-handle);
    EXPECT_EQ(image.is_text, 1);
    EXPECT_EQ(image.foreground, 20u);
    EXPECT_EQ(image.background, 3u);
    EXPECT_EQ(page_text(image), blank_screen);
    EXPECT_TRUE(row_is_blank(image, 25));
}

TEST_F(ScreenTest, FirstImageIsSlotTwoAndReleasedSlotsAreReusedLastFirst) {
    init_image_table();
    const int32_t first = new_image(10, 10, 0, true);
    const int32_t second = new_image(10, 10, 0, true);
    const int32_t third = new_image(10, 10, 0, true);
    EXPECT_EQ(first, -2);
    EXPECT_EQ(second, -3);
    EXPECT_EQ(third, -4);
    free_image(3);
    free_image(2);
    EXPECT_EQ(new_image(10, 10, 0, true), -2);
    EXPECT_EQ(new_image(10, 10, 0, true), -3);
    EXPECT_EQ(new_image(10, 10, 0, true), -5);
}

TEST_F(ScreenTest, TableGrowsByWholeStepsAndKeepsRecordsInPlace) {
    const Image* page_0 = &page_record(0);
    const int32_t before = image_table().capacity;
    int32_t last = 0;
    for (int32_t index = 0; index < image_table_step; ++index) last = new_image(1, 1, 0, true);
    EXPECT_EQ(image_table().capacity, before + image_table_step);
    EXPECT_EQ(last, -(10 + image_table_step - 1));
    EXPECT_EQ(&page_record(0), page_0);
    EXPECT_FALSE(error_pending());
}

TEST_F(ScreenTest, PendingErrorMakesScreenOperationsNoOps) {
    raise_error(5);
    copy_page(0, 12);
    EXPECT_EQ(screen_state().pages.count, 8);
    set_write_target(1);
    EXPECT_EQ(write_target_handle(), -2);
    EXPECT_EQ(new_image(10, 10, 0, true), 0);
    set_screen_mode(0, 0, 1, 1, 0, 4 | 8);
    EXPECT_EQ(visible_page_handle(), -2);
}

TEST_F(ScreenTest, ScreenModeSelectsPagesAndRejectsBadArguments) {
    set_screen_mode(0, 0, 1, 0, 0, 4 | 8);
    EXPECT_EQ(write_target_handle(), -3);
    EXPECT_EQ(visible_page_handle(), -2);
    set_screen_mode(0, 0, 2, 0, 0, 4);  // visible follows active when not given
    EXPECT_EQ(write_target_handle(), -4);
    EXPECT_EQ(visible_page_handle(), -4);
    EXPECT_FALSE(error_pending());

    struct Case {
        int32_t mode, active, visible;
        uint32_t mask;
        uint32_t error;
    };
    const Case cases[] = {
        {3, 0, 0, 1, 5}, {6, 0, 0, 1, 5}, {14, 0, 0, 1, 5},
        {0, -1, 0, 4, 5}, {0, 0, -1, 8, 5}, {-4000, 0, 0, 1, 258}, {-9, 0, 0, 1, 5},
    };
    for (const Case& c : cases) {
        reset_error_state();
        set_screen_mode(c.mode, 0, c.active, c.visible, 0, c.mask);
        EXPECT_EQ(pending_error(), c.error) << "mode " << c.mode << " active " << c.active
                                            << " visible " << c.visible;
        EXPECT_EQ(write_target_handle(), -4);
    }
}

TEST_F(ScreenTest, SetWriteTargetMakesPagesOnDemand) {
    set_write_target(9);
    EXPECT_FALSE(error_pending());
    EXPECT_EQ(screen_state().pages.count, 10);
    print_text("on nine", 0);
    EXPECT_EQ(page_rows(page_record(9))[0], "on nine");
    EXPECT_EQ(page_text(page_record(0)), blank_screen);
    set_write_target(visible_page_handle());
    EXPECT_EQ(write_target_image(), visible_image());
}

struct HookCounts {
    int32_t paused = 0, resumed = 0, invalidated = 0;
    bool paused_while_building = false;
};
HookCounts hook_counts;

TEST_F(ScreenTest, FrameBuilderIsHeldOffOnlyAroundARecreation) {
    const FrameBuilderHooks saved = frame_builder_hooks();
    hook_counts = HookCounts{};
    frame_builder_hooks() = FrameBuilderHooks{
        [] { ++hook_counts.paused; },
        [] { ++hook_counts.resumed; },
        [] {
            ++hook_counts.invalidated;
            hook_counts.paused_while_building = hook_counts.paused > hook_counts.resumed;
        },
    };

    print_text("survives", 0);
    set_screen_mode(0, 0, 0, 0, 0, 1);  // the same mode again: nothing to do
    EXPECT_EQ(hook_counts.invalidated, 0);
    EXPECT_EQ(page_rows(page_record(0))[0], "survives");

    locate(26, 1, 0, 0, 0, locate_row_given);  // the 50-row switch re-creates the screen
    EXPECT_EQ(hook_counts.paused, 1);
    EXPECT_EQ(hook_counts.resumed, 1);
    EXPECT_EQ(hook_counts.invalidated, 1);
    EXPECT_TRUE(hook_counts.paused_while_building);

    set_screen_mode(0, 0, 0, 1, 0, 4 | 8);  // a page selection clears the comparison only
    EXPECT_EQ(hook_counts.invalidated, 2);
    EXPECT_EQ(hook_counts.paused, 1);
    EXPECT_EQ(visible_image(), &page_record(1));

    frame_builder_hooks() = saved;
}

}  // namespace
