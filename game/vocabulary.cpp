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
using namespace place;

using Texts = std::array<std::string_view, 4>;

// The shapes of a row, so that each row says only what it uses.
constexpr VocabularyEntry always(Texts texts, Action action) {
    return {texts, none, 0, north, action, nullptr};
}
constexpr VocabularyEntry way(Texts texts, Direction direction) {
    return {texts, way_exists, 0, direction, move, nullptr};
}
constexpr VocabularyEntry evidence(std::string_view text, Condition held, const Screen& shown) {
    return {{text}, held, 0, north, screen, &shown};
}
constexpr VocabularyEntry phrase(std::string_view text, int32_t where, const Screen& shown) {
    return {{text}, at_location, where, north, screen, &shown};
}
constexpr VocabularyEntry accusation(int32_t where, Action ending) {
    return {{"PRESENT EVIDENCE"}, at_location, where, north, ending, nullptr};
}

constexpr std::array<VocabularyEntry, 29> vocabulary_table = {{
    always({"END", "QUIT", "EXIT", "Q"}, quit),
    always({"HELP", "H", "?"}, help),
    always({"LOOK AROUND", "LOOK", "L"}, look),
    always({"INVENTORY", "INV", "ITEMS", "I"}, inventory),
    way({"GO NORTH", "NORTH", "N"}, north),
    way({"GO EAST", "EAST", "E"}, east),
    way({"GO SOUTH", "SOUTH", "S"}, south),
    way({"GO WEST", "WEST", "W"}, west),
    evidence("EXAMINE BILL", holds_bill, examine_bill_screen),
    evidence("EXAMINE CIGAR", holds_cigar, examine_cigar_screen),
    evidence("EXAMINE BULLET CASE", holds_bullet_case, examine_bullet_case_screen),
    phrase("EXAMINE CABBY", crime_scene, examine_cabby_screen),
    phrase("TALK TO CABBY", crime_scene, talk_to_cabby_screen),
    phrase("EXAMINE BEN", waiting_room, examine_ben_screen),
    phrase("TALK TO BEN", waiting_room, talk_to_ben_screen),
    phrase("TELL ME WHAT HAPPENED", waiting_room, ben_what_happened_screen),
    phrase("EXAMINE MR FISH", fish_office, examine_fish_screen),
    phrase("TALK TO MR FISH", fish_office, talk_to_fish_screen),
    phrase("NICE CIGAR", fish_office, fish_cigar_screen),
    phrase("WHY WAS THE FARE ALLOWED HERE", fish_office, fish_fare_screen),
    phrase("DO YOU OWN A GUN", fish_office, fish_gun_screen),
    phrase("EXAMINE LISA", dispatch_room, examine_lisa_screen),
    phrase("TALK TO LISA", dispatch_room, talk_to_lisa_screen),
    phrase("ASK ABOUT CABBY", dispatch_room, lisa_cabby_screen),
    phrase("MR FISH", dispatch_room, lisa_fish_screen),
    phrase("RIVAL COMPANIES", dispatch_room, lisa_rivals_screen),
    accusation(waiting_room, wrong_accusation),   // BEN
    accusation(dispatch_room, wrong_accusation),  // LISA
    accusation(fish_office, confession),          // MR FISH
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
