#include "game/vocabulary.h"

#include "game/characters.h"
#include "game/evidence.h"
#include "game/steps.h"
#include "runtime/input/program_end.h"
#include "runtime/text/cursor.h"

namespace {

using enum Condition;
using enum Action;
using enum Direction;

constexpr std::array<VocabularyEntry, 29> vocabulary_table = {{
    {{"END", "QUIT", "EXIT", "Q"}, none, 0, north, quit, nullptr},
    {{"HELP", "H", "?"}, none, 0, north, help, nullptr},
    {{"LOOK AROUND", "LOOK", "L"}, none, 0, north, look, nullptr},
    {{"INVENTORY", "INV", "ITEMS", "I"}, none, 0, north, inventory, nullptr},
    {{"GO NORTH", "NORTH", "N"}, way_exists, 0, north, move, nullptr},
    {{"GO EAST", "EAST", "E"}, way_exists, 0, east, move, nullptr},
    {{"GO SOUTH", "SOUTH", "S"}, way_exists, 0, south, move, nullptr},
    {{"GO WEST", "WEST", "W"}, way_exists, 0, west, move, nullptr},
    {{"EXAMINE BILL"}, holds_bill, 0, north, screen, &examine_bill_screen},
    {{"EXAMINE CIGAR"}, holds_cigar, 0, north, screen, &examine_cigar_screen},
    {{"EXAMINE BULLET CASE"}, holds_bullet_case, 0, north, screen,
     &examine_bullet_case_screen},
    {{"EXAMINE CABBY"}, at_location, 2, north, screen, &examine_cabby_screen},
    {{"TALK TO CABBY"}, at_location, 2, north, screen, &talk_to_cabby_screen},
    {{"EXAMINE BEN"}, at_location, 3, north, screen, &examine_ben_screen},
    {{"TALK TO BEN"}, at_location, 3, north, screen, &talk_to_ben_screen},
    {{"TELL ME WHAT HAPPENED"}, at_location, 3, north, screen, &ben_what_happened_screen},
    {{"EXAMINE MR FISH"}, at_location, 8, north, screen, &examine_fish_screen},
    {{"TALK TO MR FISH"}, at_location, 8, north, screen, &talk_to_fish_screen},
    {{"NICE CIGAR"}, at_location, 8, north, screen, &fish_cigar_screen},
    {{"WHY WAS THE FARE ALLOWED HERE"}, at_location, 8, north, screen, &fish_fare_screen},
    {{"DO YOU OWN A GUN"}, at_location, 8, north, screen, &fish_gun_screen},
    {{"EXAMINE LISA"}, at_location, 7, north, screen, &examine_lisa_screen},
    {{"TALK TO LISA"}, at_location, 7, north, screen, &talk_to_lisa_screen},
    {{"ASK ABOUT CABBY"}, at_location, 7, north, screen, &lisa_cabby_screen},
    {{"MR FISH"}, at_location, 7, north, screen, &lisa_fish_screen},
    {{"RIVAL COMPANIES"}, at_location, 7, north, screen, &lisa_rivals_screen},
    {{"PRESENT EVIDENCE"}, at_location, 3, north, wrong_accusation, nullptr},  // BEN
    {{"PRESENT EVIDENCE"}, at_location, 7, north, wrong_accusation, nullptr},  // LISA
    {{"PRESENT EVIDENCE"}, at_location, 8, north, confession, nullptr},        // MR FISH
}};

constexpr auto help_lines = std::to_array<std::string_view>({
    "HERE ARE SOME BASIC COMMANDS THAT CAN BE USED IN THE GAME...",
    "",
    "LOOK                         - CHECK FOR AVAILABLE EXITS",
    "NORTH, EAST ,SOUTH, AND WEST - MOVE TO AN AVAILABLE LOCATION",
    "EXAMINE (OBJECT)             - EXAMINE AN OBJECT",
    "USE (OBJECT)                 - USE AN OBJECT",
    "READ (OBJECT)                - READ AN OBJECT",
    "TAKE (OBJECT)                - TAKE OR MOVE AN OBJECT",
    "TALK                         - TALK TO SOMEONE",
    "PRESENT EVIDENCE             - WHEN YOU THINK YOU'VE SOLVED THE CASE",
    "INVENTORY                    - VIEW YOUR INVENTORY",
    "HELP                         - VIEW THIS SCREEN",
    "END                          - END GAME",
    "",
    "PRESS ANY KEY...",
});

// Every command name is padded to 29 characters, so each hyphen stands in column 30.
constexpr bool hyphens_aligned() {
    for (size_t n = 2; n <= 12; ++n) {
        if (help_lines[n].substr(29, 1) != "-") return false;
    }
    return true;
}
static_assert(hyphens_aligned());

constexpr Screen help_screen{320, help_lines};  // steps 320 to 336

bool condition_holds(const VocabularyEntry& entry, const GameState& game) {
    switch (entry.condition) {
        case none: return true;
        case way_exists: return destination(entry.direction, game.location).has_value();
        case holds_bill: return game.has_bill == 1;
        case holds_cigar: return game.has_cigar == 1;
        case holds_bullet_case: return game.has_bullet_case == 1;
        case at_location: return game.location == entry.location;
    }
    return false;
}

bool phrase_matches(const VocabularyEntry& entry, std::string_view command) {
    for (const std::string_view text : entry.texts) {
        if (!text.empty() && text == command) return true;
    }
    return false;
}

}  // namespace

std::span<const VocabularyEntry> vocabulary() { return vocabulary_table; }

RtString* normalise_command(RtString* text) {
    return string_trim_left(string_trim_right(string_upper(text)));
}

const VocabularyEntry* match_command(std::string_view command, const GameState& game) {
    for (const VocabularyEntry& entry : vocabulary_table) {
        if (phrase_matches(entry, command) && condition_holds(entry, game)) return &entry;
    }
    return nullptr;
}

void dispatch_command(GameState& game) {
    const Steps steps;
    const VocabularyEntry* entry = match_command(string_view_of(game.command), game);
    finish_step(steps, 300);
    if (entry == nullptr) return;
    switch (entry->action) {
        case quit: end_program();
        case help: show_help(); break;
        case look: show_exits(game); break;
        case inventory: show_inventory(game); break;
        case move: move_player(game, entry->direction); break;
        case screen: show_screen(*entry->screen); break;
        case wrong_accusation: play_wrong_accusation();
        case confession: play_confession();
    }
    finish_step(steps, 301);
}

void show_help() { show_screen(help_screen); }

void show_exits(const GameState& game) {
    const Steps steps;
    clear_screen(0, 0, 0);
    finish_step(steps, 340);
    print_line(current_exits(game));
    finish_step(steps, 341);
    print_blank_line();
    finish_step(steps, 342);
    print_line("PRESS ANY KEY...");
    finish_step(steps, 343);
    pause_for_key();
    finish_step(steps, 344);
}
