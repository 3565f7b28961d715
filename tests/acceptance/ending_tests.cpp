// The endings that lose or leave the case: accusing a witness, quitting, and running out of time.
#include <gtest/gtest.h>

#include "tests/acceptance/game_play.h"

namespace acceptance {
namespace {

struct Accusation {
    const char* name;
    std::vector<std::pair<int, const char*>> route;  // (location, direction typed there)
    int location;
};

void PrintTo(const Accusation& accusation, std::ostream* out) { *out << accusation.name; }

class WrongAccusation : public ::testing::TestWithParam<Accusation> {};

TEST_P(WrongAccusation, TurnsTheScreenBlueAndEndsAtTheClosingPrompt) {
    const Accusation& accusation = GetParam();
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch(std::string("accuse_") + accusation.name)));
    ASSERT_TRUE(game.reach_first_turn());
    for (const auto& [location, direction] : accusation.route) {
        ASSERT_TRUE(game.enter_command(location, direction));
    }
    ASSERT_TRUE(game.wait_for_turn(accusation.location));
    ASSERT_TRUE(game.enter_command(accusation.location, "PRESENT EVIDENCE"));

    const std::vector<std::string> arrest = {any_text, any_text, any_text};
    ASSERT_TRUE(game.wait_for_layout("the wrong accusation", arrest, nullptr, ending_foreground,
                                     ending_background));
    ASSERT_TRUE(game.dismiss());
    ASSERT_TRUE(game.wait_for_layout("the closing prompt under the wrong accusation", arrest,
                                     nullptr, ending_foreground, ending_background, true));
    ASSERT_TRUE(game.finish_at_closing_prompt(ending_foreground, ending_background));
}

INSTANTIATE_TEST_SUITE_P(
    Witnesses, WrongAccusation,
    ::testing::Values(Accusation{"ben", {{1, "E"}, {2, "S"}}, 3},
                      Accusation{"lisa", {{1, "E"}, {2, "N"}, {4, "E"}, {5, "S"}, {6, "S"}}, 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Quit, QLeavesThePromptLineAndEndsAtTheClosingPrompt) {
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch("quit")));
    ASSERT_TRUE(game.reach_first_turn());
    ASSERT_TRUE(game.enter_command(1, "Q"));
    Screen screen;
    ASSERT_TRUE(game.wait_for(
        "the closing prompt",
        [](const Screen& current) { return current.row_trimmed(screen_rows) == closing_prompt; },
        &screen));
    // No message of the game's own: the turn screen stays, with the command as typed.
    EXPECT_EQ(screen.row_trimmed(prompt_row(1)), "> Q") << screen_text(screen);
    EXPECT_EQ(screen.row_trimmed(15), "If you are stuck just type HELP.") << screen_text(screen);
    EXPECT_TRUE(check_colours(screen, game_foreground, game_background));
    ASSERT_TRUE(game.finish_at_closing_prompt(game_foreground, game_background));
}

// Libfaketime speeds up the process's clocks and its sleeps alike, so the unchanged executable
// lives through its thirty minutes in a few seconds.
constexpr int clock_speed = 100;

TEST(TimeOut, TheCaseIsLostWhenTheCountdownRunsOut) {
    GameSession game;
    ASSERT_TRUE(game.start_game(sped_up_game_launch("time_out", clock_speed)));
    ASSERT_TRUE(game.reach_first_turn());

    // The countdown shown in the window runs at the sped-up pace.
    ASSERT_TRUE(game.wait_for(
        "the countdown below 25 minutes",
        [](const Screen& screen) {
            const std::optional<double> left = countdown_seconds(screen);
            return left && *left < 25 * 60;
        },
        nullptr, std::chrono::seconds(20)));

    Screen ending;
    ASSERT_TRUE(game.wait_for(
        "the time-out ending",
        [](const Screen& screen) { return screen.row_trimmed(screen_rows) == closing_prompt; },
        &ending, std::chrono::seconds(60)));
    // The screen was cleared for the ending's four lines: no header, no countdown, no prompt.
    EXPECT_TRUE(check_layout(ending, {any_text, any_text, any_text, any_text}, true));
    EXPECT_NE(joined_text(ending).find("Mr. Fish"), std::string::npos) << screen_text(ending);
    EXPECT_TRUE(check_colours(ending, game_foreground, game_background));
    ASSERT_TRUE(game.finish_at_closing_prompt(game_foreground, game_background));
}

}  // namespace
}  // namespace acceptance
