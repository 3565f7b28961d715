// The game's pure decisions, checked without a thread or a clock: command normalisation, the
// vocabulary with its conditions, movement, the compass, the countdown's fields, the midnight
// rule and the key edits. Expected values are typed here by hand, not derived from the game's own
// tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "game/command_entry.h"
#include "game/flow.h"
#include "game/locations.h"
#include "game/vocabulary.h"
#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"

namespace {

GameState game_at(int32_t location) {
    GameState game;
    game.location = location;
    return game;
}

int32_t entry_number(const VocabularyEntry* entry) {
    return entry == nullptr ? 0 : static_cast<int32_t>(entry - vocabulary().data()) + 1;
}

TEST(NormaliseCommand, UpperCasesAndTrimsOnlyBlanksAtTheEnds) {
    reset_error_state();
    init_string_state();
    struct Case {
        std::string_view typed;
        std::string_view normalised;
    };
    const Case cases[] = {
        {"look", "LOOK"},
        {"  Look Around  ", "LOOK AROUND"},
        {"LOOK  AROUND", "LOOK  AROUND"},  // inner blanks stay
        {"   ", ""},
        {"", ""},
        {"\tlook", "\tLOOK"},              // only code 32 is a blank
        {"caf\xe9 q", "CAF\xe9 Q"},        // only a-z change case
        {"  mr fish", "MR FISH"},
    };
    for (const Case& c : cases) {
        const uint32_t mark = temp_mark();
        RtString* typed = string_new(static_cast<int32_t>(c.typed.size()), true);
        std::copy(c.typed.begin(), c.typed.end(), typed->data);
        EXPECT_EQ(string_view_of(normalise_command(typed)), c.normalised) << '"' << c.typed << '"';
        release_temporaries(mark);
    }
}

TEST(Vocabulary, EveryPhraseMatchesItsEntryWhereItsConditionHolds) {
    // For each location 1..8 the number of the vocabulary entry (1-based) that must match,
    // 0 for none.
    struct Case {
        std::string_view command;
        std::array<int32_t, 8> entry_by_location;
    };
    const Case cases[] = {
        {"END", {1, 1, 1, 1, 1, 1, 1, 1}},
        {"QUIT", {1, 1, 1, 1, 1, 1, 1, 1}},
        {"EXIT", {1, 1, 1, 1, 1, 1, 1, 1}},
        {"Q", {1, 1, 1, 1, 1, 1, 1, 1}},
        {"HELP", {2, 2, 2, 2, 2, 2, 2, 2}},
        {"H", {2, 2, 2, 2, 2, 2, 2, 2}},
        {"?", {2, 2, 2, 2, 2, 2, 2, 2}},
        {"LOOK AROUND", {3, 3, 3, 3, 3, 3, 3, 3}},
        {"LOOK", {3, 3, 3, 3, 3, 3, 3, 3}},
        {"L", {3, 3, 3, 3, 3, 3, 3, 3}},
        {"INVENTORY", {4, 4, 4, 4, 4, 4, 4, 4}},
        {"INV", {4, 4, 4, 4, 4, 4, 4, 4}},
        {"ITEMS", {4, 4, 4, 4, 4, 4, 4, 4}},
        {"I", {4, 4, 4, 4, 4, 4, 4, 4}},
        // Movement needs a rule from the location: north from 2, 3, 6, 7; east from 1, 4, 7;
        // south from 2, 4, 5, 6; west from 2, 5, 8.
        {"GO NORTH", {0, 5, 5, 0, 0, 5, 5, 0}},
        {"NORTH", {0, 5, 5, 0, 0, 5, 5, 0}},
        {"N", {0, 5, 5, 0, 0, 5, 5, 0}},
        {"GO EAST", {6, 0, 0, 6, 0, 0, 6, 0}},
        {"EAST", {6, 0, 0, 6, 0, 0, 6, 0}},
        {"E", {6, 0, 0, 6, 0, 0, 6, 0}},
        {"GO SOUTH", {0, 7, 0, 7, 7, 7, 0, 0}},
        {"SOUTH", {0, 7, 0, 7, 7, 7, 0, 0}},
        {"S", {0, 7, 0, 7, 7, 7, 0, 0}},
        {"GO WEST", {0, 8, 0, 0, 8, 0, 0, 8}},
        {"WEST", {0, 8, 0, 0, 8, 0, 0, 8}},
        {"W", {0, 8, 0, 0, 8, 0, 0, 8}},
        {"EXAMINE BILL", {9, 9, 9, 9, 9, 9, 9, 9}},
        {"EXAMINE CIGAR", {10, 10, 10, 10, 10, 10, 10, 10}},
        {"EXAMINE BULLET CASE", {11, 11, 11, 11, 11, 11, 11, 11}},
        {"EXAMINE CABBY", {0, 12, 0, 0, 0, 0, 0, 0}},
        {"TALK TO CABBY", {0, 13, 0, 0, 0, 0, 0, 0}},
        {"EXAMINE BEN", {0, 0, 14, 0, 0, 0, 0, 0}},
        {"TALK TO BEN", {0, 0, 15, 0, 0, 0, 0, 0}},
        {"TELL ME WHAT HAPPENED", {0, 0, 16, 0, 0, 0, 0, 0}},
        {"EXAMINE MR FISH", {0, 0, 0, 0, 0, 0, 0, 17}},
        {"TALK TO MR FISH", {0, 0, 0, 0, 0, 0, 0, 18}},
        {"NICE CIGAR", {0, 0, 0, 0, 0, 0, 0, 19}},
        {"WHY WAS THE FARE ALLOWED HERE", {0, 0, 0, 0, 0, 0, 0, 20}},
        {"DO YOU OWN A GUN", {0, 0, 0, 0, 0, 0, 0, 21}},
        {"EXAMINE LISA", {0, 0, 0, 0, 0, 0, 22, 0}},
        {"TALK TO LISA", {0, 0, 0, 0, 0, 0, 23, 0}},
        {"ASK ABOUT CABBY", {0, 0, 0, 0, 0, 0, 24, 0}},
        {"MR FISH", {0, 0, 0, 0, 0, 0, 25, 0}},
        {"RIVAL COMPANIES", {0, 0, 0, 0, 0, 0, 26, 0}},
        {"PRESENT EVIDENCE", {0, 0, 27, 0, 0, 0, 28, 29}},
        // Phrases the help screen names but the vocabulary lacks, and near misses.
        {"TALK", {}},
        {"USE BILL", {}},
        {"TAKE CIGAR", {}},
        {"READ BILL", {}},
        {"LOOK  AROUND", {}},
        {"look", {}},  // matching sees the normalised command only
        {"MR. FISH", {}},
        {"EXAMINE", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        for (int32_t location = 1; location <= 8; ++location) {
            EXPECT_EQ(entry_number(match_command(c.command, game_at(location))),
                      c.entry_by_location[static_cast<size_t>(location - 1)])
                << '"' << c.command << "\" in location " << location;
        }
    }
}

TEST(Vocabulary, ExaminingEvidenceNeedsTheItemHeld) {
    GameState game = game_at(1);
    game.has_bill = 0;
    game.has_cigar = 0;
    game.has_bullet_case = 0;
    EXPECT_EQ(match_command("EXAMINE BILL", game), nullptr);
    EXPECT_EQ(match_command("EXAMINE CIGAR", game), nullptr);
    EXPECT_EQ(match_command("EXAMINE BULLET CASE", game), nullptr);
    EXPECT_EQ(entry_number(match_command("INVENTORY", game)), 4);
}

TEST(Movement, EveryLocationInEveryDirection) {
    // Where each way leads, by location, typed by hand; 0 = no way.
    struct Case {
        int32_t location, north, east, south, west;
    };
    const Case cases[] = {
        {1, 0, 2, 0, 0}, {2, 4, 0, 3, 1}, {3, 2, 0, 0, 0}, {4, 0, 5, 2, 0},
        {5, 0, 0, 6, 4}, {6, 5, 0, 7, 0}, {7, 6, 8, 0, 0}, {8, 0, 0, 0, 7},
    };
    for (const Case& c : cases) {
        const std::array<std::pair<Direction, int32_t>, 4> ways = {{
            {Direction::north, c.north},
            {Direction::east, c.east},
            {Direction::south, c.south},
            {Direction::west, c.west},
        }};
        for (const auto& [direction, expected] : ways) {
            GameState game = game_at(c.location);
            const bool moved = move_player(game, direction);
            EXPECT_EQ(moved, expected != 0) << "from " << c.location << " way "
                                            << static_cast<int>(direction);
            EXPECT_EQ(game.location, expected != 0 ? expected : c.location)
                << "from " << c.location << " way " << static_cast<int>(direction);
        }
    }
}

TEST(Movement, OnlyTheFirstMatchingRuleApplies) {
    GameState game = game_at(3);
    move_player(game, Direction::north);
    EXPECT_EQ(game.location, 2);  // not on to 4, although 2 -> 4 follows in the north rules
}

TEST(Movement, WalkToTheOfficeAndBack) {
    using enum Direction;
    GameState game = game_at(1);
    const Direction there[] = {east, north, east, south, south, east};
    const int32_t stops[] = {2, 4, 5, 6, 7, 8};
    for (size_t n = 0; n < 6; ++n) {
        ASSERT_TRUE(move_player(game, there[n]));
        EXPECT_EQ(game.location, stops[n]);
    }
    const Direction back[] = {west, north, north, west, south, west};
    const int32_t back_stops[] = {7, 6, 5, 4, 2, 1};
    for (size_t n = 0; n < 6; ++n) {
        ASSERT_TRUE(move_player(game, back[n]));
        EXPECT_EQ(game.location, back_stops[n]);
    }
}

TEST(Compass, LettersComeFromTheExitsText) {
    struct Case {
        std::string_view exits;
        bool north, east, south, west;
    };
    const Case cases[] = {
        {"EAST", false, true, false, false},
        {"NORTH, SOUTH, OR WEST", true, false, true, true},
        {"NORTH", true, false, false, false},
        {"EAST OR SOUTH", false, true, true, false},
        {"WEST OR SOUTH", false, false, true, true},
        {"NORTH OR SOUTH", true, false, true, false},
        {"NORTH OR EAST", true, true, false, false},
        {"WEST", false, false, false, true},
        {"north or east", false, false, false, false},  // the search is case-sensitive
        {"NORTHEAST", true, true, false, false},        // substrings, not words
    };
    for (const Case& c : cases) {
        const CompassMarks marks = compass_marks(c.exits);
        EXPECT_EQ(marks.north, c.north) << c.exits;
        EXPECT_EQ(marks.east, c.east) << c.exits;
        EXPECT_EQ(marks.south, c.south) << c.exits;
        EXPECT_EQ(marks.west, c.west) << c.exits;
    }
}

TEST(Compass, EveryLocationsExitsText) {
    const GameState fresh = [] {
        reset_error_state();
        init_string_state();
        return new_game_state();
    }();
    const std::string_view expected[] = {
        "EAST", "NORTH, SOUTH, OR WEST", "NORTH", "EAST OR SOUTH",
        "WEST OR SOUTH", "NORTH OR SOUTH", "NORTH OR EAST", "WEST",
    };
    for (int32_t location = 1; location <= 8; ++location) {
        GameState game = fresh;
        game.location = location;
        EXPECT_EQ(current_exits(game), expected[location - 1]) << location;
    }
}

TEST(Countdown, MinutesFromTheRoundedTimeAndTheSecondsLeftOver) {
    // Hand computation: minutes = trunc(round_half_even(r) / 60), seconds = r - 60 * minutes.
    struct Case {
        long double remaining;
        float minutes;
        double seconds;
    };
    const Case cases[] = {
        {1800.0L, 30, 0.0},
        {1799.993L, 30, -0.007},  // the first passes: 30 and just below zero
        {1799.5L, 30, -0.5},      // a half rounds to even: 1800
        {1799.499L, 29, 59.499},  // then 29 and just under 59.5
        {1798.5L, 29, 58.5},      // 1798.5 rounds to 1798
        {60.5L, 1, 0.5},          // 60.5 rounds to 60
        {59.5L, 1, -0.5},         // 59.5 rounds to 60
        {0.25L, 0, 0.25},
        {-0.3L, 0, -0.3},
        {-61.0L, -1, -1.0},       // the quotient is truncated toward zero
    };
    for (const Case& c : cases) {
        const Countdown countdown = split_countdown(c.remaining);
        EXPECT_EQ(countdown.minutes_left, c.minutes) << static_cast<double>(c.remaining);
        EXPECT_NEAR(countdown.seconds_left, c.seconds, 1e-5) << static_cast<double>(c.remaining);
    }
}

TEST(Countdown, ACaseAcrossMidnightKeepsItsThirtyMinutes) {
    struct Case {
        double deadline, now;
        long double expected;
    };
    const Case cases[] = {
        {37'800, 36'000, 1'800},     // an ordinary morning
        {37'800, 37'800, 0},
        {37'800, 37'900, -100},      // overdue
        {87'600, 85'800, 1'800},     // started at 23:50: the deadline lies past 86,400
        {87'600, 30, 1'170},         // 30 s after midnight
        {87'600, 1'200, 0},          // 00:20, the deadline
        {87'600, 1'300, -100},
        {300, 86'000, 700},          // a deadline kept below 86,400, read before midnight
        {37'800, 37'800 - 43'200, 43'200},     // the range's upper end is kept
        {37'800, 37'800 + 43'200, 43'200},     // -43,200 is moved up
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(static_cast<double>(time_left_seconds(c.deadline, c.now)),
                    static_cast<double>(c.expected), 1e-9)
            << c.deadline << " - " << c.now;
    }
}

TEST(KeyEdit, OnlyLettersBlankAndBackspaceEditTheText) {
    struct Case {
        int32_t hit;
        KeyEdit edit;
    };
    const Case cases[] = {
        {8, KeyEdit::erase_last}, {32, KeyEdit::append},  {65, KeyEdit::append},
        {90, KeyEdit::append},    {97, KeyEdit::append},  {122, KeyEdit::append},
        {13, KeyEdit::none},      {0, KeyEdit::none},     {64, KeyEdit::none},
        {91, KeyEdit::none},      {96, KeyEdit::none},    {123, KeyEdit::none},
        {'1', KeyEdit::none},     {'!', KeyEdit::none},   {-97, KeyEdit::none},  // a release
        {-8, KeyEdit::none},      {0x4800, KeyEdit::none},  // Up
        {27, KeyEdit::none},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(key_edit(c.hit), c.edit) << c.hit;
    }
}

}  // namespace
