// The runtime as the benchmarks use it: made fresh on the benchmark thread, without the window,
// the worker threads or the process start-up, so every pass measured is the work of the
// operation itself.
#pragma once

#include <cstdint>

// A fresh runtime: no error pending, a zeroed low-memory block, fresh strings, image table, key
// queues and frame slots, the fonts expanded, and the start-up screen (eight 80x25 text pages,
// page 0 written and shown).
void fresh_bench_runtime();

// Draws on page 0 what the player sees while typing a command in `location`: the turn header,
// the location's description and the prompt "> ", in the game's colours, with the cursor just
// after the prompt. Uses the game's own drawing routines.
void draw_turn_screen(int32_t location);

// The countdown's place on the screen: row 2, columns 32 to 42.
inline constexpr int32_t countdown_row = 2;
inline constexpr int32_t countdown_column = 32;
inline constexpr int32_t countdown_cells = 11;
