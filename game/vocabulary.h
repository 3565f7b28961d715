// The command vocabulary: every command is a whole phrase, upper-cased and trimmed, compared
// against one ordered table of phrases, each entry with a condition on the game and an action.
// The first entry whose phrase and condition both match is carried out; anything else just ends
// the turn, and the screen is redrawn without a word.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "game/flow.h"
#include "game/locations.h"
#include "runtime/core/rt_string.h"

enum class Condition {
    none,
    way_exists,        // a movement rule leads from here in the entry's direction
    holds_bill,
    holds_cigar,
    holds_bullet_case,
    at_location,       // the player stands in the entry's location
};

enum class Action {
    quit,
    help,
    look,              // the exits screen
    inventory,
    move,              // in the entry's direction
    screen,            // a conversation or evidence screen
    wrong_accusation,
    confession,
};

struct VocabularyEntry {
    std::array<std::string_view, 4> texts{};  // unused places stay empty and match nothing
    Condition condition = Condition::none;
    int32_t location = 0;                     // for Condition::at_location
    Direction direction = Direction::north;   // for Condition::way_exists and Action::move
    Action action = Action::quit;
    const Screen* screen = nullptr;           // for Action::screen
};

// The table, in dispatch order.
std::span<const VocabularyEntry> vocabulary();

// Upper case, then without trailing and leading blanks (only code 32, only at the ends).
// Consumes `text` when it is a temporary.
RtString* normalise_command(RtString* text);

// The first entry matching `command` in the game as it stands, or nullptr.
const VocabularyEntry* match_command(std::string_view command, const GameState& game);

// Carries out the action matching game.command; returns unless the action ends the game.
void dispatch_command(GameState& game);

// The help screen (fixed text) and the exits screen of the current location.
void show_help();
void show_exits(const GameState& game);
