// How the case ends, with the real game on its thread: quitting, accusing the wrong person in
// the waiting room or the dispatch room, and the confession in Fish's office, each finished by
// the closing prompt and the exit flag.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/signals.h"
#include "tests/game/game_driver.h"
#include "tests/support/page_text.h"

namespace {

constexpr uint8_t grey_on_black = 0x08;
constexpr uint8_t yellow_on_blue = 0x1E;

// Rows that must be blank (1-based) and the number of rows a page takes.
void expect_layout(const GameDriver& driver, const std::vector<int32_t>& blank_rows,
                   int32_t page_rows) {
    const std::vector<std::string> rows = driver.rows();
    for (int32_t row = 1; row <= page_rows; ++row) {
        const bool blank = std::find(blank_rows.begin(), blank_rows.end(), row) != blank_rows.end();
        EXPECT_EQ(rows[row - 1].empty(), blank) << "row " << row << ": " << rows[row - 1];
    }
    for (int32_t row = page_rows + 1; row <= 24; ++row) EXPECT_EQ(rows[row - 1], "") << row;
}

// Every text line of the page either carries no speech or sets each speech off with hyphens: a
// hyphen directly before its first word and directly after its last.
int32_t speech_marks(const GameDriver& driver, int32_t page_rows) {
    int32_t marks = 0;
    for (int32_t row = 1; row <= page_rows; ++row) {
        const std::string line = driver.row(row);
        for (size_t n = 0; n < line.size(); ++n) marks += line[n] == '-' ? 1 : 0;
    }
    return marks;
}

TEST(Quit, EveryQuitWordEndsTheProgramAtOnce) {
    for (const std::string_view word : {"END", "quit", "Exit", "q"}) {
        SCOPED_TRACE(std::string(word));
        GameDriver driver;
        ASSERT_TRUE(driver.start_case());
        ASSERT_TRUE(driver.enter_command(word));
        ASSERT_TRUE(driver.run_until([&] { return driver.at_closing_prompt(); }));
        // No message of the game's own: the turn as typed, the prompt on the bottom row.
        EXPECT_EQ(location_on_screen(driver), 1);
        std::string shown(word);
        for (char& c : shown) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(driver.row(19), "> " + shown);
        EXPECT_EQ(driver.row(25), "Press any key to continue");
        EXPECT_TRUE(row_has_attribute(driver.page(), 25, grey_on_black));
        EXPECT_EQ(runtime_signals().exit_now.load(), 0);
        EXPECT_TRUE(finish_program(driver));
    }
}

TEST(Accusation, WrongInTheWaitingRoomAndInTheDispatchRoom) {
    for (const int32_t location : {3, 7}) {
        SCOPED_TRACE("location " + std::to_string(location));
        GameDriver driver;
        ASSERT_TRUE(driver.start_case());
        ASSERT_TRUE(walk_to(driver, location));
        ASSERT_TRUE(driver.enter_command("present evidence"));
        expect_layout(driver, {}, 3);
        // The whole screen turned blue: yellow on blue on every row.
        for (int32_t row = 1; row <= 25; ++row) {
            EXPECT_TRUE(row_has_attribute(driver.page(), row, yellow_on_blue)) << row;
        }
        EXPECT_TRUE(driver.row(2).find("wrong") != std::string::npos) << driver.row(2);
        // The three lines wait for a key, then the closing prompt, still yellow on blue.
        for (int n = 0; n < 30; ++n) driver.step();
        EXPECT_FALSE(driver.at_closing_prompt());
        ASSERT_TRUE(driver.answer_pause([] { return true; }));
        ASSERT_TRUE(driver.run_until([&] { return driver.at_closing_prompt(); }));
        EXPECT_EQ(driver.row(25), "Press any key to continue");
        EXPECT_TRUE(row_has_attribute(driver.page(), 25, yellow_on_blue));
        EXPECT_TRUE(finish_program(driver));
    }
}

TEST(Accusation, NothingHappensWhereNobodyCanBeAccused) {
    for (const int32_t location : {1, 2, 4, 5, 6}) {
        SCOPED_TRACE("location " + std::to_string(location));
        GameDriver driver;
        ASSERT_TRUE(driver.start_case());
        ASSERT_TRUE(walk_to(driver, location));
        ASSERT_TRUE(driver.enter_command("PRESENT EVIDENCE"));
        EXPECT_EQ(location_on_screen(driver), location);
        EXPECT_TRUE(row_has_attribute(driver.page(), 15, grey_on_black));
    }
}

TEST(Accusation, TheConfessionInFishsOfficeWinsTheCase) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(walk_to(driver, 8));
    ASSERT_TRUE(driver.enter_command("PRESENT EVIDENCE"));

    // First page: 18 rows, paragraphs of 1, 1, 1, 2, 3, 2 and 1 lines, each followed by a blank.
    expect_layout(driver, {2, 4, 6, 9, 13, 16, 18}, 18);
    EXPECT_TRUE(row_has_attribute(driver.page(), 1, yellow_on_blue));
    EXPECT_TRUE(row_has_attribute(driver.page(), 25, yellow_on_blue));
    EXPECT_EQ(speech_marks(driver, 18) % 2, 0);
    EXPECT_TRUE(driver.row(3).starts_with("-"));
    EXPECT_TRUE(driver.row(10).starts_with("-"));
    EXPECT_TRUE(driver.row(12).ends_with("-"));
    EXPECT_TRUE(driver.row(17).starts_with("-"));
    EXPECT_TRUE(driver.row(17).ends_with("-"));
    for (int n = 0; n < 30; ++n) driver.step();
    ASSERT_TRUE(driver.answer_pause([] { return true; }));

    // Second page: 15 rows ending with the next episode.
    ASSERT_TRUE(driver.run_until([&] {
        return driver.row(13) == "Stay Tuned...for another thrilling episode of...";
    }));
    expect_layout(driver, {3, 5, 7, 10, 12, 14}, 15);
    EXPECT_EQ(driver.row(15), "The Casebook of Detective Vellam Episode 13: Quillmere");
    EXPECT_EQ(speech_marks(driver, 11) % 2, 0);
    EXPECT_TRUE(driver.row(4).starts_with("-"));
    EXPECT_TRUE(driver.row(11).starts_with("-"));
    EXPECT_FALSE(driver.at_closing_prompt());
    ASSERT_TRUE(driver.answer_pause([] { return true; }));

    ASSERT_TRUE(driver.run_until([&] { return driver.at_closing_prompt(); }));
    EXPECT_EQ(driver.row(25), "Press any key to continue");
    EXPECT_TRUE(row_has_attribute(driver.page(), 25, yellow_on_blue));
    EXPECT_TRUE(finish_program(driver));
    EXPECT_TRUE(driver.boxes().empty());
}

TEST(Accusation, TheEndingPlaysOnWhateverTheClockSays) {
    GameDriver driver;
    ASSERT_TRUE(driver.start_case());
    ASSERT_TRUE(walk_to(driver, 8));
    ASSERT_TRUE(driver.enter_command("PRESENT EVIDENCE"));
    driver.advance_clock_ms(40 * 60 * 1000);
    ASSERT_TRUE(driver.answer_pause([] { return true; }));
    ASSERT_TRUE(driver.run_until([&] { return driver.row(15).starts_with("The Casebook"); }));
    ASSERT_TRUE(driver.answer_pause([] { return true; }));
    ASSERT_TRUE(driver.run_until([&] { return driver.at_closing_prompt(); }));
}

}  // namespace
