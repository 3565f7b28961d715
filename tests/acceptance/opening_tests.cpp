// The start of a case as the player sees it: the briefing, the blank screen that waits for a
// second key, and the first turn with its running countdown; and typing at the prompt.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "tests/acceptance/game_play.h"

namespace acceptance {
namespace {

TEST(Opening, BriefingThenBlankScreenThenFirstTurnWithRunningCountdown) {
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch("opening")));
    Screen briefing;
    ASSERT_TRUE(game.capture(briefing));
    EXPECT_TRUE(check_colours(briefing, game_foreground, game_background));

    ASSERT_TRUE(game.dismiss());
    ASSERT_TRUE(game.wait_for_layout("the blank second screen", {}));
    // The countdown has not started: the screen stays blank until a second key.
    sleep_for(std::chrono::milliseconds(1200));
    Screen waiting;
    ASSERT_TRUE(game.capture(waiting));
    ASSERT_TRUE(check_layout(waiting, {}));

    ASSERT_TRUE(game.dismiss());
    Screen first_turn;
    ASSERT_TRUE(game.wait_for_turn(1, &first_turn));
    const auto pressed = now();

    // The clock starts with the second key: thirty minutes, less what has passed since.
    const double first = *countdown_seconds(first_turn);
    EXPECT_LE(first, 1800.5);
    EXPECT_GT(first, 1790.0);

    sleep_for(std::chrono::milliseconds(2000));
    Screen later;
    ASSERT_TRUE(game.wait_for_turn(1, &later));
    EXPECT_TRUE(game.save_picture("acceptance_title.png"));
    const double elapsed =
        std::chrono::duration<double>(now() - pressed).count();
    const double second = *countdown_seconds(later);
    EXPECT_LT(second, first - 1.5) << "the countdown does not run down";
    EXPECT_GT(second, first - elapsed - 1.0) << "the countdown runs down faster than the clock";
}

TEST(Typing, LettersUpperCasedOthersIgnoredBackspaceAndBlanksTrimmed) {
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch("typing")));
    ASSERT_TRUE(game.reach_first_turn());
    const int prompt = prompt_row(1);
    const auto prompt_shows = [&](const std::string& text) {
        return game.wait_for("\"" + text + "\" on the prompt row", [&](const Screen& screen) {
            return screen.row_trimmed(prompt) == text;
        });
    };

    game.type_text("lo");
    ASSERT_TRUE(prompt_shows("> LO"));
    game.type_text("1.,;:9'-=/");
    game.press_key(XK_Left);
    game.press_key(XK_Up);
    game.press_key(XK_F1);
    game.type_text("O");  // with Shift
    ASSERT_TRUE(prompt_shows("> LOO"));
    game.type_text("\b");
    ASSERT_TRUE(prompt_shows("> LO"));
    game.type_text("\b\b\b");  // one more than there is
    ASSERT_TRUE(prompt_shows(">"));

    // A command in lower case with blanks around it is the command.
    game.type_text("  look  ");
    ASSERT_TRUE(game.wait_for("\">   LOOK\" on the prompt row", [&](const Screen& screen) {
        return screen.row_trimmed(prompt) == ">   LOOK";
    }));
    game.type_text("\n");
    ASSERT_TRUE(game.wait_for_layout("the exits of location 1",
                                     {location_facts(1).exits, "", "PRESS ANY KEY..."}));
    ASSERT_TRUE(game.dismiss());
    ASSERT_TRUE(game.wait_for_turn(1));
}

}  // namespace
}  // namespace acceptance
