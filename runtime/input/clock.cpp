#include "runtime/input/clock.h"

#include <atomic>
#include <cmath>

#include "runtime/core/errors.h"
#include "runtime/input/low_memory.h"
#include "runtime/platform/platform.h"

namespace {

struct ClockState {
    // THREADING: written by init_clock_base on the window thread before any worker thread starts;
    // read on every thread afterwards. Atomics only so that those reads are well-defined.
    std::atomic<int64_t> origin_ms{0};
    std::atomic<uint32_t> start_clock_ms{0};
    std::atomic<uint32_t> start_time_of_day_ms{0};
    // Program thread only (limit_rate has one caller).
    double rate_mark_ms = 0;
};

ClockState& state() {
    static ClockState the_state;
    return the_state;
}

// Long waits are cut into sleeps of this length so pause and stop requests are seen in time.
constexpr int32_t longest_rate_sleep_ms = 9;
// A call this much later than the interval still keeps the cadence; later ones restart it.
constexpr double rate_catch_up_ms = 32;
constexpr double longest_rate_interval_ms = 60'000;

}  // namespace

int64_t clock_ms() {
    return platform::monotonic_ms() - state().origin_ms.load(std::memory_order_relaxed);
}

void init_clock_base() {
    ClockState& s = state();
    s.origin_ms.store(platform::monotonic_ms(), std::memory_order_relaxed);
    int64_t seconds = platform::wall_seconds();
    if (seconds < 0) {
        seconds = 0;
    } else {
        // Spin without sleeping so the second boundary is caught within a fraction of a ms.
        const int64_t first = seconds;
        while (seconds == first) seconds = platform::wall_seconds();
        if (seconds < 0) seconds = 0;
    }
    s.start_clock_ms.store(static_cast<uint32_t>(clock_ms()), std::memory_order_relaxed);
    const std::tm local = platform::local_time(seconds);
    uint32_t time_of_day = 0;
    if (local.tm_hour >= 0 && local.tm_hour < 24 && local.tm_min >= 0 && local.tm_min < 60 &&
        local.tm_sec >= 0 && local.tm_sec <= 60) {
        time_of_day = static_cast<uint32_t>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) *
                      1000;
    }
    s.start_time_of_day_ms.store(time_of_day, std::memory_order_relaxed);
}

ClockBase clock_base() {
    const ClockState& s = state();
    return {s.start_clock_ms.load(std::memory_order_relaxed),
            s.start_time_of_day_ms.load(std::memory_order_relaxed)};
}

uint32_t time_of_day_ms() { return time_of_day_at(static_cast<uint32_t>(clock_ms()), clock_base()); }

void write_tick_count() {
    const uint32_t ticks = tick_count_at(time_of_day_ms());
    uint8_t* memory = low_memory();
    memory[tick_count_offset] = static_cast<uint8_t>(ticks);
    memory[tick_count_offset + 1] = static_cast<uint8_t>(ticks >> 8);
    memory[tick_count_offset + 2] = static_cast<uint8_t>(ticks >> 16);
}

double timer_seconds_at(uint32_t time_of_day_ms, double accuracy, bool accuracy_given) {
    double seconds = static_cast<double>(time_of_day_ms) / 1000;
    double factor = 18.2;
    if (accuracy_given) {
        // Not a number or infinity has no multiples to round to.
        if (!(accuracy > 0) || !std::isfinite(accuracy)) {
            raise_error(error_illegal_function_call);
            return 0;
        }
        factor = 1 / accuracy;
    }
    // The product is rounded to the nearest integer in extended precision, ties to even (the
    // default rounding mode). It stays a long double: a tiny accuracy makes it too large for any
    // integer type.
    const long double steps =
        std::nearbyintl(static_cast<long double>(seconds) * static_cast<long double>(factor));
    seconds = static_cast<double>(steps / static_cast<long double>(factor));
    if (!accuracy_given) seconds = static_cast<double>(static_cast<float>(seconds));
    return seconds;
}

double timer_seconds(double accuracy, bool accuracy_given) {
    if (error_pending()) return 0;
    return timer_seconds_at(time_of_day_ms(), accuracy, accuracy_given);
}

RateStep decide_rate_step(double now_ms, double mark_ms, double interval_ms) {
    if (mark_ms == 0 || mark_ms > now_ms) return {.done = true, .new_mark_ms = now_ms};
    const double elapsed_ms = now_ms - mark_ms;
    if (elapsed_ms == interval_ms) return {.done = true, .new_mark_ms = mark_ms + interval_ms};
    if (elapsed_ms < interval_ms) {
        int32_t wait_ms = static_cast<int32_t>(interval_ms - elapsed_ms);
        if (wait_ms < 1) wait_ms = 1;
        if (wait_ms > longest_rate_sleep_ms) {
            return {.done = false, .new_mark_ms = mark_ms, .sleep_ms = longest_rate_sleep_ms,
                    .check_after = true};
        }
        return {.done = false, .new_mark_ms = mark_ms, .sleep_ms = wait_ms};
    }
    if (elapsed_ms <= interval_ms + rate_catch_up_ms) {
        return {.done = true, .new_mark_ms = mark_ms + interval_ms};
    }
    return {.done = true, .new_mark_ms = now_ms};
}

void limit_rate(double rate) {
    if (error_pending()) return;
    if (!(rate > 0)) {
        raise_error(error_illegal_function_call);
        return;
    }
    const double interval_ms = 1000 / rate;
    if (interval_ms > longest_rate_interval_ms) {
        raise_error(error_illegal_function_call);
        return;
    }
    ClockState& s = state();
    for (;;) {
        const RateStep step =
            decide_rate_step(static_cast<double>(clock_ms()), s.rate_mark_ms, interval_ms);
        if (step.done) {
            s.rate_mark_ms = step.new_mark_ms;
            return;
        }
        platform::sleep_ms(step.sleep_ms);
        if (step.check_after) statement_check(0);
    }
}

double rate_mark_ms() { return state().rate_mark_ms; }
void reset_rate_mark() { state().rate_mark_ms = 0; }
