// Random byte strings (every control character included) printed with random views, colours,
// cursor positions, write targets and make_fit calls. After every statement:
//   - the cursor is on the write target's page, the view lies inside the page, a pending wrap
//     sits in the last column;
//   - no other page changed (each starts filled with its own mark);
//   - rows outside the view did not change, except the last row when the cursor stood on it or
//     a form feed blanked it;
//   - print_string and make_fit never raise an error.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print.h"
#include "runtime/text/screen.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int32_t page_count = 8;

Image& page(int32_t n) { return *image_record(page_image(n)); }

std::vector<TextCell> cells_of(const Image& image) {
    return {image.cells, image.cells + static_cast<size_t>(image.width) * image.height};
}

bool same_cell(const TextCell& a, const TextCell& b) {
    return a.character == b.character && a.attribute == b.attribute;
}

bool same_row(const std::vector<TextCell>& a, const std::vector<TextCell>& b, int32_t width,
              int32_t row) {
    for (int32_t c = 0; c < width; ++c) {
        const size_t i = static_cast<size_t>((row - 1) * width + c);
        if (!same_cell(a[i], b[i])) return false;
    }
    return true;
}

void check_cursor(const Image& t, const char* after) {
    FUZZ_CHECK(t.row >= 1 && t.row <= t.height && t.column >= 1 && t.column <= t.width,
               "after %s: cursor at row %d column %d on a %dx%d page", after, t.row, t.column,
               t.width, t.height);
    FUZZ_CHECK(t.view_top >= 1 && t.view_top <= t.view_bottom && t.view_bottom <= t.height,
               "after %s: view %d-%d on %d rows", after, t.view_top, t.view_bottom, t.height);
    FUZZ_CHECK(t.wrap_state <= 2, "after %s: wrap_state %d", after, t.wrap_state);
    FUZZ_CHECK(t.wrap_state == 0 || t.column == t.width, "after %s: wrap pending in column %d",
               after, t.column);
}

// Fills every page but the write target with a pattern of its own, so a stray write shows.
void mark_other_pages(int32_t target_page) {
    for (int32_t n = 0; n < page_count; ++n) {
        if (n == target_page) continue;
        Image& p = page(n);
        for (int32_t i = 0; i < p.width * p.height; ++i) {
            p.cells[i] = {static_cast<uint8_t>('A' + n), static_cast<uint8_t>(0x10 + n)};
        }
    }
}

void check_other_pages(int32_t target_page, const char* after) {
    for (int32_t n = 0; n < page_count; ++n) {
        if (n == target_page) continue;
        const Image& p = page(n);
        for (int32_t i = 0; i < p.width * p.height; ++i) {
            FUZZ_CHECK(p.cells[i].character == 'A' + n && p.cells[i].attribute == 0x10 + n,
                       "after %s on page %d: page %d changed at cell %d", after, target_page, n, i);
        }
    }
}

std::string random_text(FuzzedDataProvider& data) {
    // Now and then a long text, to wrap and scroll many times over.
    const size_t limit = data.ConsumeIntegralInRange(0, 15) == 0 ? 3'000 : 120;
    return data.ConsumeRandomLengthString(limit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    fresh_fuzz_screen();
    FuzzedDataProvider data(bytes, size);

    // locate's one-time switch to 80x50 re-creates every page, so it is used up here, before the
    // pages are marked: either taken (the rest of the input runs on 50-row pages) or spent on a
    // row past 50, which only raises 5.
    if (data.ConsumeBool()) {
        locate(data.ConsumeIntegralInRange(26, 50), 1, 0, 0, 0, locate_row_given | locate_column_given);
        FUZZ_CHECK(!error_pending() && page(0).width == 80 && page(0).height == 50,
                   "the 50-row switch gave a %dx%d page 0, error %u", page(0).width, page(0).height,
                   pending_error());
    } else {
        locate(51, 1, 0, 0, 0, locate_row_given);
        FUZZ_CHECK(pending_error() == error_illegal_function_call, "locate(51) raised %u", pending_error());
    }
    reset_error_state();

    // The write target: a page other than the visible one now and then.
    const int32_t target_page = data.ConsumeIntegralInRange(0, page_count - 1);
    set_write_target(target_page);
    FUZZ_CHECK(!error_pending(), "set_write_target(%d) raised %u", target_page, pending_error());
    mark_other_pages(target_page);

    while (data.remaining_bytes() > 0) {
        Image& t = *write_target_image();
        switch (data.ConsumeIntegralInRange(0, 6)) {
            case 0: {  // a view, valid or not
                const int32_t top = data.ConsumeIntegralInRange(0, 52);
                const int32_t bottom = data.ConsumeIntegralInRange(0, 52);
                set_view_rows(top, bottom, data.ConsumeBool() ? 1 : 0);
                break;
            }
            case 1: {  // a cursor position, valid or not
                const int32_t row = data.ConsumeIntegralInRange(-1, 52);
                const int32_t column = data.ConsumeIntegralInRange(-1, 82);
                const uint32_t given = data.ConsumeIntegralInRange<uint32_t>(0, 3);
                locate(row, column, 0, 0, 0, given);
                break;
            }
            case 2: {
                const int32_t foreground = data.ConsumeIntegralInRange(0, 33);
                const int32_t background = data.ConsumeIntegralInRange(0, 16);
                set_color(foreground, background, 0, data.ConsumeIntegralInRange<uint32_t>(0, 3));
                break;
            }
            default: {  // a print step
                const std::string text = random_text(data);
                const bool fit = data.ConsumeBool();
                const int32_t finish_line = data.ConsumeBool() ? 1 : 0;
                const std::vector<TextCell> before = cells_of(t);
                const bool on_last_row = t.row == t.height;
                const int32_t view_top = t.view_top, view_bottom = t.view_bottom;
                const uint32_t mark = temp_mark();
                RtString* s = string_from_literal(text);
                if (fit) make_fit(s);
                print_string(s, finish_line);
                release_temporaries(mark);
                FUZZ_CHECK(!error_pending(), "printing raised %u", pending_error());
                check_cursor(t, "print_string");
                FUZZ_CHECK(t.view_top == view_top && t.view_bottom == view_bottom,
                           "printing moved the view from %d-%d to %d-%d", view_top, view_bottom,
                           t.view_top, t.view_bottom);
                const std::vector<TextCell> after = cells_of(t);
                const bool form_feed = text.find('\f') != std::string::npos;
                for (int32_t row = 1; row <= t.height; ++row) {
                    if (row >= view_top && row <= view_bottom) continue;
                    if (row == t.height && (on_last_row || form_feed)) continue;
                    FUZZ_CHECK(same_row(before, after, t.width, row),
                               "row %d outside the view %d-%d changed", row, view_top, view_bottom);
                }
                check_other_pages(target_page, "print_string");
                break;
            }
        }
        // Statements with bad arguments raise 5 and change nothing; the next starts afresh.
        reset_error_state();
        check_cursor(t, "a statement");
    }
    return 0;
}
