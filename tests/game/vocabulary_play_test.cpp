// The vocabulary and movement with the real game on its thread: every phrase typed in every
// location where it means something, and in places where it must mean nothing, and every
// direction from every location.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "game/evidence.h"
#include "tests/game/game_driver.h"

namespace {

// What a command leads to: a screen whose first row is `first_row`, or (first_row empty) the
// turn of `location`.
struct Case {
    int32_t location;
    std::string_view command;
    std::string_view first_row;
    int32_t then_location;
};

constexpr std::string_view help_row = "HERE ARE SOME BASIC COMMANDS THAT CAN BE USED IN THE GAME...";

void play(const std::vector<Case>& cases) {
    int32_t here = 0;
    std::unique_ptr<GameDriver> driver;
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + std::string(c.command) + "\" in location " + std::to_string(c.location));
        if (c.location != here) {
            driver = std::make_unique<GameDriver>();
            ASSERT_TRUE(driver->start_case());
            ASSERT_TRUE(walk_to(*driver, c.location));
            here = c.location;
        }
        ASSERT_TRUE(driver->enter_command(c.command));
        if (c.first_row.empty()) {
            EXPECT_EQ(location_on_screen(*driver), c.then_location);
            here = location_on_screen(*driver) == c.location ? here : 0;
            continue;
        }
        EXPECT_EQ(driver->row(1), c.first_row);
        ASSERT_TRUE(driver->answer_pause([] { return true; }));
        ASSERT_TRUE(driver->run_until([&] { return location_on_screen(*driver) == c.location; }));
    }
}

TEST(VocabularyPlay, GeneralCommandsEverywhere) {
    std::vector<Case> cases;
    for (int32_t location = 1; location <= 8; ++location) {
        for (const std::string_view help : {"HELP", "H"}) {
            cases.push_back({location, help, help_row, 0});
        }
        // "?" is in the vocabulary, but the command entry takes only letters and blanks: typed,
        // it leaves an empty command.
        cases.push_back({location, "?", "", location});
        for (const std::string_view look : {"LOOK AROUND", "LOOK", "L"}) {
            cases.push_back({location, look, "", 0});  // filled below
        }
        for (const std::string_view inventory : {"INVENTORY", "INV", "ITEMS", "I"}) {
            cases.push_back({location, inventory, "INVENTORY...", 0});
        }
        cases.push_back({location, "EXAMINE BILL", examine_bill_screen.lines[0], 0});
        cases.push_back({location, "EXAMINE CIGAR", examine_cigar_screen.lines[0], 0});
        cases.push_back({location, "EXAMINE BULLET CASE", examine_bullet_case_screen.lines[0], 0});
    }
    const std::string_view exits[] = {
        "EAST", "NORTH, SOUTH, OR WEST", "NORTH", "EAST OR SOUTH",
        "WEST OR SOUTH", "NORTH OR SOUTH", "NORTH OR EAST", "WEST",
    };
    for (Case& c : cases) {
        if (c.command.starts_with("L")) c.first_row = exits[c.location - 1];
    }
    play(cases);
}

