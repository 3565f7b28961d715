// Cursor placement, colours, clearing and view rows on the start-up screen (80x25, view 1-24).
// Expected values follow the statements' checks and the attribute layout worked out by hand.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/errors.h"
#include "runtime/input/low_memory.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print.h"
#include "runtime/text/private/screen_internal.h"
#include "runtime/text/screen.h"
#include "tests/support/fresh_text_runtime.h"
#include "tests/support/page_text.h"

namespace {

constexpr uint32_t row_and_column = locate_row_given | locate_column_given;
constexpr uint32_t both_colours = color_foreground_given | color_background_given;

class CursorTest : public testing::Test {
protected:
    void SetUp() override { fresh_text_runtime(); }
};

void label_rows(int32_t last_row = 25) {
    for (int32_t row = 1; row <= last_row; ++row) {
        locate(row, 1, 0, 0, 0, row_and_column);
        print_text("row " + std::to_string(row), 0);
    }
    ASSERT_FALSE(error_pending());
}

// The parts of the write target a rejected statement must leave alone.
struct CursorSnapshot {
    int32_t row, column, wrap_state, view_top, view_bottom, foreground, background;
    int32_t cursor_visible, cursor_start, cursor_stop, width, height;
    bool operator==(const CursorSnapshot&) const = default;
};

CursorSnapshot snapshot() {
    const Image& image = target();
    return {image.row,        image.column,         image.wrap_state,   image.view_top,
            image.view_bottom, static_cast<int32_t>(image.foreground),
            static_cast<int32_t>(image.background), image.cursor_visible, image.cursor_start,
            image.cursor_stop, image.width,          image.height};
}

TEST_F(CursorTest, LocateToTheLastRowIsAllowedBelowTheView) {
    locate(25, 3, 0, 0, 0, row_and_column);
    EXPECT_FALSE(error_pending());
    EXPECT_EQ(target().row, 25);
    EXPECT_EQ(target().column, 3);
    EXPECT_EQ(target().height, 25);
}

TEST_F(CursorTest, LocateToRowTwentySixSwitchesToFiftyRowsKeepingTextAndColours) {
    label_rows();
    set_color(14, 1, 0, both_colours);
    locate(3, 1, 0, 0, 0, row_and_column);
    print_text("yellow", 0);
    const std::vector<std::string> before = page_rows(target());

    locate(26, 10, 0, 0, 0, row_and_column);
    ASSERT_FALSE(error_pending());

    const Image& page_0 = target();
    EXPECT_EQ(&page_0, visible_image());
    EXPECT_EQ(page_0.width, 80);
    EXPECT_EQ(page_0.height, 50);
    EXPECT_EQ(page_0.font, 8u);
    EXPECT_EQ(page_0.view_bottom, 49);
    EXPECT_EQ(page_0.row, 26);
    EXPECT_EQ(page_0.column, 10);
    EXPECT_EQ(page_0.foreground, 14u);
    EXPECT_EQ(page_0.background, 1u);
    const std::vector<std::string> after = page_rows(page_0);
    for (int32_t row = 1; row <= 25; ++row) EXPECT_EQ(after[row - 1], before[row - 1]) << row;
    for (int32_t row = 26; row <= 50; ++row) EXPECT_TRUE(row_is_blank(page_0, row)) << row;
    EXPECT_EQ(attribute_at(page_0, 3, 1), 0x1E);
    EXPECT_EQ(attribute_at(page_0, 4, 1), 0x07);
    // Eight 80x50 pages now lie 8,000 bytes apart in the text video area.
    const ScreenState& screen = screen_state();
    ASSERT_EQ(screen.pages.count, 8);
    const Image& page_7 = *image_record(screen.pages.slots[7]);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(page_7.cells),
              low_memory() + text_video_offset + 7 * 8000);
    EXPECT_EQ(page_7.height, 50);

    // The permission is used up: a row below the new view other than 50 is refused.
    locate(51, 1, 0, 0, 0, row_and_column);
    EXPECT_EQ(pending_error(), 5u);
    reset_error_state();
    locate(50, 1, 0, 0, 0, row_and_column);  // the page's last row is fine
    EXPECT_FALSE(error_pending());
}

