// The worker threads and the shutdown. Every wait is a sleep-and-poll over the atomic words of
// RuntimeSignals; no lock takes part.
#include <thread>

#include "runtime/core/errors.h"
#include "runtime/core/runtime.h"
#include "runtime/core/signals.h"
#include "runtime/platform/platform.h"

namespace {

constexpr uint32_t program_thread_stopped = 1u;
constexpr uint32_t timer_thread_stopped = 2u;
constexpr uint32_t all_threads_stopped = program_thread_stopped | timer_thread_stopped;

}  // namespace

void on_floating_point_exception(int) {
    // The faulting instruction would only fault again: this handler must not return.
    raise_error(error_division_by_zero);
    platform::exit_process(1);
}

void run_program_thread(void (*run_game)()) {
    platform::use_extended_precision();
    platform::install_fpe_handler(on_floating_point_exception);
    run_game();
    // The program leaves through end_program; one that returns has finished all the same.
    runtime_signals().exit_now = 1;
    park_program_thread();
}

TimerEvent& timer_event_entry() {
    static TimerEvent entry;
    return entry;
}

bool check_timer_event(TimerEvent& event, double now_s) {
    if (!event.in_use || !event.switched_on || !event.enabled || event.pending) return false;
    if (event.started && now_s - event.last_fired_s <= event.interval_s) return false;
    if (!event.started) {
        event.started = true;
        event.last_fired_s = now_s;
        return false;
    }
    event.last_fired_s += event.interval_s;
    if (now_s - event.last_fired_s >= event.interval_s) event.last_fired_s = now_s;
    event.pending = true;
    return true;
}

void run_timer_events(int64_t (*clock_ms)()) {
    RuntimeSignals& signals = runtime_signals();
    for (;;) {
        const double now_s = static_cast<double>(clock_ms()) / 1000.0;
        if (check_timer_event(timer_event_entry(), now_s)) signals.event_pending = 1;
        platform::sleep_ms(1);
        if (signals.stop_requested != 0) {
            signals.threads_stopped.fetch_or(timer_thread_stopped);
            return;
        }
    }
}

void run_shutdown(const WorkerHooks& hooks) {
    RuntimeSignals& signals = runtime_signals();
    signals.stop_requested = 1;
    signals.event_pending = 1;  // the program thread parks at its next statement boundary
    while (signals.threads_stopped != all_threads_stopped) platform::sleep_ms(16);
    if (hooks.close_open_files != nullptr) hooks.close_open_files();
    platform::exit_process(0);
}

void run_housekeeping_cycle(HousekeepingState& state, const WorkerHooks& hooks) {
    RuntimeSignals& signals = runtime_signals();
    if (signals.close_requests != 0) run_shutdown(hooks);
    hooks.write_tick_count();
    platform::sleep_ms(15);
    platform::sleep_ms(1);
    if (signals.exit_now != 0) run_shutdown(hooks);
    state.odd_cycle = !state.odd_cycle;
    if (state.odd_cycle) {
        hooks.frame_step();
    } else {
        hooks.synchronise_lock_keys();
    }
}

void run_housekeeping(const WorkerHooks& hooks) {
    HousekeepingState state;
    for (;;) run_housekeeping_cycle(state, hooks);
}

void start_worker_threads(const WorkerHooks& hooks) {
    // The hooks are copied into each thread: start-up's record may go out of scope.
    std::thread(run_program_thread, hooks.run_game).detach();
    std::thread(run_timer_events, hooks.clock_ms).detach();
    runtime_signals().threads_started = 1;
    std::thread([hooks] { run_housekeeping(hooks); }).detach();
}