TEST(VocabularyPlay, PeopleAnswerOnlyInTheirOwnLocation) {
    // The first row of each reply screen is our prose; the test cares that the right screen
    // comes up, so it names the screen by the start of its first row.
    struct Phrase {
        std::string_view command;
        int32_t location;
        std::string_view first_row_start;
    };
    const Phrase phrases[] = {
        {"EXAMINE CABBY", 2, "An older man"},
        {"TALK TO CABBY", 2, "Dead men tell no tales."},
        {"EXAMINE BEN", 3, "A young man"},
        {"TALK TO BEN", 3, "\"I live right across"},
        {"TELL ME WHAT HAPPENED", 3, "\"The cab pulled into"},
        {"EXAMINE MR FISH", 8, "He's the sleazy type"},
        {"TALK TO MR FISH", 8, "Detective, what can I do you for? Coffee...cigar?"},
        {"NICE CIGAR", 8, "\"Thanks. Gray Owl"},
        {"WHY WAS THE FARE ALLOWED HERE", 8, "\"How should I know"},
        {"DO YOU OWN A GUN", 8, "\"Of course I own a gun."},
        {"EXAMINE LISA", 7, "She's only a few years"},
        {"TALK TO LISA", 7, "\"It's a shame"},
        {"ASK ABOUT CABBY", 7, "\"He was a good man."},
        {"MR FISH", 7, "\"Mr. Fish? He's alright."},
        {"RIVAL COMPANIES", 7, "\"The big outfits"},
    };
    for (int32_t location = 1; location <= 8; ++location) {
        SCOPED_TRACE("location " + std::to_string(location));
        GameDriver driver;
        ASSERT_TRUE(driver.start_case());
        ASSERT_TRUE(walk_to(driver, location));
        for (const Phrase& phrase : phrases) {
            SCOPED_TRACE(std::string(phrase.command));
            ASSERT_TRUE(driver.enter_command(phrase.command));
            if (phrase.location != location) {
                EXPECT_EQ(location_on_screen(driver), location);  // a silent redraw
                continue;
            }
            EXPECT_TRUE(driver.row(1).starts_with(phrase.first_row_start)) << driver.row(1);
            ASSERT_TRUE(driver.answer_pause([] { return true; }));
            ASSERT_TRUE(driver.run_until([&] { return location_on_screen(driver) == location; }));
        }
        // Phrases the help screen names but the vocabulary lacks, and near misses.
        for (const std::string_view nothing :
             {"TALK", "USE BILL", "READ BILL", "TAKE CIGAR", "LOOK  AROUND", "MR  FISH", "XYZZY"}) {
            SCOPED_TRACE(std::string(nothing));
            ASSERT_TRUE(driver.enter_command(nothing));
            EXPECT_EQ(location_on_screen(driver), location);
        }
    }
}

TEST(VocabularyPlay, EveryDirectionFromEveryLocation) {
    // Where each way leads, by location, typed by hand; 0 = no way (the turn is drawn again).
    struct Ways {
        int32_t location, north, east, south, west;
    };
    const Ways table[] = {
        {1, 0, 2, 0, 0}, {2, 4, 0, 3, 1}, {3, 2, 0, 0, 0}, {4, 0, 5, 2, 0},
        {5, 0, 0, 6, 4}, {6, 5, 0, 7, 0}, {7, 6, 8, 0, 0}, {8, 0, 0, 0, 7},
    };
    // The three spellings of each way, tried in turn; each move is walked back the opposite way.
    const std::string_view spellings[4][3] = {
        {"GO NORTH", "NORTH", "N"}, {"GO EAST", "EAST", "E"},
        {"GO SOUTH", "SOUTH", "S"}, {"GO WEST", "WEST", "W"},
    };
    const int opposite[4] = {2, 3, 0, 1};
    for (const Ways& ways : table) {
        SCOPED_TRACE("from " + std::to_string(ways.location));
        GameDriver driver;
        ASSERT_TRUE(driver.start_case());
        ASSERT_TRUE(walk_to(driver, ways.location));
        const int32_t to[4] = {ways.north, ways.east, ways.south, ways.west};
        for (int way = 0; way < 4; ++way) {
            for (const std::string_view spelling : spellings[way]) {
                SCOPED_TRACE(std::string(spelling));
                ASSERT_TRUE(driver.enter_command(spelling));
                EXPECT_EQ(location_on_screen(driver), to[way] != 0 ? to[way] : ways.location);
                if (to[way] != 0) {
                    ASSERT_TRUE(driver.enter_command(spellings[opposite[way]][2]));
                    ASSERT_EQ(location_on_screen(driver), ways.location);
                }
            }
        }
    }
}

TEST(VocabularyPlay, NorthFromTheWaitingRoomEndsAtTheCrimeScene) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(walk_to(driver, 3));
    ASSERT_TRUE(driver.enter_command("go north"));
    EXPECT_EQ(location_on_screen(driver), 2);
}

}  // namespace
