// Cross-thread flags of the runtime and the parking of the program thread.
//
// Every field is a single atomic word polled with short sleeps in between: no lock takes part in
// this protocol. Masks with two writers (threads_stopped) are set with fetch_or so that neither
// update is lost.
#pragma once

#include <atomic>
#include <cstdint>

struct RuntimeSignals {
    // THREADING: set by the timer-event thread, the Pause key (window thread), the shutdown
    // (housekeeping thread) and raise_error; cleared by statement_check on the program thread.
    std::atomic<int32_t> event_pending{0};
    // THREADING: bit 0 set by the Pause key and cleared by the next other key (window thread);
    // polled by statement_check on the program thread.
    std::atomic<uint8_t> pause_requested{0};
    // THREADING: set once by the shutdown on the housekeeping thread; polled by the program and
    // timer-event threads.
    std::atomic<uint8_t> stop_requested{0};
    // THREADING: set by end_program, the Break key and the error dialog's No; polled by the
    // housekeeping thread, which then runs the shutdown.
    std::atomic<uint8_t> exit_now{0};
    // THREADING: bit 0 set (fetch_or) by the window's close request; polled by housekeeping.
    std::atomic<uint32_t> close_requests{0};
    // THREADING: bit 0 by park_program_thread, bit 1 by the timer-event thread (fetch_or each);
    // the shutdown waits until the value is 3.
    std::atomic<uint32_t> threads_stopped{0};
    // THREADING: set once by start-up before the housekeeping thread starts; read by screen-mode
    // changes to know whether the frame builder must be held off.
    std::atomic<int32_t> threads_started{0};
    // THREADING: set once by start-up on the window thread when the window exists.
    std::atomic<int32_t> window_created{0};
};

// The one instance of the process.
RuntimeSignals& runtime_signals();

// Puts every flag back to zero; for tests that make a fresh runtime.
void reset_runtime_signals();

// Sets bit 0 of threads_stopped, then sleeps in 16 ms steps for ever (until stop_requested, then
// still for ever): the process exit ends it. Only the program thread calls it.
[[noreturn]] void park_program_thread();

// The window layer's close request: sets bit 0 of close_requests and returns; the window stays
// open and the housekeeping thread runs the shutdown.
inline void request_close() { runtime_signals().close_requests.fetch_or(1u); }
