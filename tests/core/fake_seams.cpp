#include "tests/core/fake_seams.h"

namespace {

platform::BoxAnswer scripted_box(const char* caption, const char* text, platform::BoxKind kind) {
    FakePlatform& fake = fake_platform();
    fake.boxes.push_back({caption, text, kind});
    if (fake.answers.empty()) {
        return kind == platform::BoxKind::ok ? platform::BoxAnswer::ok : platform::BoxAnswer::yes;
    }
    const platform::BoxAnswer answer = fake.answers.front();
    fake.answers.pop_front();
    return answer;
}

void fake_sleep(int32_t ms) {
    FakePlatform& fake = fake_platform();
    fake.sleeps_ms.push_back(ms);
    fake.now_ms += ms;
    if (fake.on_sleep != nullptr) fake.on_sleep(fake);
    if (fake.now_ms > fake.sleep_budget_ms) throw SleptTooLong{fake.now_ms};
}

int64_t fake_monotonic_ms() { return fake_platform().now_ms; }

[[noreturn]] void throwing_exit(int status) { throw ProcessExited{status}; }

platform::KeyStates no_keys() { return {}; }

}  // namespace

FakePlatform& fake_platform() {
    static FakePlatform fake;
    return fake;
}

FakePlatformScope::FakePlatformScope() {
    fake_platform() = FakePlatform{};
    platform::PlatformSeams& s = platform::seams();
    s.message_box = scripted_box;
    s.sleep_ms = fake_sleep;
    s.monotonic_ms = fake_monotonic_ms;
    s.key_states = no_keys;
    s.exit_process = throwing_exit;
    reset_runtime_signals();
    reset_error_state();
}

FakePlatformScope::~FakePlatformScope() {
    platform::reset_seams();
    reset_runtime_signals();
    reset_error_state();
}
