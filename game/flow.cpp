#include "game/flow.h"

#include "game/command_entry.h"
#include "game/game.h"
#include "game/locations.h"
#include "game/steps.h"
#include "game/vocabulary.h"
#include "runtime/input/clock.h"
#include "runtime/input/key_queue.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print.h"

namespace {

// The exits text of each location, 1 to 8; the LOOK command prints it and the compass is read
// from it.
constexpr std::array<std::string_view, location_count> exits_table = {
    "EAST",                   // 1 garage entrance
    "NORTH, SOUTH, OR WEST",  // 2 crime scene
    "NORTH",                  // 3 waiting room
    "EAST OR SOUTH",          // 4 twisted hallway
    "WEST OR SOUTH",          // 5 box-lined hallway
    "NORTH OR SOUTH",         // 6 smoky corridor
    "NORTH OR EAST",          // 7 dispatch room
    "WEST",                   // 8 Fish's office
};

constexpr auto briefing_lines = std::to_array<std::string_view>({
    "",
    "",
    "The telephone dragged me out of bed twenty minutes ago. Nobody calls a",
    "detective at six o'clock in the morning with good news, and this was no",
    "exception: a cab driver murdered at his company's dispatch garage. Maybe a",
    "fare dispute gone sour, the desk sergeant figured. Maybe.",
    "The streets were still grey and empty when I pulled up to the garage, and a",
    "uniformed officer met me at the curb. \"The witnesses are inside, Detective,\"",
    "he said. \"We've got men posted outside. Nobody goes in or out without you.\"",
    "Then he pressed three evidence bags into my hand. \"It's all yours.\"",
    "I turned up my collar and looked at the open door. A killer was in there.",
    "",
    "The Adventure begins...now.",
    "",
    "Press any key to Continue...",
});
static_assert(lines_fit(briefing_lines));

// The title frame and the episode lines, rows 1 to 10 of every turn. The credit row is exactly
// the screen's width: its line end leaves the pending wrap to move down once.
constexpr auto title_lines = std::to_array<std::string_view>({
    "",
    "",
    "",
    "                       ________________________________                        ",
    "                      /The Casebook of Detective Vellam\\                     ",
    "                      /Written by: Dell Corrigan       \\                        ",
    "                      /________________________________\\                    ",
    "                                                                            ",
    "                                 Episode Twelve:",
    "                                 Tarrowgate",
});
static_assert(title_lines[3].size() == 79 && title_lines[4].size() == 77 &&
              title_lines[5].size() == 80 && title_lines[6].size() == 76 &&
              title_lines[7].size() == 76);

// The compass: "N" and "S" in column 39, "W" in 37, "+" in 39, "E" in 41; the middle row is 80
// characters wide.
constexpr std::string_view compass_indent = "                                      ";
constexpr std::string_view compass_left = "*---------------------------------* ";
constexpr std::string_view compass_hub = " + ";
constexpr std::string_view compass_right = " *------------------------------------*";
static_assert(compass_indent.size() == 38);
static_assert(compass_left.size() + 1 + compass_hub.size() + 1 + compass_right.size() == 80);

// What a compass piece shows: fixed text, or a direction's letter when the exits text names it.
enum class CompassMark { fixed, north, east, south, west };

struct CompassPiece {
    CompassMark mark;
    std::string_view shown;
    std::string_view otherwise;  // in place of a letter whose way does not exist
    bool ends_line;
};

// The three compass rows, piece by piece: an absent "N" or "S" leaves just the line end, an absent
// "W" or "E" a blank.
constexpr std::array<CompassPiece, 9> compass_pieces = {{
    {CompassMark::fixed, compass_indent, "", false},
    {CompassMark::north, "N", "", true},
    {CompassMark::fixed, compass_left, "", false},
    {CompassMark::west, "W", " ", false},
    {CompassMark::fixed, compass_hub, "", false},
    {CompassMark::east, "E", " ", false},
    {CompassMark::fixed, compass_right, "", true},
    {CompassMark::fixed, compass_indent, "", false},
    {CompassMark::south, "S", "", true},
}};

bool shows_mark(const CompassMarks& marks, CompassMark mark) {
    switch (mark) {
        case CompassMark::fixed: return true;
        case CompassMark::north: return marks.north;
        case CompassMark::east: return marks.east;
        case CompassMark::south: return marks.south;
        case CompassMark::west: return marks.west;
    }
    return false;
}

// Rows 14 to 16: a blank line, the hint, a blank line.
constexpr auto hint_lines = std::to_array<std::string_view>({
    "",
    "If you are stuck just type HELP.",
    "",
});

}  // namespace

