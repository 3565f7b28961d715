#include "bench/bench_runtime.h"

#include "game/flow.h"
#include "game/locations.h"
#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"
#include "runtime/core/signals.h"
#include "runtime/display/frames.h"
#include "runtime/display/render.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/low_memory.h"
#include "runtime/text/cursor.h"
#include "runtime/text/screen.h"

void fresh_bench_runtime() {
    reset_error_state();
    reset_runtime_signals();
    reset_frame_slots();
    init_image_table();
    init_low_memory();
    init_string_state();
    reset_key_queues();
    reset_key_intake();
    load_palettes_and_fonts();
    set_screen_mode(0, 0, 0, 0, 0, 1);
}

void draw_turn_screen(int32_t location) {
    const uint32_t mark = temp_mark();
    GameState game = new_game_state();
    game.location = location;
    set_color(8, 0, 0, color_foreground_given | color_background_given);
    draw_turn_header(game);
    describe_location(game);
    print_without_line_end("> ");
    release_temporaries(mark);
}
