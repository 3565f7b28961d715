// The game's screens as the player sees them on page 0, with the game running on its own thread
// against a fake clock: the briefing and the start of the case, the turn header with the compass
// of every location, the prompt rows, and the help, exits, inventory, evidence and conversation
// screens. Fixed texts are typed here by hand; the prose of replies and descriptions is taken
// from the game's data, since what matters there is where and how it is shown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/characters.h"
#include "game/evidence.h"
#include "game/locations.h"
#include "runtime/core/rt_string.h"
#include "tests/game/game_driver.h"
#include "tests/support/page_text.h"

namespace {

std::string blanks(size_t n) { return std::string(n, ' '); }

// Rows 1 to 16 of a turn as they must look; row 2 is left to the countdown.
std::vector<std::string> expected_header(bool north, bool east, bool south, bool west) {
    return {
        "",
        "",  // the countdown's row
        "",
        blanks(23) + std::string(32, '_'),
        blanks(22) + "/The Casebook of Detective Vellam\\",
        blanks(22) + "/Written by: Dell Corrigan       \\",
        blanks(22) + "/" + std::string(32, '_') + "\\",
        "",
        blanks(33) + "Episode Twelve:",
        blanks(33) + "Tarrowgate",
        north ? blanks(38) + "N" : "",
        "*" + std::string(33, '-') + "* " + (west ? "W" : " ") + " + " + (east ? "E" : " ") + " *" +
            std::string(36, '-') + "*",
        south ? blanks(38) + "S" : "",
        "",
        "If you are stuck just type HELP.",
        "",
    };
}

std::vector<std::string> rows_between(const GameDriver& driver, int32_t first, int32_t last) {
    const std::vector<std::string> rows = driver.rows();
    return {rows.begin() + first - 1, rows.begin() + last};
}

// The rows a screen of `lines` shows from row 1, the rest of the page blank.
std::vector<std::string> screen_rows(std::span<const std::string_view> lines) {
    std::vector<std::string> rows(25);
    for (size_t n = 0; n < lines.size(); ++n) rows[n] = std::string(lines[n]);
    return rows;
}

TEST(GameStart, BriefingThenABlankScreenThenTheFirstTurn) {
    GameDriver driver;
    const std::vector<std::string> rows = driver.rows();
    EXPECT_EQ(rows[0], "");
    EXPECT_EQ(rows[1], "");
    for (int32_t row = 3; row <= 11; ++row) EXPECT_NE(rows[row - 1], "") << "briefing row " << row;
    EXPECT_EQ(rows[11], "");
    EXPECT_EQ(rows[12], "The Adventure begins...now.");
    EXPECT_EQ(rows[13], "");
    EXPECT_EQ(rows[14], "Press any key to Continue...");
    // The whole game is dark grey on black.
    EXPECT_EQ(attribute_at(driver.page(), 13, 1), 0x08);

    ASSERT_TRUE(driver.start_case());
    EXPECT_EQ(location_on_screen(driver), 1);
}

TEST(GameStart, AKeyPressedBeforeTheBriefingWaitsIsDiscarded) {
    GameDriver driver;
    // The game is parked in the first step of its wait, which empties the keystroke buffer.
    driver.press_character('x');
    for (int n = 0; n < 50; ++n) driver.step();
    EXPECT_EQ(driver.row(15), "Press any key to Continue...");
    driver.press_character('x');
    ASSERT_TRUE(driver.run_until([&] { return driver.rows() == std::vector<std::string>(25); }));
}

TEST(GameStart, TheClockStartsOnlyWithTheSecondKeyPress) {
    GameDriver driver;
    ASSERT_TRUE(driver.answer_pause([&] { return driver.row(15) == "Press any key to Continue..."; }));
    ASSERT_TRUE(driver.run_until([&] { return driver.rows() == std::vector<std::string>(25); }));
    // Ten minutes on the blank screen cost nothing.
    driver.advance_clock_ms(10 * 60 * 1000);
    for (int n = 0; n < 20; ++n) driver.step();
    EXPECT_EQ(driver.rows(), std::vector<std::string>(25));
    driver.press_character(' ');
    ASSERT_TRUE(driver.run_until([&] { return countdown_shown(driver); }));
    EXPECT_EQ(driver.row_exact(2).substr(31, 11), "  30: 0.000");
}

TEST(TurnHeader, RowsOneToSixteenExactly) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    EXPECT_EQ(rows_between(driver, 1, 16)[0], "");
    std::vector<std::string> header = rows_between(driver, 1, 16);
    // Row 2 holds only the countdown, in columns 32 to 42.
    EXPECT_EQ(driver.row_exact(2).substr(0, 31), blanks(31));
    EXPECT_EQ(driver.row_exact(2).substr(42), blanks(38));
    header[1] = "";
    EXPECT_EQ(header, expected_header(false, true, false, false));

