// Runs the real game on a thread of its own, one sleep at a time.
//
// Every wait of the runtime ends in platform::sleep_ms, so the driver puts in a fake sleep that
// parks the game thread and hands control to the test: while the game is parked the test reads
// page 0, feeds keys through the key-intake entry points and moves the fake clock; then it lets
// the game run to its next sleep. A sleep advances the fake clock by its length, so the game's
// pacing (30 passes a second) runs on fake time and the countdown is exact. Nothing here sleeps
// for real except the watchdog that fails a test whose game stops reaching sleeps.
//
// The frame builder's housekeeping pass is stood in for inside the fake sleep: when the game asks
// for an explicit frame while automatic display is on, the pass it waits for is run there.
//
// A finished test leaves its game thread parked for good inside the fake sleep, touching nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text/screen.h"

struct GameDriverState;

class GameDriver {
public:
    // Makes a fresh runtime with the local time of day at `start_seconds` past midnight and starts
    // the game; returns with the game parked at its first sleep.
    explicit GameDriver(int32_t start_seconds = 10 * 3600);
    ~GameDriver();  // parks the game thread for good

    // Lets the game run to its next sleep.
    void step();
    // Steps until `done` holds while the game is parked; false when it never did within
    // `max_steps` sleeps.
    bool run_until(const std::function<bool()>& done, int64_t max_steps = 400'000);

    // Key presses and releases as the window layer reports them.
    void press_character(unsigned char character);  // down and up
    void press_special(int glut_special_key);       // down and up
    void type_text(std::string_view text);           // each character down and up

    // Waits for the game's key wait of a screen whose page shows `done`, then presses a key.
    bool answer_pause(const std::function<bool()>& done);
    // Waits until such a key wait is waiting for the new key (its buffer emptied).
    bool wait_in_pause(const std::function<bool()>& done);
    // Waits until a command entry is running (countdown on row 2), then types `command` and Enter.
    bool enter_command(std::string_view command);
    // The briefing and the blank screen after it: two key presses; returns once the first turn's
    // entry shows its countdown.
    bool start_case();

    void advance_clock_ms(int64_t ms);
    int64_t clock_now_ms() const;
    int32_t last_sleep_ms() const;

    // Page 0 as text: all 25 rows, trailing blanks removed.
    std::vector<std::string> rows() const;
    std::string row(int32_t row) const;           // trailing blanks removed
    std::string row_exact(int32_t row) const;     // all 80 characters
    const Image& page() const;

    // The message boxes the runtime asked for (caption, then text).
    std::vector<std::string> boxes() const;

    // True once end_program shows its prompt and waits for a key.
    bool at_closing_prompt() const;

private:
    GameDriverState* state_;
};

// Predicates on the driver's page, for run_until.
bool row_starts_with(const GameDriver& driver, int32_t row, std::string_view text);
bool countdown_shown(const GameDriver& driver);

// The location whose turn is on the screen (the hint on row 15 and that location's description
// from row 17), or 0.
int32_t location_on_screen(const GameDriver& driver);
// The row of the prompt "> " under the description, or 0.
int32_t prompt_row(const GameDriver& driver);

// Walks from location 1 (where the case starts) to `location` along the premises' one chain.
bool walk_to(GameDriver& driver, int32_t location);

// Presses a key at the closing prompt and waits until the program thread has set the exit flag
// and parked.
bool finish_program(GameDriver& driver);
