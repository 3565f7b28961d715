#include "runtime/text/cursor.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/input/low_memory.h"
#include "runtime/text/private/print_internal.h"
#include "runtime/text/private/screen_internal.h"
#include "runtime/text/screen.h"

namespace {

constexpr int32_t fifty_rows = 50;
constexpr int32_t cursor_line_max = 31;
// The 80x25 cells of page 0 at the start of the text video area.
constexpr size_t page_0_text_bytes = 80 * 25 * 2;

bool outside(int32_t value, int32_t low, int32_t high) {
    return value < low || value > high;
}

// The width statement's 80x50 switch, keeping page 0's first 25 rows and the colours.
void switch_to_fifty_rows() {
    std::array<uint8_t, page_0_text_bytes> saved_text;
    uint8_t* video_area = low_memory() + text_video_offset;
    std::memcpy(saved_text.data(), video_area, saved_text.size());
    const Image& before = *write_target_image();
    const uint32_t foreground = before.foreground;
    const uint32_t background = before.background;

    set_pending_text_shape(80, fifty_rows, font_8x8);
    set_screen_mode(text_mode, 0, 0, 0, 0, 1);
    if (error_pending()) return;

    std::memcpy(video_area, saved_text.data(), saved_text.size());
    Image& after = *write_target_image();
    after.foreground = foreground;
    after.background = background;
}

// Applies `apply` to every created page of the screen.
template <typename Apply>
void for_every_page(Apply apply) {
    const PageList& pages = screen_state().pages;
    for (int32_t page = 0; page < pages.count; ++page) {
        if (pages.slots[page] != 0) apply(*image_record(pages.slots[page]));
    }
}

}  // namespace

void locate(int32_t row, int32_t column, int32_t cursor_shown, int32_t cursor_start,
            int32_t cursor_stop, uint32_t given_mask) {
    if (error_pending()) return;
    Image* image = write_target_image();
    if (image == nullptr) return;
    const bool row_given = (given_mask & locate_row_given) != 0;
    const bool column_given = (given_mask & locate_column_given) != 0;
    const bool shown_given = (given_mask & locate_cursor_shown_given) != 0;
    const bool start_given = (given_mask & locate_cursor_start_given) != 0;
    const bool stop_given = (given_mask & locate_cursor_stop_given) != 0;

    if (row_given) {
        if (row < image->view_top) {
            raise_error(error_illegal_function_call);
            return;
        }
        if (row > image->view_bottom && row != image->height) {
            if (!fifty_row_permission()) {
                raise_error(error_illegal_function_call);
                return;
            }
            withdraw_fifty_row_permission();
            if (row > fifty_rows || (column_given && outside(column, 1, image->width))) {
                raise_error(error_illegal_function_call);
                return;
            }
            switch_to_fifty_rows();
            if (error_pending()) return;
            image = write_target_image();
        }
    }
    // Every remaining check comes before any change.
    if ((column_given && outside(column, 1, image->width)) ||
        (shown_given && cursor_shown != 0 && cursor_shown != 1) ||
        (start_given && outside(cursor_start, 0, cursor_line_max)) ||
        (stop_given && outside(cursor_stop, 0, cursor_line_max))) {
        raise_error(error_illegal_function_call);
        return;
    }

    if (row_given) {
        image->row = static_cast<int16_t>(row);
        image->wrap_state = 0;
    }
    if (column_given) {
        image->column = static_cast<int16_t>(column);
        image->wrap_state = 0;
    }
    if (!row_given && !column_given && image->wrap_state != 0) image->wrap_state = 2;

    const bool on_page = (image->flags & image_is_page) != 0;
    if (shown_given) {
        image->cursor_visible = cursor_shown != 0 ? 1 : 0;
        if (on_page) {
            const uint8_t visible = image->cursor_visible;
            for_every_page([visible](Image& page) { page.cursor_visible = visible; });
        }
    }
    if (start_given) image->cursor_start = static_cast<uint8_t>(cursor_start);
    if (stop_given) image->cursor_stop = static_cast<uint8_t>(cursor_stop);
    if ((start_given || stop_given) && on_page) {
        const uint8_t start = image->cursor_start;
        const uint8_t stop = image->cursor_stop;
        for_every_page([start, stop](Image& page) {
            page.cursor_start = start;
            page.cursor_stop = stop;
        });
    }
}

