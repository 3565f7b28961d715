// The normal end of the program: the closing prompt on the bottom row of the visible page, a wait
// for a keystroke, then the exit flag for the housekeeping thread's shutdown.
#pragma once

inline constexpr const char* closing_prompt = "Press any key to continue";

// Shows "Press any key to continue" on the bottom row of the visible page, discards typed-ahead
// keystrokes, switches automatic display on and waits (polling every 100 ms) for a keystroke or a
// stop request; then sets exit_now and parks the program thread. Program thread only.
[[noreturn]] void end_program();
