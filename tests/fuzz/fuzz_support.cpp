#include "tests/fuzz/fuzz_support.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"
#include "runtime/core/signals.h"
#include "runtime/input/low_memory.h"
#include "runtime/platform/platform.h"
#include "runtime/text/screen.h"

namespace {

int message_boxes = 0;
int64_t fake_now_ms = 0;

int64_t fake_monotonic_ms() { return fake_now_ms; }
int64_t fake_wall_seconds() { return 1'000'000; }
void fake_sleep_ms(int32_t ms) { fake_now_ms += ms; }

platform::BoxAnswer fake_message_box(const char* caption, const char* text, platform::BoxKind) {
    ++message_boxes;
    // A box during fuzzing is either an alert (a fault the runtime noticed) or a critical error:
    // both are findings, the input must be kept.
    std::fprintf(stderr, "message box \"%s\": %s\n", caption, text);
    std::abort();
}

[[noreturn]] void fake_exit_process(int status) {
    std::fprintf(stderr, "the runtime ended the process with status %d\n", status);
    std::abort();
}

}  // namespace

void fresh_fuzz_runtime() {
    platform::PlatformSeams& seams = platform::seams();
    seams.monotonic_ms = fake_monotonic_ms;
    seams.wall_seconds = fake_wall_seconds;
    seams.sleep_ms = fake_sleep_ms;
    seams.message_box = fake_message_box;
    seams.exit_process = fake_exit_process;
    message_boxes = 0;
    reset_error_state();
    reset_runtime_signals();
    init_low_memory();
    init_string_state();
}

void fresh_fuzz_screen() {
    fresh_fuzz_runtime();
    init_image_table();
    set_screen_mode(0, 0, 0, 0, 0, 1);
}

int fuzz_message_boxes() { return message_boxes; }

void fuzz_fail(const char* file, int line, const char* condition, const char* format, ...) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n  ", file, line, condition);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    std::abort();
}
