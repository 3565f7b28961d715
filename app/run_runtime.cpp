// The process entry binds the runtime's start-up steps and worker threads to the areas that own
// them and to the game, then gives the first thread to the window.
#include "game/game.h"
#include "runtime/core/runtime.h"
#include "runtime/display/frames.h"
#include "runtime/display/render.h"
#include "runtime/display/window.h"
#include "runtime/input/clock.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/low_memory.h"
#include "runtime/platform/platform.h"
#include "runtime/text/screen.h"

namespace {

void create_first_screen() { set_screen_mode(0, 0, 0, 0, 0, 1); }

}  // namespace

void run_runtime(int argc, char** argv) {
    platform::prepare_for_threads();
    const StartupSteps steps{reset_frame_slots,       init_image_table,    init_low_memory,
                             init_clock_base,         sample_keyboard,     load_palettes_and_fonts,
                             create_first_screen,     start_worker_threads};
    // The game opens no files, so the shutdown has none to close.
    static const WorkerHooks hooks{run_game,           write_tick_count, housekeeping_frame_step,
                                   synchronise_lock_keys, clock_ms,      nullptr};
    run_startup(steps, hooks, argc, argv);
    open_window_and_run(argc, argv);
}