    // The two rows that are exactly 80 wide.
    EXPECT_EQ(driver.row_exact(6).size(), 80u);
    EXPECT_EQ(driver.row_exact(6)[79], ' ');
    EXPECT_EQ(driver.row_exact(12)[79], '*');
    // The compass letters' columns.
    EXPECT_EQ(driver.row_exact(12)[36], ' ');  // no west from the garage entrance
    EXPECT_EQ(driver.row_exact(12)[38], '+');
    EXPECT_EQ(driver.row_exact(12)[40], 'E');
    EXPECT_TRUE(row_has_attribute(driver.page(), 12, 0x08));
}

TEST(TurnHeader, TheCompassAndThePromptRowOfEveryLocation) {
    struct Case {
        int32_t location;
        bool north, east, south, west;
        int32_t prompt_row;  // the header takes rows 1-16, the description follows from row 17
    };
    const Case cases[] = {
        {1, false, true, false, false, 19}, {2, true, false, true, true, 19},
        {3, true, false, false, false, 20}, {4, false, true, true, false, 20},
        {5, false, false, true, true, 19},  {6, true, false, true, false, 19},
        {7, true, true, false, false, 20},  {8, false, false, false, true, 23},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("location " + std::to_string(c.location));
        GameDriver driver;
        ASSERT_TRUE(driver.start_case());
        ASSERT_TRUE(walk_to(driver, c.location));
        ASSERT_TRUE(driver.run_until([&] { return countdown_shown(driver); }));
        std::vector<std::string> header = rows_between(driver, 1, 16);
        header[1] = "";
        EXPECT_EQ(header, expected_header(c.north, c.east, c.south, c.west));
        const std::string compass = driver.row_exact(12);
        EXPECT_EQ(compass[36], c.west ? 'W' : ' ');
        EXPECT_EQ(compass[38], '+');
        EXPECT_EQ(compass[40], c.east ? 'E' : ' ');
        EXPECT_EQ(driver.row_exact(11)[38], c.north ? 'N' : ' ');
        EXPECT_EQ(driver.row_exact(13)[38], c.south ? 'S' : ' ');
        EXPECT_EQ(prompt_row(driver), c.prompt_row);
        EXPECT_EQ(driver.row(c.prompt_row), ">");
        EXPECT_EQ(driver.row_exact(c.prompt_row).substr(0, 2), "> ");
        const auto description = location_description(c.location);
        EXPECT_EQ(static_cast<int32_t>(description.size()), c.prompt_row - 17);
        for (int32_t row = c.prompt_row + 1; row <= 25; ++row) EXPECT_EQ(driver.row(row), "");
    }
}

TEST(Screens, HelpWithEveryHyphenInColumnThirty) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(driver.enter_command("help"));
    const std::vector<std::string> expected_rows = {
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
        "", "", "", "", "", "", "", "", "", "",
    };
    EXPECT_EQ(driver.rows(), expected_rows);
    for (int32_t row = 3; row <= 13; ++row) EXPECT_EQ(driver.row_exact(row)[29], '-') << row;
    // The screen waits for a key, then the turn comes back.
    for (int n = 0; n < 30; ++n) driver.step();
    EXPECT_EQ(driver.row(1), expected_rows[0]);
    ASSERT_TRUE(driver.answer_pause([] { return true; }));
    ASSERT_TRUE(driver.run_until([&] { return location_on_screen(driver) == 1; }));
}

TEST(Screens, ExitsOfTheCurrentLocation) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(driver.enter_command("LOOK"));
    EXPECT_EQ(rows_between(driver, 1, 4),
              (std::vector<std::string>{"EAST", "", "PRESS ANY KEY...", ""}));
    ASSERT_TRUE(driver.answer_pause([] { return true; }));
    ASSERT_TRUE(driver.enter_command("E"));
    ASSERT_TRUE(driver.enter_command("L"));
    EXPECT_EQ(rows_between(driver, 1, 4),
              (std::vector<std::string>{"NORTH, SOUTH, OR WEST", "", "PRESS ANY KEY...", ""}));
}

TEST(Screens, InventoryListsAllThreeItems) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(driver.enter_command("I"));
    const std::vector<std::string> expected = {
        "INVENTORY...",
        "",
        "A 20 bill soaked in the victims blood.",
        "A Cigar... probably left by the killer.",
        "A Bullet Case from a revolver.",
        "",
        "PRESS ANY KEY...",
        "",
    };
    EXPECT_EQ(rows_between(driver, 1, 8), expected);
}

TEST(Screens, TheThreeEvidenceScreens) {
    struct Case {
        std::string_view command;
        const Screen* screen;
        std::string_view clue;  // the fact the case rests on
    };
    const Case cases[] = {
        {"EXAMINE BILL", &examine_bill_screen, "twenty-dollar bill"},
        {"EXAMINE CIGAR", &examine_cigar_screen, "Gray Owl"},
        {"EXAMINE BULLET CASE", &examine_bullet_case_screen, "Saturday Night Special"},
    };
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command));
        ASSERT_TRUE(driver.enter_command(c.command));
        ASSERT_EQ(c.screen->lines.size(), 2u);  // two lines, no prompt
        EXPECT_EQ(driver.rows(), screen_rows(c.screen->lines));
        EXPECT_NE((std::string(c.screen->lines[0]) + " " + std::string(c.screen->lines[1])).find(c.clue),
                  std::string::npos);
        ASSERT_TRUE(driver.answer_pause([] { return true; }));
        ASSERT_TRUE(driver.run_until([&] { return location_on_screen(driver) == 1; }));
    }
}

