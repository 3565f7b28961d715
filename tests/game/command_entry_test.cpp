// Timed command entry with the real game on its thread and a fake clock: what the countdown
// shows in the first passes, how typing is shown, and the time-out, also across midnight.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/core/errors.h"
#include "tests/game/game_driver.h"
#include "tests/support/page_text.h"

namespace {

constexpr int glut_key_up = 101;  // the window layer's number for the Up arrow
constexpr int glut_key_f1 = 1;

// Columns 32 to 42 of row 2.
std::string countdown_text(const GameDriver& driver) { return driver.row_exact(2).substr(31, 11); }

// The countdown read back as minutes and seconds.
struct ShownTime {
    int minutes;
    double seconds;
};
ShownTime shown_time(const GameDriver& driver) {
    const std::string text = countdown_text(driver);
    return {std::atoi(text.substr(0, 4).c_str()), std::atof(text.substr(5).c_str())};
}

// From the start of the case up to the turn's first pass, with `lag_ms` passing between the
// second key press and the first pass.
bool start_case_with_lag(GameDriver& driver, int64_t lag_ms) {
    if (!driver.answer_pause([&] { return driver.row(15) == "Press any key to Continue..."; })) {
        return false;
    }
    if (!driver.run_until([&] { return driver.rows() == std::vector<std::string>(25); })) return false;
    driver.press_character(' ');
    // The turn is drawn and the entry's set-up is emptying the queues.
    if (!driver.run_until([&] { return prompt_row(driver) == 19; })) return false;
    driver.advance_clock_ms(lag_ms);
    return driver.run_until([&] { return countdown_shown(driver); });
}

bool time_out_shown(const GameDriver& driver) {
    const std::vector<std::string> rows = driver.rows();
    for (int32_t row = 1; row <= 4; ++row) {
        if (rows[row - 1].empty()) return false;
    }
    return rows[4].empty() && rows[0].starts_with("Puzzled");
}

TEST(Countdown, FirstPassesShowThirtyMinutesThenTwentyNineAndJustUnderFiftyNineAndAHalf) {
    GameDriver driver;
    ASSERT_TRUE(start_case_with_lag(driver, 7));
    // 1800 - 0.007 s: rounded to 1800, so 30 minutes and a small negative remainder.
    EXPECT_EQ(countdown_text(driver), "  30:-0.007");
    EXPECT_EQ(attribute_at(driver.page(), 2, 32), 0x08);

    std::vector<std::string> shown = {countdown_text(driver)};
    const int64_t start_ms = driver.clock_now_ms();
    ASSERT_TRUE(driver.run_until([&] {
        if (countdown_text(driver) != shown.back()) shown.push_back(countdown_text(driver));
        return shown_time(driver).minutes == 29;
    }));
    // Every earlier pass showed 30 minutes and a value from just below zero down to -0.5.
    for (size_t n = 0; n + 1 < shown.size(); ++n) {
        EXPECT_EQ(shown[n].substr(0, 6), "  30:-") << shown[n];
        const double seconds = std::atof(shown[n].substr(5).c_str());
        EXPECT_LE(seconds, 0.0) << shown[n];
        EXPECT_GE(seconds, -0.5) << shown[n];
    }
    EXPECT_GT(shown.size(), 10u);  // about half a second at 30 passes a second
    const ShownTime first_29 = shown_time(driver);
    EXPECT_LT(first_29.seconds, 59.5);
    EXPECT_GT(first_29.seconds, 59.4);
    EXPECT_EQ(countdown_text(driver).substr(0, 5), "  29:");
    const int64_t elapsed_ms = driver.clock_now_ms() - start_ms;
    EXPECT_GT(elapsed_ms, 450);
    EXPECT_LT(elapsed_ms, 560);
}

TEST(Countdown, SecondsBelowTenShowABlankAfterTheColon) {
    GameDriver driver;
    ASSERT_TRUE(start_case_with_lag(driver, 0));
    // Twenty-two minutes and fifty-five seconds on: 7:05 left.
    driver.advance_clock_ms((22 * 60 + 55) * 1000);
    driver.step();
    ASSERT_TRUE(driver.run_until([&] { return shown_time(driver).minutes == 7; }, 20'000));
    const std::string text = countdown_text(driver);
    EXPECT_EQ(text.substr(0, 6), "   7: ") << text;
    EXPECT_EQ(text[7], '.') << text;
}

TEST(Typing, LowerCaseIsShownInUpperCaseAfterThePrompt) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    driver.type_text("look ar");
    ASSERT_TRUE(driver.run_until([&] { return driver.row(19) == "> LOOK AR"; }));
    EXPECT_TRUE(countdown_shown(driver));
    // The letters are printed in the game's colours, right after the prompt.
    EXPECT_EQ(cell_at(driver.page(), 19, 3).character, 'L');
    EXPECT_EQ(attribute_at(driver.page(), 19, 3), 0x08);
}

TEST(Typing, BlanksAreKeptAnywhereAndBackspaceErases) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    driver.press_character('\b');  // on empty text: nothing
    driver.type_text("  lox");
    driver.press_character('\b');
    driver.type_text("ok ");
    ASSERT_TRUE(driver.run_until([&] { return driver.row_exact(19).substr(0, 10) == ">   LOOK  "; }));
    // A leading and a trailing blank still give LOOK.
    driver.press_character('\r');
    ASSERT_TRUE(driver.run_until([&] { return driver.row(1) == "EAST"; }));
}

TEST(Typing, DigitsPunctuationArrowsAndFunctionKeysAreIgnored) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    driver.type_text("e");
    driver.type_text("7!.,-");
    driver.press_special(glut_key_up);
    driver.press_special(glut_key_f1);
    driver.press_character(27);  // Esc
    driver.press_character('\t');
    driver.type_text("x");
    ASSERT_TRUE(driver.run_until([&] { return driver.row(19) == "> EX"; }));
    driver.press_character('\b');
    driver.press_character('\r');
    ASSERT_TRUE(driver.run_until([&] { return location_on_screen(driver) == 2; }));
}

