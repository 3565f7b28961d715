#include "runtime/text/print.h"

#include <algorithm>
#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/platform/platform.h"
#include "runtime/text/cursor.h"
#include "runtime/text/private/print_internal.h"
#include "runtime/text/screen.h"

namespace {

constexpr uint8_t code_bell = 7;
constexpr uint8_t code_tab = 9;
constexpr uint8_t code_line_feed = 10;
constexpr uint8_t code_home = 11;
constexpr uint8_t code_form_feed = 12;
constexpr uint8_t code_carriage_return = 13;
constexpr uint8_t code_cursor_right = 28;
constexpr uint8_t code_cursor_left = 29;
constexpr uint8_t code_cursor_up = 30;
constexpr uint8_t code_cursor_down = 31;

constexpr int32_t bell_ms = 250;
constexpr int32_t tab_width = 8;

// The text image output goes to, or nullptr when there is none to write on.
Image* output_image() {
    Image* image = write_target_image();
    return image != nullptr && image->is_text ? image : nullptr;
}

// The ordinary character path: writes `code`, advances, and at the right edge either breaks the
// line (more output follows in this call) or holds the break pending.
void write_character(Image& image, uint8_t code, bool more_follows, bool& just_wrapped) {
    put_character(image, code);
    image.column = static_cast<int16_t>(image.column + 1);
    if (image.column <= image.width) return;
    if (more_follows) {
        new_line(image);
        just_wrapped = true;
    } else {
        image.column = static_cast<int16_t>(image.width);
        image.wrap_state = 1;
    }
}

void cursor_right(Image& image) {
    if (image.row < image.view_bottom || image.column < image.width) {
        image.column = static_cast<int16_t>(image.column + 1);
        if (image.column > image.width) {
            image.row = static_cast<int16_t>(image.row + 1);
            image.column = 1;
        }
    }
}

void cursor_left(Image& image) {
    // Stopping at or above view_top (not only on it) keeps the cursor on the page whatever the
    // view.
    if (image.column == 1 && (image.row <= image.view_top || image.row > image.view_bottom)) {
        return;
    }
    image.column = static_cast<int16_t>(image.column - 1);
    if (image.column == 0) {
        image.row = static_cast<int16_t>(image.row - 1);
        image.column = static_cast<int16_t>(image.width);
    }
}

}  // namespace

void fill_blank(TextCell* first, int32_t count, uint8_t attribute) {
    std::fill(first, first + count, TextCell{0x20, attribute});
}

void put_character(Image& image, uint8_t code) {
    image.cells[(image.row - 1) * image.width + (image.column - 1)] =
        TextCell{code, text_attribute(image.foreground, image.background)};
}

void new_line(Image& image) {
    image.row = static_cast<int16_t>(image.row + 1);
    image.column = 1;
    if (image.row <= image.view_bottom) return;

    // One block move of the view's rows and one row fill; rows outside the view stay.
    const int32_t width = image.width;
    TextCell* view_first = image.cells + (image.view_top - 1) * width;
    const int32_t moved_cells = (image.view_bottom - image.view_top) * width;
    std::memmove(static_cast<void*>(view_first), view_first + width,
                 static_cast<size_t>(moved_cells) * sizeof(TextCell));
    fill_blank(image.cells + (image.view_bottom - 1) * width, width,
               text_attribute(image.foreground, image.background));
    image.row = image.view_bottom;
}

void print_string(const RtString* text, int32_t finish_line) {
    if (error_pending()) return;
    Image* target = output_image();
    if (target == nullptr) return;
    Image& image = *target;
    const int32_t length = text != nullptr ? text->length : 0;
    const bool finish = finish_line != 0;

    if (image.wrap_state != 0 && length > 0) {
        image.wrap_state = 0;
        new_line(image);
    } else if (image.wrap_state != 0 && finish) {
        image.wrap_state = 0;
    }

    bool just_wrapped = false;
    for (int32_t index = 0; index < length; ++index) {
        just_wrapped = false;
        const auto code = static_cast<uint8_t>(text->data[index]);
        const bool more_follows = finish || index + 1 < length;
        switch (code) {
            case code_bell:
                platform::sleep_ms(bell_ms);
                break;
            case code_tab:
                // Spaces until one has been written in a column that is a multiple of 8.
                for (;;) {
                    const bool last_space = image.column % tab_width == 0;
                    just_wrapped = false;
                    write_character(image, 0x20, more_follows || !last_space, just_wrapped);
                    if (last_space) break;
                }
                break;
            case code_line_feed:
            case code_carriage_return:
                new_line(image);
                break;
            case code_home:
                image.column = 1;
                image.row = image.view_top;
                break;
            case code_form_feed:
                clear_screen(0, 0, 0);
                break;
            case code_cursor_right:
                cursor_right(image);
                break;
            case code_cursor_left:
                cursor_left(image);
                break;
            case code_cursor_up:
                if (image.view_top < image.row && image.row <= image.view_bottom) {
                    image.row = static_cast<int16_t>(image.row - 1);
                }
                break;
            case code_cursor_down:
                if (image.view_top <= image.row && image.row < image.view_bottom) {
                    image.row = static_cast<int16_t>(image.row + 1);
                }
                break;
            default:
                write_character(image, code, more_follows, just_wrapped);
                break;
        }
    }
    // A text that filled the row up to the last column has already broken the line.
    if (finish && !just_wrapped) new_line(image);
}

void make_fit(const RtString* text) {
    Image* target = output_image();
    if (target == nullptr || text == nullptr) return;
    const Image& image = *target;
    if (image.wrap_state != 0 || image.column == 1) return;
    if (static_cast<int64_t>(image.column) + text->length - 1 > image.width) {
        new_line(*target);
    }
}