TEST_F(CursorTest, FiftyRowPermissionIsSpentEvenWhenTheRequestFails) {
    struct Case {
        const char* name;
        int32_t row, column;
        uint32_t mask;
    };
    const Case cases[] = {
        {"row 51", 51, 1, row_and_column},
        {"row 26 with column 81", 26, 81, row_and_column},
        {"row 26 with column 0", 26, 0, row_and_column},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh_text_runtime();
        const CursorSnapshot before = snapshot();
        locate(c.row, c.column, 0, 0, 0, c.mask);
        EXPECT_EQ(pending_error(), 5u);
        EXPECT_EQ(snapshot(), before);
        reset_error_state();
        locate(26, 1, 0, 0, 0, row_and_column);
        EXPECT_EQ(pending_error(), 5u) << "the permission must be gone";
        EXPECT_EQ(target().height, 25);
    }
}

TEST_F(CursorTest, ChecksAfterTheSwitchMayStillFailButTheSwitchStays) {
    locate(26, 1, 2, 0, 0, locate_row_given | locate_cursor_shown_given);
    EXPECT_EQ(pending_error(), 5u);
    EXPECT_EQ(target().height, 50);
}

TEST_F(CursorTest, ScreenModeOtherThanThePlainSetUpWithdrawsThePermission) {
    set_screen_mode(0, 0, 0, 0, 0, 1);  // the plain set-up keeps it
    set_screen_mode(0, 0, 1, 0, 0, 4 | 8);
    set_screen_mode(0, 0, 0, 0, 0, 4 | 8);
    ASSERT_FALSE(error_pending());
    locate(26, 1, 0, 0, 0, row_and_column);
    EXPECT_EQ(pending_error(), 5u);
}