TEST(Typing, ATextLongerThanSeventyEightCharactersMovesToTheNextRow) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    driver.type_text(std::string(78, 'a'));
    ASSERT_TRUE(driver.run_until([&] { return driver.row(19) == "> " + std::string(78, 'A'); }));
    EXPECT_EQ(driver.row(20), "");
    driver.type_text("b");
    ASSERT_TRUE(driver.run_until([&] { return driver.row(20) == std::string(78, 'A') + "B"; }));
    EXPECT_EQ(driver.row(19), ">");
    // An unknown command: the turn is drawn again without a word.
    driver.press_character('\r');
    ASSERT_TRUE(driver.run_until([&] { return !countdown_shown(driver); }));
    EXPECT_EQ(location_on_screen(driver), 1);
    EXPECT_EQ(driver.row(20), "");
}

TEST(Typing, AnEmptyCommandRedrawsTheTurn) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(driver.enter_command(""));
    EXPECT_EQ(location_on_screen(driver), 1);
    EXPECT_EQ(prompt_row(driver), 19);
}

TEST(TimeOut, WhenTheDeadlinePassesWhileTyping) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    driver.type_text("lo");
    ASSERT_TRUE(driver.run_until([&] { return driver.row(19) == "> LO"; }));
    driver.advance_clock_ms(30 * 60 * 1000);
    ASSERT_TRUE(driver.run_until([&] { return time_out_shown(driver); }));
    EXPECT_TRUE(driver.run_until([&] { return driver.at_closing_prompt(); }));
    EXPECT_TRUE(row_has_attribute(driver.page(), 25, 0x08));
    EXPECT_EQ(attribute_at(driver.page(), 1, 1), 0x08);
    EXPECT_TRUE(finish_program(driver));
    EXPECT_TRUE(driver.boxes().empty());
}

