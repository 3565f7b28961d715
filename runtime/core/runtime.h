// The process entry of the runtime: start-up in a fixed order, the program, timer-event and
// housekeeping threads, and the one shutdown sequence.
//
// The window thread runs start-up and then the window system's event loop for good. The program
// thread runs the game and parks itself when the runtime stops. The timer-event thread polls its
// (unused) table every millisecond. The housekeeping thread rewrites the tick count every cycle of
// about 16 ms, builds a frame on odd cycles, synchronises the lock keys on even ones and runs the
// shutdown when the window asks to close or the program has finished.
//
// The pieces take their collaborators as hooks, so that tests run them with counters instead of
// the display and input areas; run_runtime binds the real ones.
#pragma once

#include <cstdint>

#include "runtime/core/rt_string.h"

// The process entry (app/run_runtime.cpp, called by main): start-up, then the window and its
// event loop. Never returns: the process ends through the one shutdown or a critical error.
[[noreturn]] void run_runtime(int argc, char** argv);

// Start-up results kept for the program.
const RtString* command_line();
const RtString* launch_directory();
const RtString* program_directory();
int program_argument_count();
char** program_arguments();

// The collaborators of the worker threads.
struct WorkerHooks {
    void (*run_game)();
    void (*write_tick_count)();         // every housekeeping cycle
    void (*frame_step)();               // odd cycles: frame building and blink ticks
    void (*synchronise_lock_keys)();    // even cycles
    int64_t (*clock_ms)();              // the timer-event thread's time
    void (*close_open_files)();         // shutdown step 3; nullptr: nothing is open
};

// The start-up steps that belong to other areas, in the order they are called.
struct StartupSteps {
    void (*reset_frame_slots)();        // step 2
    void (*init_image_table)();         // step 5
    void (*init_low_memory)();          // step 7
    void (*init_clock_base)();          // step 11
    void (*sample_keyboard)();          // step 12
    void (*load_palettes_and_fonts)();  // step 13
    void (*create_first_screen)();      // step 14: screen mode 0
    void (*start_threads)(const WorkerHooks& hooks);  // step 16: start_worker_threads
};

// Steps 1 to 16: every table made, the start-up results recorded, the worker threads started.
void run_startup(const StartupSteps& steps, const WorkerHooks& hooks, int argc, char** argv);

// Step 4's key-trap table: the key code of trap `trap` (1-31), 0 for the unused numbers.
int32_t key_trap_code(int32_t trap);
// Step 5's count of environment strings.
int32_t environment_count();

// Step 10: the arguments after the program name joined with single spaces ("" when none).
RtString* join_arguments(int argc, char** argv);

// Step 16: program thread, then timer-event thread, then threads_started, then housekeeping.
void start_worker_threads(const WorkerHooks& hooks);

// The program thread's entry: extended precision, the division-by-zero handler, then the program.
// A program that returns ends the runtime as end_program would.
[[noreturn]] void run_program_thread(void (*run_game)());

// The floating-point exception handler: the "Division by zero" box, then the process ends.
void on_floating_point_exception(int signal_number);

// The timer-event table's one entry.
struct TimerEvent {
    bool in_use = false, switched_on = false, enabled = false, pending = false;
    bool started = false;       // the first due check only starts the count
    double interval_s = 0;
    double last_fired_s = 0;
};
// One check of an entry at `now_s`: true when it fell due (the caller sets event_pending).
bool check_timer_event(TimerEvent& event, double now_s);
TimerEvent& timer_event_entry();
// The timer-event thread's loop; returns after setting bit 1 of threads_stopped.
void run_timer_events(int64_t (*clock_ms)());

// One housekeeping cycle; runs the shutdown (which does not return) when it is due.
struct HousekeepingState {
    bool odd_cycle = false;  // flipped at the start of each cycle's second half: the first is odd
};
void run_housekeeping_cycle(HousekeepingState& state, const WorkerHooks& hooks);
[[noreturn]] void run_housekeeping(const WorkerHooks& hooks);

// The one shutdown: stop flags, wait for the program and timer-event threads, exit status 0.
[[noreturn]] void run_shutdown(const WorkerHooks& hooks);
