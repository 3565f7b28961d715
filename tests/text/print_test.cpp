// Text output on the start-up screen (80x25, view rows 1-24). Expected screens are worked out by
// hand from the output rules: a character in the last column holds its line break pending when
// it ends a print without finish_line, and a break below the view scrolls only the view rows.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/errors.h"
#include "runtime/platform/platform.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print.h"
#include "runtime/text/screen.h"
#include "tests/support/fresh_text_runtime.h"
#include "tests/support/page_text.h"

namespace {

std::vector<int32_t> slept_ms;

void record_sleep(int32_t ms) { slept_ms.push_back(ms); }

class PrintTest : public testing::Test {
protected:
    void SetUp() override {
        fresh_text_runtime();
        slept_ms.clear();
        platform::seams().sleep_ms = record_sleep;
    }
    void TearDown() override { platform::reset_seams(); }
};

void move_to(int32_t row, int32_t column) {
    locate(row, column, 0, 0, 0, locate_row_given | locate_column_given);
    ASSERT_FALSE(error_pending()) << "locate " << row << "," << column;
}

// Labels every row "row N" so that moved rows can be recognised.
void label_rows() {
    for (int32_t row = 1; row <= 25; ++row) {
        move_to(row, 1);
        print_text("row " + std::to_string(row), 0);
    }
}

const std::string eighty(80, 'a');

struct WrapCase {
    const char* name;
    std::vector<std::pair<std::string, int32_t>> prints;  // text, finish_line
    int32_t row, column, wrap_state;
    int32_t reported_row, reported_column;                // cursor_row, cursor_column
    std::vector<std::string> first_rows;                  // rows 1.. as page_rows shows them
};

TEST_F(PrintTest, WrapAtTheRightEdge) {
    const WrapCase cases[] = {
        {"80 characters hold the break", {{eighty, 0}}, 1, 80, 1, 2, 1, {eighty, ""}},
        {"next text starts the next row", {{eighty, 0}, {"b", 0}}, 2, 2, 0, 2, 2,
         {eighty, "b", ""}},
        {"empty finish gives one break", {{eighty, 0}, {"", 1}, {"b", 0}}, 2, 2, 0, 2, 2,
         {eighty, "b", ""}},
        {"80 with finish_line break once", {{eighty, 1}, {"b", 0}}, 2, 2, 0, 2, 2,
         {eighty, "b", ""}},
        {"empty without finish keeps it", {{eighty, 0}, {"", 0}}, 1, 80, 1, 2, 1,
         {eighty, ""}},
        {"81 characters", {{eighty + "b", 0}}, 2, 2, 0, 2, 2, {eighty, "b", ""}},
        {"160 characters", {{eighty + eighty, 0}}, 2, 80, 1, 3, 1, {eighty, eighty, ""}},
        {"a short finished line", {{"ab", 1}}, 2, 1, 0, 2, 1, {"ab", ""}},
    };
    for (const WrapCase& c : cases) {
        SCOPED_TRACE(c.name);
        fresh_text_runtime();
        for (const auto& [text, finish] : c.prints) print_text(text, finish);
        const Image& page = target();
        EXPECT_EQ(page.row, c.row);
        EXPECT_EQ(page.column, c.column);
        EXPECT_EQ(page.wrap_state, c.wrap_state);
        EXPECT_EQ(cursor_row(), c.reported_row);
        EXPECT_EQ(cursor_column(), c.reported_column);
        const std::vector<std::string> rows = page_rows(page);
        for (size_t row = 0; row < c.first_rows.size(); ++row) {
            EXPECT_EQ(rows[row], c.first_rows[row]) << "row " << row + 1;
        }
    }
}

TEST_F(PrintTest, MakeFitBreaksOnlyWhenTheTextWouldPassTheEdge) {
    struct Case {
        int32_t column;
        int32_t length;
        bool breaks;
    };
    const Case cases[] = {
        {75, 10, true},    // 75 + 10 - 1 = 84 > 80
        {71, 10, false},   // 80, just fits
        {72, 10, true},
        {1, 10, false},
        {1, 200, false},   // from column 1 a long text simply wraps
        {2, 80, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("column " + std::to_string(c.column) + " length " +
                     std::to_string(c.length));
        fresh_text_runtime();
        move_to(3, c.column);
        print_fitted(std::string(static_cast<size_t>(c.length), 'x'));
        const std::vector<std::string> rows = page_rows(target());
        if (c.breaks) {
            EXPECT_EQ(rows[2], "");
            EXPECT_EQ(rows[3].substr(0, 5), "xxxxx");
        } else {
            EXPECT_EQ(rows[2].size(), static_cast<size_t>(std::min(80, c.column + c.length - 1)));
        }
    }
}

TEST_F(PrintTest, MakeFitLeavesAPendingWrapAlone) {
    print_text(eighty, 0);
    print_fitted("next");
    EXPECT_EQ(page_text(target(), 1, 3), eighty + "\nnext\n\n");
}

TEST_F(PrintTest, LineBreakOnTheViewBottomScrollsOnlyTheView) {
    label_rows();
    set_color(14, 1, 0, color_foreground_given | color_background_given);
    move_to(24, 1);
    print_text("", 1);
    const Image& page = target();
    const std::vector<std::string> rows = page_rows(page);
    for (int32_t row = 1; row <= 23; ++row) {
        EXPECT_EQ(rows[row - 1], "row " + std::to_string(row + 1));
    }
    EXPECT_TRUE(row_is_blank(page, 24, 0x1E));  // scrolled in with the current colours
    EXPECT_EQ(rows[24], "row 25");
    EXPECT_EQ(page.row, 24);
    EXPECT_EQ(page.column, 1);
}

TEST_F(PrintTest, ScrollingInsideAView) {
    label_rows();
    set_view_rows(5, 10, 1);
    move_to(10, 1);
    print_text("newrow", 1);  // written over "row 10", then the view scrolls
    const std::vector<std::string> rows = page_rows(target());
    const std::vector<std::string> expected_5_to_10 = {"row 6", "row 7", "row 8",
                                                       "row 9", "newrow", ""};
    for (int32_t row = 1; row <= 25; ++row) {
        const std::string expected = row >= 5 && row <= 10
                                         ? expected_5_to_10[row - 5]
                                         : "row " + std::to_string(row);
        EXPECT_EQ(rows[row - 1], expected) << "row " << row;
    }
    EXPECT_EQ(target().row, 10);
}

TEST_F(PrintTest, OneRowViewOnTheLastRowBlanksIt) {
    label_rows();
    set_view_rows(25, 25, 1);
    print_text("closing", 1);
    const std::vector<std::string> rows = page_rows(target());
    EXPECT_EQ(rows[24], "");
    EXPECT_EQ(rows[23], "row 24");
    EXPECT_EQ(target().row, 25);
}

TEST_F(PrintTest, BreakFromTheLastRowScrollsTheViewAndLandsOnItsBottom) {
    label_rows();
    move_to(25, 1);
    print_text("", 1);
    const std::vector<std::string> rows = page_rows(target());
    EXPECT_EQ(rows[0], "row 2");
    EXPECT_EQ(rows[23], "");
    EXPECT_EQ(rows[24], "row 25");
    EXPECT_EQ(target().row, 24);
}

TEST_F(PrintTest, TabStops) {
    struct Case {
        int32_t column;
        int32_t spaces;
        int32_t end_row, end_column, wrap_state;
    };
    const Case cases[] = {
        {1, 8, 3, 9, 0},
        {8, 1, 3, 9, 0},
        {9, 8, 3, 17, 0},
        {73, 8, 3, 80, 1},  // the last space fills column 80: the break is held
        {80, 1, 3, 80, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("tab at column " + std::to_string(c.column));
        fresh_text_runtime();
        move_to(3, 1);
        print_text(std::string(80, '.'), 0);
        move_to(3, c.column);
        print_text("\t", 0);
        const std::string expected = std::string(c.column - 1, '.') +
                                     std::string(c.spaces, ' ') +
                                     std::string(80 - (c.column - 1) - c.spaces, '.');
        EXPECT_EQ(row_text(target(), 3), expected);
        EXPECT_EQ(target().row, c.end_row);
        EXPECT_EQ(target().column, c.end_column);
        EXPECT_EQ(target().wrap_state, c.wrap_state);
    }
}

TEST_F(PrintTest, TabFillingTheLastColumnWrapsWhenMoreFollows) {
    move_to(3, 73);
    print_text("\tX", 0);
    EXPECT_EQ(cell_at(target(), 4, 1).character, 'X');
    EXPECT_EQ(target().row, 4);
    EXPECT_EQ(target().column, 2);
}

TEST_F(PrintTest, CursorControlCharactersAtTheEdges) {
    struct Case {
        const char* name;
        int32_t view_top, view_bottom;
        int32_t row, column;
        char code;
        int32_t end_row, end_column;
    };
    const Case cases[] = {
        {"right at the view bottom's end", 1, 24, 24, 80, 28, 24, 80},
        {"right at a row end", 1, 24, 10, 80, 28, 11, 1},
        {"right on the last row", 1, 24, 25, 79, 28, 25, 80},
        {"right on the last row's end", 1, 24, 25, 80, 28, 25, 80},
        {"left at the view top", 1, 24, 1, 1, 29, 1, 1},
        {"left at a row start", 1, 24, 10, 1, 29, 9, 80},
        {"left inside a row", 1, 24, 10, 5, 29, 10, 4},
        {"left at the start of the last row", 1, 24, 25, 1, 29, 25, 1},
        {"left at the top of a lower view", 5, 10, 5, 1, 29, 5, 1},
        {"up at the view top", 1, 24, 1, 7, 30, 1, 7},
        {"up inside the view", 1, 24, 10, 7, 30, 9, 7},
        {"up from the last row", 1, 24, 25, 7, 30, 25, 7},
        {"down at the view bottom", 1, 24, 24, 7, 31, 24, 7},
        {"down inside the view", 1, 24, 10, 7, 31, 11, 7},
        {"down from the last row", 1, 24, 25, 7, 31, 25, 7},
        {"home", 5, 10, 8, 40, 11, 5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh_text_runtime();
        set_view_rows(c.view_top, c.view_bottom, 1);
        move_to(c.row, c.column);
        print_text(std::string(1, c.code), 0);
        EXPECT_EQ(target().row, c.end_row);
        EXPECT_EQ(target().column, c.end_column);
        EXPECT_EQ(page_text(target()), std::string(25, '\n'));  // nothing is written
        EXPECT_FALSE(error_pending());
    }
}

TEST_F(PrintTest, BellSleepsAndWritesNothing) {
    move_to(5, 5);
    print_text("\a", 0);
    EXPECT_EQ(slept_ms, std::vector<int32_t>{250});
    EXPECT_EQ(page_text(target()), std::string(25, '\n'));
    EXPECT_EQ(target().row, 5);
    EXPECT_EQ(target().column, 5);
}

TEST_F(PrintTest, CarriageReturnAndLineFeedEachBreakTheLine) {
    print_text("a\r\nb\rc\nd", 0);
    EXPECT_EQ(page_text(target(), 1, 6), "a\n\nb\nc\nd\n\n");
}

TEST_F(PrintTest, FormFeedClearsTheViewAndGoesHome) {
    label_rows();
    set_view_rows(5, 10, 1);
    print_text("\fX", 0);
    const std::vector<std::string> rows = page_rows(target());
    EXPECT_EQ(rows[3], "row 4");
    EXPECT_EQ(rows[4], "X");
    EXPECT_EQ(rows[9], "");
    EXPECT_EQ(rows[10], "row 11");
    EXPECT_EQ(rows[24], "");  // the page's last row is cleared too
}

TEST_F(PrintTest, OtherControlCodesAreWrittenAsGlyphs) {
    const std::string codes = {0, 1, 2, 3, 4, 5, 6, 8, 14, 15, 16, 20, 27, '\xFF'};
    print_text(codes, 0);
    const std::string row = row_text(target(), 1);
    EXPECT_EQ(row.substr(0, codes.size()), codes);
    EXPECT_EQ(target().column, static_cast<int32_t>(codes.size()) + 1);
}

TEST_F(PrintTest, WrittenCellsTakeTheCurrentColours) {
    struct Case {
        int32_t foreground, background;
        uint8_t attribute;
    };
    const Case cases[] = {{8, 0, 0x08}, {14, 1, 0x1E}, {20, 3, 0xB4}, {14, 9, 0x1E}, {7, 0, 0x07}};
    for (const Case& c : cases) {
        SCOPED_TRACE("colours " + std::to_string(c.foreground) + " on " +
                     std::to_string(c.background));
        fresh_text_runtime();
        set_color(c.foreground, c.background, 0, color_foreground_given | color_background_given);
        print_text(eighty, 1);
        EXPECT_TRUE(row_has_attribute(target(), 1, c.attribute));
        EXPECT_TRUE(row_has_attribute(target(), 2, 0x07));  // not written
        move_to(24, 1);
        print_text("", 1);  // scroll: the new bottom row carries the colours
        EXPECT_TRUE(row_is_blank(target(), 24, c.attribute));
    }
}

TEST_F(PrintTest, PendingErrorMakesPrintANoOp) {
    raise_error(5);
    print_text("ignored", 1);
    EXPECT_EQ(page_text(target()), std::string(25, '\n'));
    EXPECT_EQ(target().row, 1);
    EXPECT_EQ(target().column, 1);
}

}  // namespace