TEST(TimeOut, ADeadlinePassedDuringAHelpScreenEndsTheCaseOnTheFirstPass) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(driver.enter_command("HELP"));
    // Time runs on while the help screen waits, but is not looked at there.
    driver.advance_clock_ms(31 * 60 * 1000);
    for (int n = 0; n < 30; ++n) driver.step();
    EXPECT_TRUE(driver.row(1).starts_with("HERE ARE SOME"));
    ASSERT_TRUE(driver.answer_pause([] { return true; }));
    // No pass of the next entry shows a countdown: the first one already ends the case.
    ASSERT_TRUE(driver.run_until([&] { return countdown_shown(driver) || time_out_shown(driver); }));
    EXPECT_TRUE(time_out_shown(driver));
    EXPECT_TRUE(driver.run_until([&] { return driver.at_closing_prompt(); }));
}

TEST(TimeOut, WinsOverAnEnterReadInTheSamePass) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    driver.type_text("look");
    ASSERT_TRUE(driver.run_until([&] { return driver.row(19) == "> LOOK"; }));
    // Let the last release go, so that the next pass reads Enter.
    for (int n = 0; n < 20; ++n) driver.step();
    ASSERT_EQ(driver.row(19), "> LOOK");
    ASSERT_GT(driver.last_sleep_ms(), 0);  // inside the pacing of a pass
    driver.advance_clock_ms(30 * 60 * 1000);
    driver.press_character('\r');
    ASSERT_TRUE(driver.run_until([&] { return time_out_shown(driver) || driver.row(1) == "EAST"; }));
    EXPECT_TRUE(time_out_shown(driver));
}

TEST(Midnight, ACaseStartedAtTenToMidnightKeepsItsThirtyMinutes) {
    GameDriver driver(23 * 3600 + 50 * 60);
    ASSERT_TRUE(start_case_with_lag(driver, 7));
    EXPECT_EQ(countdown_text(driver), "  30:-0.007");
    // Twenty minutes on it is ten past midnight: ten minutes left, not a day and ten minutes.
    driver.advance_clock_ms(20 * 60 * 1000);
    ASSERT_TRUE(driver.run_until([&] { return countdown_text(driver).substr(0, 5) != "  30:"; }));
    EXPECT_EQ(countdown_text(driver).substr(0, 6), "  10:-") << countdown_text(driver);
    driver.advance_clock_ms(1000);
    ASSERT_TRUE(driver.run_until([&] { return shown_time(driver).minutes == 9; }));
    // And at twenty past midnight the case is lost.
    driver.advance_clock_ms(10 * 60 * 1000);
    ASSERT_TRUE(driver.run_until([&] { return time_out_shown(driver); }));
}

TEST(Midnight, TheCountdownRunsOnThroughMidnight) {
    GameDriver driver(23 * 3600 + 59 * 60 + 50);  // ten seconds to midnight
    ASSERT_TRUE(start_case_with_lag(driver, 0));
    EXPECT_EQ(countdown_text(driver), "  30: 0.000");
    driver.advance_clock_ms(15 * 1000);  // five seconds past midnight
    driver.step();
    ASSERT_TRUE(driver.run_until([&] { return countdown_text(driver) != "  30: 0.000"; }));
    const ShownTime shown = shown_time(driver);
    EXPECT_EQ(shown.minutes, 29) << countdown_text(driver);
    EXPECT_NEAR(shown.seconds, 45.0, 0.1) << countdown_text(driver);
}

TEST(Steps, AnErrorIsReportedWithTheNumberOfTheStepItFollowed) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(driver.enter_command("HELP"));
    ASSERT_TRUE(driver.wait_in_pause([] { return true; }));
    raise_error(5);
    driver.step();
    ASSERT_TRUE(driver.run_until([&] { return !driver.boxes().empty(); }, 100));
    // The wait of the press-any-key pause is step 151; the dialog was answered Yes.
    EXPECT_EQ(driver.boxes()[0],
              "Unhandled Error #5|Line: 151 (in main module)\nIllegal function call\nContinue?");
    ASSERT_TRUE(driver.answer_pause([] { return true; }));
    ASSERT_TRUE(driver.run_until([&] { return location_on_screen(driver) == 1; }));
}

}  // namespace