TEST(Screens, ConversationsShowTheirLinesAndTheExactPhrases) {
    struct Case {
        int32_t location;
        std::string_view command;
        const Screen* screen;
        size_t text_lines;
        std::vector<std::string_view> phrases;  // listed after one blank line
    };
    const std::vector<Case> cases = {
        {2, "EXAMINE CABBY", &examine_cabby_screen, 2, {"TALK TO CABBY"}},
        {2, "TALK TO CABBY", &talk_to_cabby_screen, 1, {}},
        {3, "EXAMINE BEN", &examine_ben_screen, 3, {"TALK TO BEN", "TELL ME WHAT HAPPENED"}},
        {3, "TALK TO BEN", &talk_to_ben_screen, 4, {}},
        {3, "TELL ME WHAT HAPPENED", &ben_what_happened_screen, 4, {}},
        {7, "EXAMINE LISA", &examine_lisa_screen, 2,
         {"TALK TO LISA", "ASK ABOUT CABBY", "MR FISH", "RIVAL COMPANIES"}},
        {7, "TALK TO LISA", &talk_to_lisa_screen, 2, {}},
        {7, "ASK ABOUT CABBY", &lisa_cabby_screen, 2, {}},
        {7, "MR FISH", &lisa_fish_screen, 2, {}},
        {7, "RIVAL COMPANIES", &lisa_rivals_screen, 3, {}},
        {8, "EXAMINE MR FISH", &examine_fish_screen, 3,
         {"TALK TO MR FISH", "NICE CIGAR", "WHY WAS THE FARE ALLOWED HERE", "DO YOU OWN A GUN"}},
        {8, "TALK TO MR FISH", &talk_to_fish_screen, 1, {}},
        {8, "NICE CIGAR", &fish_cigar_screen, 3, {}},
        {8, "WHY WAS THE FARE ALLOWED HERE", &fish_fare_screen, 4, {}},
        {8, "DO YOU OWN A GUN", &fish_gun_screen, 4, {}},
    };
    int32_t here = 0;
    std::unique_ptr<GameDriver> driver;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command));
        if (c.location != here) {
            driver = std::make_unique<GameDriver>();
            ASSERT_TRUE(driver->start_case());
            ASSERT_TRUE(walk_to(*driver, c.location));
            here = c.location;
        }
        ASSERT_TRUE(driver->enter_command(c.command));
        std::vector<std::string> expected(25);
        for (size_t n = 0; n < c.text_lines; ++n) expected[n] = driver->rows()[n];
        if (!c.phrases.empty()) {
            for (size_t n = 0; n < c.phrases.size(); ++n) {
                expected[c.text_lines + 1 + n] = std::string(c.phrases[n]);
            }
        }
        EXPECT_EQ(driver->rows(), expected);
        EXPECT_EQ(driver->rows(), screen_rows(c.screen->lines));
        for (size_t n = 0; n < c.text_lines; ++n) EXPECT_NE(driver->rows()[n], "") << n;
        ASSERT_TRUE(driver->answer_pause([] { return true; }));
        ASSERT_TRUE(driver->run_until([&] { return location_on_screen(*driver) == c.location; }));
    }
}

TEST(Screens, TheTwoOneLineRepliesVerbatim) {
    EXPECT_EQ(talk_to_cabby_screen.lines[0], "Dead men tell no tales.");
    EXPECT_EQ(talk_to_fish_screen.lines[0], "Detective, what can I do you for? Coffee...cigar?");
}

TEST(Screens, AKeyPressedBeforeAScreenDoesNotSkipIt) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    // Typed ahead in the same entry: they reach the keystroke buffer and the help screen's
    // pause must empty it first.
    driver.type_text("help\rxyz");
    ASSERT_TRUE(driver.run_until([&] { return driver.row(1).starts_with("HERE ARE SOME"); }));
    for (int n = 0; n < 50; ++n) driver.step();
    EXPECT_TRUE(driver.row(1).starts_with("HERE ARE SOME"));
}

TEST(Screens, RepeatingAPhraseShowsTheSameReplyAgain) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(walk_to(driver, 2));
    for (int n = 0; n < 2; ++n) {
        ASSERT_TRUE(driver.enter_command("TALK TO CABBY"));
        EXPECT_EQ(driver.row(1), "Dead men tell no tales.");
        ASSERT_TRUE(driver.answer_pause([] { return true; }));
    }
}

TEST(Steps, TemporariesDoNotPileUpWhileAScreenWaits) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(driver.enter_command("HELP"));
    driver.step();
    const uint32_t waiting = string_heap_stats().temp_count;
    for (int n = 0; n < 2000; ++n) driver.step();
    EXPECT_EQ(string_heap_stats().temp_count, waiting);
    EXPECT_LT(waiting, 16u);
}

}  // namespace
