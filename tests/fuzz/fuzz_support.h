// What every fuzz target shares: platform seams that never sleep, answer every box and turn an
// exit into a crash (no input may end the process), a fresh runtime per input, and a check that
// aborts with a message so the fuzzer keeps the input.
#pragma once

#include <cstdint>

// Installs the quiet seams (once) and makes the error state, signals, low memory and string
// heap fresh.
void fresh_fuzz_runtime();

// The text screen on top of fresh_fuzz_runtime: the start-up screen, eight 80x25 pages.
void fresh_fuzz_screen();

// Message boxes the runtime asked for since the last fresh runtime.
int fuzz_message_boxes();

// Aborts with `what` when `condition` is false.
#define FUZZ_CHECK(condition, ...)                                             \
    do {                                                                       \
        if (!(condition)) fuzz_fail(__FILE__, __LINE__, #condition, __VA_ARGS__); \
    } while (false)

[[noreturn, gnu::format(printf, 4, 5)]] void fuzz_fail(const char* file, int line,
                                                        const char* condition,
                                                        const char* format, ...);
