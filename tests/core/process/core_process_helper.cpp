// Runs one ending of the runtime for real (threads, sleeps, message boxes, exit) without the game
// or its window. The window thread's part is played by main, which sleeps like an event loop.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <atomic>
#include <string>

#include "runtime/core/errors.h"
#include "runtime/core/runtime.h"
#include "runtime/core/signals.h"
#include "runtime/input/clock.h"
#include "runtime/input/low_memory.h"
#include "runtime/platform/platform.h"

namespace {

std::atomic<int64_t> close_requested_at_ms{-1};
std::atomic<int> shutdowns{0};

void nothing() {}

// The shutdown's last step before the exit.
void note_shutdown() {
    ++shutdowns;
    std::printf("shutdown %d\n", shutdowns.load());
    const int64_t at = close_requested_at_ms;
    if (at >= 0) std::printf("exited %lld ms after the close request\n",
                             static_cast<long long>(platform::monotonic_ms() - at));
    std::printf("threads_stopped %u\n", runtime_signals().threads_stopped.load());
}

// A game waiting for a typed command: it polls, and checks at statement boundaries.
void waiting_game() {
    for (;;) {
        platform::sleep_ms(1);
        if (runtime_signals().event_pending != 0) statement_check(1);
    }
}

void finishing_game() {
    runtime_signals().exit_now = 1;  // as end_program does after its key
    request_close();                 // and the user closes the window at the same moment
    park_program_thread();
}

void critical_game() {
    raise_error(512);
    std::printf("critical error returned\n");
    std::fflush(stdout);
    waiting_game();
}

volatile int divisor = 0;

// The division must reach the processor and fault; the undefined-behaviour checker of the
// sanitizer builds would stop it first.
[[gnu::no_sanitize("integer-divide-by-zero")]] void dividing_game() {
    const int quotient = 7 / divisor;
    std::printf("division gave %d\n", quotient);
    std::fflush(stdout);
    waiting_game();
}

void erring_game() {
    raise_error(5);
    statement_check(57);
    std::printf("continued\n");
    std::fflush(stdout);
    waiting_game();
}

void paused_game() {
    runtime_signals().pause_requested = 1;
    runtime_signals().event_pending = 1;
    waiting_game();
}

WorkerHooks hooks_for(void (*game)()) {
    return {game, nothing, nothing, nothing, platform::monotonic_ms, note_shutdown};
}

[[noreturn]] void be_the_window_thread() {
    for (;;) platform::sleep_ms(100);
}

int64_t wall_clock_ms() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

void print_start_of_threads(const WorkerHooks&) {
    std::printf("threads start at wall ms %lld\n", static_cast<long long>(wall_clock_ms()));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string scenario = argv[1];
    platform::prepare_for_threads();

    if (scenario == "key_states") {
        // Polls until the keys a test holds on this display show, then prints what it saw.
        platform::KeyStates k;
        for (int i = 0; i < 300 && !(k.left_alt && k.caps_lock); ++i) {
            platform::sleep_ms(10);
            k = platform::key_states();
        }
        std::printf("keys scroll=%d caps=%d num=%d lshift=%d rshift=%d lctrl=%d rctrl=%d lalt=%d ralt=%d\n",
                    k.scroll_lock, k.caps_lock, k.num_lock, k.left_shift, k.right_shift,
                    k.left_ctrl, k.right_ctrl, k.left_alt, k.right_alt);
        return 0;
    }
    if (scenario == "startup") {
        const StartupSteps steps{nothing, nothing, init_low_memory, init_clock_base,
                                 nothing, nothing, nothing,         print_start_of_threads};
        std::printf("start-up begins at wall ms %lld\n", static_cast<long long>(wall_clock_ms()));
        std::fflush(stdout);
        run_startup(steps, hooks_for(waiting_game), argc, argv);
        return 0;
    }

    void (*game)() = nullptr;
    if (scenario == "close" || scenario == "pause_close") {
        game = scenario == "close" ? waiting_game : paused_game;
    } else if (scenario == "exit_and_close") {
        game = finishing_game;
    } else if (scenario == "critical") {
        game = critical_game;
    } else if (scenario == "divide") {
        game = dividing_game;
    } else if (scenario == "dialog") {
        game = erring_game;
    } else {
        return 2;
    }
    start_worker_threads(hooks_for(game));
    if (scenario == "close" || scenario == "pause_close") {
        platform::sleep_ms(100);  // the game is well under way
        close_requested_at_ms = platform::monotonic_ms();
        request_close();
    }
    be_the_window_thread();
}