GameState new_game_state() {
    GameState game;
    for (int32_t n = 1; n <= location_count; ++n) game.exits[n - 1] = exits_table[n - 1];
    game.command = string_new(0, false);
    return game;
}

std::string_view current_exits(const GameState& game) { return game.exits[game.location - 1]; }

CompassMarks compass_marks(std::string_view exits) {
    const auto contains = [exits](std::string_view word) {
        return exits.find(word) != std::string_view::npos;
    };
    return {contains("NORTH"), contains("EAST"), contains("SOUTH"), contains("WEST")};
}

void run_game() {
    const Steps steps;
    GameState game = new_game_state();
    finish_step(steps, 10);
    set_color(8, 0, 0, color_foreground_given | color_background_given);
    finish_step(steps, 11);
    clear_screen(0, 0, 0);
    finish_step(steps, 12);
    print_lines(briefing_lines, 13);  // steps 13 to 27
    pause_for_key();
    finish_step(steps, 30);

    clear_screen(0, 0, 0);
    finish_step(steps, 31);
    print_blank_line();
    finish_step(steps, 32);
    print_blank_line();
    finish_step(steps, 33);
    // The second key press starts the clock; the keystroke buffer is not emptied first.
    bool pressed = false;
    while (!pressed) {
        pressed = read_key()->length != 0;
        finish_step(steps, 34);
    }
    game.deadline = static_cast<double>(game.limit_total_seconds) + timer_seconds(0.001, true);
    finish_step(steps, 35);

    for (;;) {
        draw_turn_header(game);
        finish_step(steps, 40);
        describe_location(game);
        finish_step(steps, 41);
        take_turn(game);
        finish_step(steps, 42);
    }
}

void draw_turn_header(const GameState& game) {
    const Steps steps;
    clear_screen(0, 0, 0);
    finish_step(steps, 100);
    print_lines(title_lines, 101);  // steps 101 to 110

    const CompassMarks marks = compass_marks(current_exits(game));
    uint32_t statement = 111;  // steps 111 to 119
    for (const CompassPiece& piece : compass_pieces) {
        const std::string_view text = shows_mark(marks, piece.mark) ? piece.shown : piece.otherwise;
        if (!piece.ends_line) print_without_line_end(text);
        else if (text.empty()) print_blank_line();
        else print_line(text);
        finish_step(steps, statement++);
    }
    print_lines(hint_lines, 120);  // steps 120 to 122
}

void take_turn(GameState& game) {
    const Steps steps;
    print_without_line_end("> ");
    finish_step(steps, 140);
    string_assign(game.command, normalise_command(timed_command_entry(game)));
    finish_step(steps, 141);
    dispatch_command(game);
    finish_step(steps, 142);
}

void pause_for_key() {
    const Steps steps;
    // Whatever was typed before the screen was drawn must not skip it.
    bool typed = true;
    while (typed) {
        typed = read_key()->length != 0;
        finish_step(steps, 150);
    }
    bool pressed = false;
    while (!pressed) {
        pressed = read_key()->length != 0;
        finish_step(steps, 151);
    }
}

void print_lines(std::span<const std::string_view> lines, uint32_t first_statement) {
    const Steps steps;
    uint32_t statement = first_statement;
    for (const std::string_view line : lines) {
        if (line.empty()) print_blank_line(); else print_line(line);
        finish_step(steps, statement++);
    }
}

void show_screen(const Screen& screen) {
    const Steps steps;
    clear_screen(0, 0, 0);
    finish_step(steps, screen.first_statement);
    print_lines(screen.lines, screen.first_statement + 1);
    pause_for_key();
    finish_step(steps, screen.first_statement + 1 + static_cast<uint32_t>(screen.lines.size()));
}

void print_line(std::string_view text) { print_line(string_from_literal(text)); }

void print_line(const RtString* text) {
    make_fit(text);
    print_string(text, 0);
    print_string(nullptr, 1);
}

void print_without_line_end(std::string_view text) {
    const RtString* string = string_from_literal(text);
    make_fit(string);
    print_string(string, 0);
}

void print_blank_line() { print_string(nullptr, 1); }
