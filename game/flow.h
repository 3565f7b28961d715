// The spine of the adventure: the game's whole state, the start of the game (briefing, the two
// key waits, the deadline), the turn loop and the turn header with its compass, and the two screen
// conventions every other unit uses (whole lines and the press-any-key wait).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/core/rt_string.h"

inline constexpr int32_t location_count = 8;

// The premises, by the numbers the case's map gives them.
namespace place {
inline constexpr int32_t garage_entrance = 1, crime_scene = 2, waiting_room = 3,
                         twisted_hallway = 4, box_lined_hallway = 5, smoky_corridor = 6,
                         dispatch_room = 7, fish_office = 8;
}  // namespace place

// The whole adventure, alive from the start of run_game until the program ends.
struct GameState {
    int32_t location = place::garage_entrance;  // 1..8, changed only by movement
    // The officer hands over all three pieces of evidence in the briefing; nothing takes them away.
    int32_t has_bill = 1;
    int32_t has_cigar = 1;
    int32_t has_bullet_case = 1;
    float limit_minutes = 30;
    float limit_seconds = 0;
    float limit_total_seconds = 60 * limit_minutes + limit_seconds;
    double deadline = 0;  // seconds since midnight at which the case is lost; set once
    std::array<std::string_view, location_count> exits{};  // exits text of location n at n - 1
    RtString* command = nullptr;  // the last command read, normalised
};

// A fresh game: the initial values, with the exits table filled 1 to 8. Makes the `command`
// variable, so the string state must exist.
GameState new_game_state();

// The exits text of the current location ("NORTH, SOUTH, OR WEST").
std::string_view current_exits(const GameState& game);

// Which compass letters a location shows: case-sensitive substring searches of its exits text.
struct CompassMarks {
    bool north = false;
    bool east = false;
    bool south = false;
    bool west = false;
};
CompassMarks compass_marks(std::string_view exits);

// The game's print conventions. A whole line is make_fit, the text without line end, then a line
// end; text "without line end" is make_fit and the text only; a blank line is just a line end.
void print_line(std::string_view text);
void print_line(const RtString* text);
void print_without_line_end(std::string_view text);
void print_blank_line();

// Whole lines, printed as consecutive steps numbered from `first_statement`; an empty line is
// printed as a blank line.
void print_lines(std::span<const std::string_view> lines, uint32_t first_statement);

// A screen of its own: cleared (step `first_statement`), its lines (the steps after it), then the
// press-any-key wait (the step after the last line). Conversation and evidence screens print no
// prompt; where one is shown it is the screen's last line.
struct Screen {
    uint32_t first_statement = 0;
    std::span<const std::string_view> lines;
};
void show_screen(const Screen& screen);

// True when every line fits the 80-column screen; the screens' text is checked with it at
// compile time.
constexpr bool lines_fit(std::span<const std::string_view> lines) {
    for (const std::string_view line : lines) {
        if (line.size() > 80) return false;
    }
    return true;
}

// The press-any-key wait: empties the keystroke buffer, then waits for a new keystroke.
void pause_for_key();

// Clears the screen and draws rows 1 to 16: the title frame, the episode and the compass.
void draw_turn_header(const GameState& game);

// The prompt, one command read against the clock, normalised and carried out.
void take_turn(GameState& game);