TEST_F(CursorTest, LocateRejectsBadArgumentsWithoutChangingAnything) {
    struct Case {
        const char* name;
        int32_t view_top;
        int32_t row, column, shown, start, stop;
        uint32_t mask;
    };
    const Case cases[] = {
        {"row 0", 1, 0, 1, 0, 0, 0, locate_row_given},
        {"row above the view", 5, 1, 1, 0, 0, 0, locate_row_given},
        {"column 0", 1, 1, 0, 0, 0, 0, locate_column_given},
        {"column 81", 1, 1, 81, 0, 0, 0, locate_column_given},
        {"cursor shown 2", 1, 1, 1, 2, 0, 0, row_and_column | locate_cursor_shown_given},
        {"cursor shown -1", 1, 1, 1, -1, 0, 0, locate_cursor_shown_given},
        {"start 32", 1, 1, 1, 0, 32, 0, row_and_column | locate_cursor_start_given},
        {"stop -1", 1, 1, 1, 0, 0, -1, row_and_column | locate_cursor_stop_given},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh_text_runtime();
        set_view_rows(c.view_top, 24, 1);
        locate(c.view_top + 1, 7, 0, 0, 0, row_and_column);
        const CursorSnapshot before = snapshot();
        locate(c.row, c.column, c.shown, c.start, c.stop, c.mask);
        EXPECT_EQ(pending_error(), 5u);
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(CursorTest, LocateWithoutRowOrColumnTurnsAPendingWrapIntoTwo) {
    print_text(std::string(80, 'a'), 0);
    ASSERT_EQ(target().wrap_state, 1);
    locate(0, 0, 1, 0, 0, locate_cursor_shown_given);
    EXPECT_EQ(target().wrap_state, 2);
    EXPECT_EQ(target().row, 1);
    EXPECT_EQ(target().column, 80);
    print_text("b", 0);  // 2 breaks the line like 1
    EXPECT_EQ(page_text(target(), 1, 2), std::string(80, 'a') + "\nb\n");

    print_text(std::string(79, 'c'), 0);
    ASSERT_EQ(target().wrap_state, 1);
    locate(0, 5, 0, 0, 0, locate_column_given);
    EXPECT_EQ(target().wrap_state, 0);
}

TEST_F(CursorTest, CursorShapeAndVisibilityReachEveryPage) {
    locate(0, 0, 1, 2, 9,
           locate_cursor_shown_given | locate_cursor_start_given | locate_cursor_stop_given);
    locate(0, 0, 0, 0, 11, locate_cursor_stop_given);
    const PageList& pages = screen_state().pages;
    for (int32_t page = 0; page < pages.count; ++page) {
        const Image& image = *image_record(pages.slots[page]);
        EXPECT_EQ(image.cursor_visible, 1) << page;
        EXPECT_EQ(image.cursor_start, 2) << page;
        EXPECT_EQ(image.cursor_stop, 11) << page;
    }
}

TEST_F(CursorTest, SetColorChecksAndStoresColours) {
    struct Case {
        int32_t foreground, background;
        uint32_t mask;
        uint32_t error;
        uint32_t stored_foreground, stored_background;
    };
    const Case cases[] = {
        {8, 0, both_colours, 0, 8, 0},
        {14, 1, both_colours, 0, 14, 1},
        {20, 3, both_colours, 0, 20, 3},
        {14, 9, both_colours, 0, 14, 1},   // 8-15 give the colours 0-7
        {31, 15, both_colours, 0, 31, 7},
        {32, 1, both_colours, 5, 7, 0},
        {-1, 1, both_colours, 5, 7, 0},
        {1, 16, both_colours, 5, 7, 0},
        {1, -1, both_colours, 5, 7, 0},
        {12, 99, color_foreground_given, 0, 12, 0},  // a background not given is not checked
        {99, 4, color_background_given, 0, 7, 4},
        {99, 99, color_border_given, 0, 7, 0},       // the border has no effect
        {99, 99, 0, 0, 7, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.foreground) + " on " + std::to_string(c.background) +
                     " mask " + std::to_string(c.mask));
        fresh_text_runtime();
        set_color(c.foreground, c.background, 5, c.mask);
        EXPECT_EQ(pending_error(), c.error);
        EXPECT_EQ(target().foreground, c.stored_foreground);
        EXPECT_EQ(target().background, c.stored_background);
    }
}

TEST_F(CursorTest, ColoursApplyOnlyToLaterCells) {
    print_text("before", 0);
    set_color(14, 1, 0, both_colours);
    print_text("after", 0);
    EXPECT_EQ(attribute_at(target(), 1, 1), 0x07);
    EXPECT_EQ(attribute_at(target(), 1, 7), 0x1E);
}

TEST_F(CursorTest, ClearScreenOnTheStartUpViewBlanksEveryRow) {
    label_rows();
    set_color(7, 1, 0, both_colours);
    clear_screen(0, 0, 0);
    for (int32_t row = 1; row <= 25; ++row) EXPECT_TRUE(row_is_blank(target(), row, 0x17));
    EXPECT_EQ(target().row, 1);
    EXPECT_EQ(target().column, 1);
}

TEST_F(CursorTest, ClearScreenMethodsWithTheViewFiveToTen) {
    struct Case {
        const char* name;
        int32_t method;
        uint32_t mask;
        std::vector<int32_t> blank_rows;
    };
    const Case cases[] = {
        {"no method", 0, 0, {5, 6, 7, 8, 9, 10, 25}},
        {"method 0", 0, clear_method_given, {}},  // every row, filled in below
        {"method 1", 1, clear_method_given, {}},
        {"method 2", 2, clear_method_given, {5, 6, 7, 8, 9, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh_text_runtime();
        label_rows();
        set_view_rows(5, 10, 1);
        locate(8, 30, 0, 0, 0, row_and_column);
        clear_screen(c.method, 0, c.mask);
        ASSERT_FALSE(error_pending());
        std::vector<int32_t> blank = c.blank_rows;
        if (c.method == 0 && c.mask != 0) {
            for (int32_t row = 1; row <= 25; ++row) blank.push_back(row);
        }
        const std::vector<std::string> rows = page_rows(target());
        for (int32_t row = 1; row <= 25; ++row) {
            const bool blanked = std::find(blank.begin(), blank.end(), row) != blank.end();
            EXPECT_EQ(rows[row - 1], blanked ? "" : "row " + std::to_string(row))
                << "row " << row;
        }
        EXPECT_EQ(target().row, 5);  // every method, method 1 too
        EXPECT_EQ(target().column, 1);
    }
}

TEST_F(CursorTest, ClearScreenFillColourAndItsChecks) {
    set_color(20, 2, 0, both_colours);
    clear_screen(0, 0x0C, clear_method_given | clear_fill_given);  // only the low 3 bits: 4
    EXPECT_TRUE(row_is_blank(target(), 1, 0xC4));
    EXPECT_TRUE(row_is_blank(target(), 25, 0xC4));
    EXPECT_EQ(target().background, 2u);  // the fill does not change the background

    struct Case {
        int32_t method, fill;
        uint32_t mask;
    };
    const Case rejected[] = {
        {0, 0x10000, clear_fill_given}, {0, -1, clear_fill_given},
        {3, 0, clear_method_given},     {-1, 0, clear_method_given},
    };
    for (const Case& c : rejected) {
        SCOPED_TRACE("method " + std::to_string(c.method) + " fill " + std::to_string(c.fill));
        reset_error_state();
        print_text("kept", 0);
        clear_screen(c.method, c.fill, c.mask);
        EXPECT_EQ(pending_error(), 5u);
        EXPECT_EQ(page_rows(target())[0].substr(0, 4), "kept");
    }
}

TEST_F(CursorTest, ClearScreenKeepsAPendingWrap) {
    print_text(std::string(80, 'a'), 0);
    clear_screen(0, 0, 0);
    print_text("x", 0);
    EXPECT_EQ(page_text(target(), 1, 3), "\nx\n\n");
}

TEST_F(CursorTest, SetViewRowsChecksItsRowsAndResetsTheCursor) {
    struct Case {
        int32_t top, bottom;
    };
    const Case rejected[] = {{0, 10}, {5, 4}, {5, 26}, {26, 26}, {-3, 2}};
    for (const Case& c : rejected) {
        SCOPED_TRACE(std::to_string(c.top) + " to " + std::to_string(c.bottom));
        fresh_text_runtime();
        locate(3, 4, 0, 0, 0, row_and_column);
        const CursorSnapshot before = snapshot();
        set_view_rows(c.top, c.bottom, 1);
        EXPECT_EQ(pending_error(), 5u);
        EXPECT_EQ(snapshot(), before);
    }

    fresh_text_runtime();
    print_text(std::string(85, 'a'), 0);
    set_view_rows(25, 25, 1);
    EXPECT_EQ(target().row, 25);
    EXPECT_EQ(target().column, 1);
    set_view_rows(0, 0, 0);
    EXPECT_EQ(target().view_top, 1);
    EXPECT_EQ(target().view_bottom, 25);  // the whole page, last row included
    EXPECT_EQ(target().row, 1);
    EXPECT_EQ(page_rows(target())[1], "aaaaa");  // cells are not touched
}

TEST_F(CursorTest, CursorQueriesCountAPendingWrapAsDone) {
    struct Case {
        int32_t row;
        int32_t reported_row;
    };
    const Case cases[] = {{24, 24}, {12, 13}, {1, 2}, {25, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE("row " + std::to_string(c.row));
        fresh_text_runtime();
        locate(c.row, 80, 0, 0, 0, row_and_column);
        print_text("z", 0);
        ASSERT_EQ(target().wrap_state, 1);
        EXPECT_EQ(cursor_row(), c.reported_row);
        EXPECT_EQ(cursor_column(), 1);
    }
    fresh_text_runtime();
    locate(7, 33, 0, 0, 0, row_and_column);
    EXPECT_EQ(cursor_row(), 7);
    EXPECT_EQ(cursor_column(), 33);
}

TEST_F(CursorTest, PageWidth) {
    EXPECT_EQ(page_width(0, 0), 80);
    EXPECT_EQ(page_width(3, 1), 80);
    EXPECT_EQ(page_width(20, 1), 80);
    EXPECT_EQ(screen_state().pages.count, 21);  // page 20 was made
    const int32_t handle = new_image(33, 5, 0, true);
    EXPECT_EQ(page_width(handle, 1), 33);
    free_image(-handle);
    EXPECT_EQ(page_width(handle, 1), 0);
    EXPECT_EQ(pending_error(), 258u);
    EXPECT_EQ(page_width(0, 0), 0);  // pending error
}

TEST_F(CursorTest, FarOffPageNumbersDoNotBringTheProcessDown) {
    // The list either grows (address space only) or the request fails with "Out of memory".
    for (const int32_t page : {400'000'000, 2'147'483'646, 2'147'483'647}) {
        fresh_text_runtime();
        const int32_t width = page_width(page, 1);
        EXPECT_TRUE((width == 80 && !error_pending()) || (width == 0 && pending_error() == 7u))
            << "page " << page << " width " << width << " error " << pending_error();
    }
    reset_error_state();
    EXPECT_EQ(page_width(1, 1), 80);  // the screen still works
}

TEST_F(CursorTest, PendingErrorMakesStatementsNoOps) {
    raise_error(5);
    const CursorSnapshot before = snapshot();
    locate(5, 5, 1, 1, 1, 31);
    set_color(14, 1, 0, both_colours);
    set_view_rows(5, 10, 1);
    print_text("ignored", 0);
    clear_screen(0, 4, clear_method_given | clear_fill_given);
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(row_is_blank(target(), 1));
}

}  // namespace
