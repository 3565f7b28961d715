// Timed command entry: the game's own line entry. While the player types after the prompt, the
// countdown to the deadline is redrawn at the top of the screen thirty times a second; Enter
// returns the typed text, and the deadline passing ends the case.
//
// Each pass rebuilds page 0 from the copy saved on page 1 when the entry began, draws the typed
// text and the countdown on top and hands exactly that page to the display, so the player never
// sees the restored page without them. Automatic display is therefore off while the entry runs.
#pragma once

#include <cstdint>

#include "game/flow.h"
#include "runtime/core/rt_string.h"

// Returns the typed text (upper case, possibly empty) as a temporary when Enter is read. When the
// time is up it plays the time-out ending instead and never returns.
RtString* timed_command_entry(const GameState& game);

// The losing screen when the countdown reaches zero; ends the program.
[[noreturn]] void play_time_out();

// Seconds left until `deadline`, both as seconds since midnight, brought into (-43200, 43200] so
// that a case running across midnight keeps its thirty minutes instead of gaining a day.
long double time_left_seconds(double deadline, double now_seconds);

// The countdown's two fields: whole minutes from the time left rounded to the nearest second
// (halves to even), and the seconds that remain, -0.5 to 59.5. During the last half second before
// a whole minute the minutes already show the minute above and the seconds are slightly negative.
struct Countdown {
    float minutes_left = 0;
    float seconds_left = 0;
};
Countdown split_countdown(long double remaining);

// What one key-hit code does to the typed text.
enum class KeyEdit { none, erase_last, append };
KeyEdit key_edit(int32_t key_hit);
