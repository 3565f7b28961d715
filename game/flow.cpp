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

constexpr std::string_view hint = "If you are stuck just type HELP.";

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
    print_without_line_end(compass_indent);
    finish_step(steps, 111);
    if (marks.north) print_line("N"); else print_blank_line();
    finish_step(steps, 112);
    print_without_line_end(compass_left);
    finish_step(steps, 113);
    print_without_line_end(marks.west ? "W" : " ");
    finish_step(steps, 114);
    print_without_line_end(compass_hub);
    finish_step(steps, 115);
    print_without_line_end(marks.east ? "E" : " ");
    finish_step(steps, 116);
    print_line(compass_right);
    finish_step(steps, 117);
    print_without_line_end(compass_indent);
    finish_step(steps, 118);
    if (marks.south) print_line("S"); else print_blank_line();
    finish_step(steps, 119);

    print_blank_line();
    finish_step(steps, 120);
    print_line(hint);
    finish_step(steps, 121);
    print_blank_line();
    finish_step(steps, 122);
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
