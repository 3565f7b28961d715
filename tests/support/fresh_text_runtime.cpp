#include "tests/support/fresh_text_runtime.h"

#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"
#include "runtime/core/signals.h"
#include "runtime/input/low_memory.h"
#include "runtime/text/print.h"

void fresh_text_runtime() {
    reset_error_state();
    reset_runtime_signals();
    init_image_table();
    init_low_memory();
    init_string_state();
    set_screen_mode(0, 0, 0, 0, 0, 1);
}

void print_text(std::string_view text, int32_t finish_line) {
    const uint32_t mark = temp_mark();
    print_string(string_from_literal(text), finish_line);
    release_temporaries(mark);
}

void print_fitted(std::string_view text) {
    const uint32_t mark = temp_mark();
    RtString* string = string_from_literal(text);
    make_fit(string);
    print_string(string, 0);
    release_temporaries(mark);
}

Image& target() {
    return *write_target_image();
}