void set_color(int32_t foreground, int32_t background, int32_t /*border*/,
               uint32_t given_mask) {
    if (error_pending()) return;
    Image* image = write_target_image();
    if (image == nullptr) return;
    const bool foreground_given = (given_mask & color_foreground_given) != 0;
    const bool background_given = (given_mask & color_background_given) != 0;
    // Compared unsigned, so negative values are rejected too.
    if ((foreground_given && static_cast<uint32_t>(foreground) > 31) ||
        (background_given && static_cast<uint32_t>(background) > 15)) {
        raise_error(error_illegal_function_call);
        return;
    }
    if (foreground_given) image->foreground = static_cast<uint32_t>(foreground);
    if (background_given) image->background = static_cast<uint32_t>(background) & 7;
}

void clear_screen(int32_t method, int32_t fill_colour, uint32_t given_mask) {
    if (error_pending()) return;
    Image* target = write_target_image();
    if (target == nullptr || !target->is_text) return;
    Image& image = *target;
    const bool method_given = (given_mask & clear_method_given) != 0;
    const bool fill_given = (given_mask & clear_fill_given) != 0;
    if (fill_given && static_cast<uint32_t>(fill_colour) > image.colour_mask) {
        raise_error(error_illegal_function_call);
        return;
    }
    if (method_given && outside(method, 0, 2)) {
        raise_error(error_illegal_function_call);
        return;
    }
    const uint32_t fill = fill_given ? static_cast<uint32_t>(fill_colour) : image.background;

    image.row = image.view_top;
    image.column = 1;
    image.graphics.turtle_angle = 0.0;
    image.graphics.turtle_scale = 1.0;

    const uint8_t attribute = text_attribute(image.foreground, fill);
    const int32_t width = image.width;
    auto blank_rows = [&](int32_t first_row, int32_t last_row) {
        fill_blank(image.cells + (first_row - 1) * width, (last_row - first_row + 1) * width,
                   attribute);
    };
    if (!method_given) {
        blank_rows(image.view_top, image.view_bottom);
        blank_rows(image.height, image.height);
    } else if (method == 0) {
        blank_rows(1, image.height);
    } else if (method == 2) {
        blank_rows(image.view_top, image.view_bottom);
    }
}

void set_view_rows(int32_t top, int32_t bottom, int32_t rows_given) {
    if (error_pending()) return;
    Image* image = write_target_image();
    if (image == nullptr) return;
    const int32_t rows = image->height;
    if (rows_given != 0) {
        if (top <= 0 || top > rows || bottom < top || bottom > rows) {
            raise_error(error_illegal_function_call);
            return;
        }
        image->view_top = static_cast<int16_t>(top);
        image->view_bottom = static_cast<int16_t>(bottom);
    } else {
        image->view_top = 1;
        image->view_bottom = static_cast<int16_t>(rows);
    }
    image->row = image->view_top;
    image->column = 1;
    image->wrap_state = 0;
}

int32_t cursor_row() {
    const Image* image = write_target_image();
    if (image == nullptr) return 1;
    if (image->wrap_state == 0) return image->row;
    return image->row < image->view_bottom ? image->row + 1 : image->view_bottom;
}

int32_t cursor_column() {
    const Image* image = write_target_image();
    if (image == nullptr) return 1;
    return image->wrap_state != 0 ? 1 : image->column;
}

int32_t page_width(int32_t page, int32_t given) {
    if (error_pending()) return 0;
    if (given == 0) {
        const Image* image = write_target_image();
        return image != nullptr ? image->width : 0;
    }
    if (page < 0 && !valid_image_handle(page)) {
        raise_error(error_invalid_handle);
        return 0;
    }
    const Image* image = resolve_image(page);
    return image != nullptr ? image->width : 0;
}
