// A whole case played to the confession: every location by the passages between them, every
// general command, every examination and every phrase of every person, commands that only work
// elsewhere, and the winning accusation in Mr. Fish's office.
#include <gtest/gtest.h>

#include "tests/acceptance/game_play.h"

namespace acceptance {
namespace {

enum class Outcome {
    moves,    // the next turn is in location `to`
    redraws,  // nothing happens: the same location is drawn again with an empty prompt
    shows,    // a screen with `layout` that waits for a key, then the same location again
};

struct Step {
    int at;
    const char* command;
    Outcome outcome;
    int to = 0;
    std::vector<std::string> layout = {};
    const char* fact = nullptr;     // a text the screen must hold (it may wrap)
    const char* picture = nullptr;  // file name of a screenshot of this screen
};

const std::string& T = any_text;

const std::vector<std::string> help_screen = {
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
};

const std::vector<std::string> inventory_screen = {
    "INVENTORY...",
    "",
    "A 20 bill soaked in the victims blood.",
    "A Cigar... probably left by the killer.",
    "A Bullet Case from a revolver.",
    "",
    "PRESS ANY KEY...",
};

std::vector<std::string> exits_screen(int location) {
    return {location_facts(location).exits, "", "PRESS ANY KEY..."};
}

// The route of the case: east, south to the waiting room and back, then north, east, south,
// south, east to Mr. Fish's office. Command forms vary between the full, the bare and the short.
const std::vector<Step> walkthrough = {
    {1, "TALK TO BEN", Outcome::redraws},
    {1, "GO NORTH", Outcome::redraws},
    {1, "PRESENT EVIDENCE", Outcome::redraws},
    {1, "LOOK", Outcome::shows, 0, exits_screen(1)},
    {1, "HELP", Outcome::shows, 0, help_screen},
    {1, "INVENTORY", Outcome::shows, 0, inventory_screen},
    {1, "EXAMINE BILL", Outcome::shows, 0, {T, T}},
    {1, "EXAMINE CIGAR", Outcome::shows, 0, {T, T}, "Gray Owl"},
    {1, "EXAMINE BULLET CASE", Outcome::shows, 0, {T, T}, "Saturday Night Special"},
    {1, "GO EAST", Outcome::moves, 2},
    {2, "L", Outcome::shows, 0, exits_screen(2)},
    {2, "EXAMINE CABBY", Outcome::shows, 0, {T, T, "", "TALK TO CABBY"}},
    {2, "TALK TO CABBY", Outcome::shows, 0, {"Dead men tell no tales."}},
    {2, "EAST", Outcome::redraws},
    {2, "GO SOUTH", Outcome::moves, 3},
    {3, "EXAMINE BEN", Outcome::shows, 0,
     {T, T, T, "", "TALK TO BEN", "TELL ME WHAT HAPPENED"}},
    {3, "TALK TO BEN", Outcome::shows, 0, {T, T, T, T}},
    {3, "TELL ME WHAT HAPPENED", Outcome::shows, 0, {T, T, T, T}},
    {3, "I", Outcome::shows, 0, inventory_screen},
    {3, "NORTH", Outcome::moves, 2},
    {2, "N", Outcome::moves, 4},
    {4, "LOOK AROUND", Outcome::shows, 0, exits_screen(4)},
    {4, "E", Outcome::moves, 5},
    {5, "SOUTH", Outcome::moves, 6},
    {6, "GO SOUTH", Outcome::moves, 7},
    {7, "NICE CIGAR", Outcome::redraws},
    {7, "EXAMINE LISA", Outcome::shows, 0,
     {T, T, "", "TALK TO LISA", "ASK ABOUT CABBY", "MR FISH", "RIVAL COMPANIES"}},
    {7, "TALK TO LISA", Outcome::shows, 0, {T, T}},
    {7, "ASK ABOUT CABBY", Outcome::shows, 0, {T, T}},
    {7, "MR FISH", Outcome::shows, 0, {T, T}},
    {7, "RIVAL COMPANIES", Outcome::shows, 0, {T, T, T}},
    {7, "EAST", Outcome::moves, 8},
    {8, "MR FISH", Outcome::redraws},
    {8, "EXAMINE MR FISH", Outcome::shows, 0,
     {T, T, T, "", "TALK TO MR FISH", "NICE CIGAR", "WHY WAS THE FARE ALLOWED HERE",
      "DO YOU OWN A GUN"},
     nullptr, "acceptance_conversation.png"},
    {8, "TALK TO MR FISH", Outcome::shows, 0,
     {"Detective, what can I do you for? Coffee...cigar?"}},
    {8, "NICE CIGAR", Outcome::shows, 0, {T, T, T}, "Gray Owl"},
    {8, "NICE CIGAR", Outcome::shows, 0, {T, T, T}, "Gray Owl"},  // again: the same answer
    {8, "WHY WAS THE FARE ALLOWED HERE", Outcome::shows, 0, {T, T, T, T}},
    {8, "DO YOU OWN A GUN", Outcome::shows, 0, {T, T, T, T}, "Saturday Night Special"},
};

// The two confession pages, row by row.
const std::vector<std::string> confession_first_page = {
    T, "", T, "", T, "", T, T, "", T, T, T, "", T, T, "", T, ""};
const std::vector<std::string> confession_second_page = {
    T, T, "", T, "", T, "", T, T, "", T, "",
    "Stay Tuned...for another thrilling episode of...", "",
    "The Casebook of Detective Vellam Episode 13: Quillmere"};

TEST(Walkthrough, EveryLocationPersonAndPhraseThenTheConfessionWins) {
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch("walkthrough")));
    ASSERT_TRUE(game.reach_first_turn());

    for (const Step& step : walkthrough) {
        SCOPED_TRACE(std::string("\"") + step.command + "\" in location " +
                     std::to_string(step.at));
        ASSERT_TRUE(game.enter_command(step.at, step.command));
        switch (step.outcome) {
        case Outcome::moves:
            ASSERT_TRUE(game.wait_for_turn(step.to));
            break;
        case Outcome::redraws:
            ASSERT_TRUE(game.wait_for_turn(step.at));
            break;
        case Outcome::shows: {
            Screen screen;
            ASSERT_TRUE(game.wait_for_layout(std::string("the screen of ") + step.command,
                                             step.layout, &screen));
            if (step.fact != nullptr) {
                EXPECT_NE(joined_text(screen).find(step.fact), std::string::npos)
                    << "the screen does not mention " << step.fact << "\n" << screen_text(screen);
            }
            if (step.picture != nullptr) {
                EXPECT_TRUE(game.save_picture(step.picture));
            }
            ASSERT_TRUE(game.dismiss());
            ASSERT_TRUE(game.wait_for_turn(step.at));
            break;
        }
        }
    }

    ASSERT_TRUE(game.enter_command(8, "PRESENT EVIDENCE"));
    ASSERT_TRUE(game.wait_for_layout("the first confession page", confession_first_page, nullptr,
                                     ending_foreground, ending_background));
    EXPECT_TRUE(game.save_picture("acceptance_confession.png"));
    ASSERT_TRUE(game.dismiss());
    ASSERT_TRUE(game.wait_for_layout("the second confession page", confession_second_page,
                                     nullptr, ending_foreground, ending_background));
    ASSERT_TRUE(game.dismiss());
    ASSERT_TRUE(game.wait_for_layout("the closing prompt under the second page",
                                     confession_second_page, nullptr, ending_foreground,
                                     ending_background, true));
    ASSERT_TRUE(game.finish_at_closing_prompt(ending_foreground, ending_background));
}

}  // namespace
}  // namespace acceptance
