#include "runtime/core/signals.h"

#include "runtime/platform/platform.h"

RuntimeSignals& runtime_signals() {
    static RuntimeSignals signals;
    return signals;
}

void reset_runtime_signals() {
    RuntimeSignals& s = runtime_signals();
    s.event_pending = 0;
    s.pause_requested = 0;
    s.stop_requested = 0;
    s.exit_now = 0;
    s.close_requests = 0;
    s.threads_stopped = 0;
    s.threads_started = 0;
    s.window_created = 0;
}

void park_program_thread() {
    RuntimeSignals& s = runtime_signals();
    s.threads_stopped.fetch_or(1u);
    while (s.stop_requested == 0) platform::sleep_ms(16);
    // Stopped: the housekeeping thread is about to end the process.
    for (;;) platform::sleep_ms(16);
}
