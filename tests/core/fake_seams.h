// Platform seams for core tests: a scripted message box that records what it was shown, a fake
// clock and sleep, and an exit that throws instead of ending the test process.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/core/signals.h"
#include "runtime/platform/platform.h"

struct ShownBox {
    std::string caption;
    std::string text;
    platform::BoxKind kind;
};

// Thrown by the fake exit seam; only tests ever throw.
struct ProcessExited {
    int status;
};

// Thrown by the fake sleep once a test's sleep budget is used up, so that loops that sleep for
// ever (park_program_thread) come back to the test.
struct SleptTooLong {
    int64_t total_ms;
};

struct FakePlatform {
    std::vector<ShownBox> boxes;
    std::deque<platform::BoxAnswer> answers;  // empty: every box answers ok / yes
    std::vector<int32_t> sleeps_ms;
    int64_t now_ms = 0;
    int64_t sleep_budget_ms = 10'000;
    void (*on_sleep)(FakePlatform&) = nullptr;  // runs after each sleep
};

FakePlatform& fake_platform();

// Installs the fakes and resets signals and error state; the destructor puts the real seams back.
struct FakePlatformScope {
    FakePlatformScope();
    ~FakePlatformScope();
    FakePlatformScope(const FakePlatformScope&) = delete;
    FakePlatformScope& operator=(const FakePlatformScope&) = delete;
};
