// The process and its window: closing the window, the Break and Pause keys, the full-screen
// cycle and a window resized by the user.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "tests/acceptance/game_play.h"

namespace acceptance {
namespace {

// Closing the window or Break ends the process this quickly (the shutdown polls in steps of
// 16 ms and 100 ms).
constexpr std::chrono::milliseconds prompt_ending{500};

enum class Where { briefing, command_prompt, closing_prompt };

struct CloseCase {
    const char* name;
    Where where;
};

void PrintTo(const CloseCase& close_case, std::ostream* out) { *out << close_case.name; }

class WindowClosed : public ::testing::TestWithParam<CloseCase> {};

TEST_P(WindowClosed, EndsTheProcessWithStatusZero) {
    const CloseCase& close_case = GetParam();
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch(std::string("close_at_") + close_case.name)));
    if (close_case.where != Where::briefing) {
        ASSERT_TRUE(game.reach_first_turn());
    }
    if (close_case.where == Where::closing_prompt) {
        ASSERT_TRUE(game.enter_command(1, "QUIT"));
        ASSERT_TRUE(game.wait_for(
            "the closing prompt",
            [](const Screen& screen) { return screen.row_trimmed(screen_rows) == closing_prompt; }));
    }
    game.close_window();
    int status = -1;
    std::chrono::milliseconds took{};
    ASSERT_TRUE(game.wait_for_exit(status, prompt_ending, &took));
    EXPECT_EQ(status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Anywhere, WindowClosed,
    ::testing::Values(CloseCase{"briefing", Where::briefing},
                      CloseCase{"command_prompt", Where::command_prompt},
                      CloseCase{"closing_prompt", Where::closing_prompt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BreakKey, EndsAtOnceWithoutTheClosingPrompt) {
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch("break")));
    ASSERT_TRUE(game.reach_first_turn());
    game.press_key(XK_Pause, control);
    const auto pressed = now();
    while (game.program_running()) {
        ASSERT_LT(now() - pressed, prompt_ending) << "the program is still running";
        Screen screen;
        if (game.capture(screen)) {
            ASSERT_NE(screen.row_trimmed(screen_rows), closing_prompt)
                << "Break showed the closing prompt";
        }
    }
    int status = -1;
    ASSERT_TRUE(game.wait_for_exit(status, std::chrono::milliseconds(0)));
    EXPECT_EQ(status, 0);
}

TEST(PauseKey, FreezesTheCountdownUntilTheNextKey) {
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch("pause")));
    ASSERT_TRUE(game.reach_first_turn());
    game.press_key(XK_Pause);
    // The program stops at its next step; from then on the window keeps its last frame. Two
    // readings well apart that agree show it has stopped.
    std::optional<double> paused_at;
    const auto give_up = now() + std::chrono::seconds(10);
    while (!paused_at && now() < give_up) {
        Screen first;
        ASSERT_TRUE(game.capture(first));
        sleep_for(std::chrono::milliseconds(400));
        Screen second;
        ASSERT_TRUE(game.capture(second));
        const std::optional<double> before = countdown_seconds(first);
        ASSERT_TRUE(before) << screen_text(first);
        if (before == countdown_seconds(second)) paused_at = before;
    }
    ASSERT_TRUE(paused_at) << "the countdown never stopped after Pause";
    for (int look = 0; look < 5; ++look) {
        sleep_for(std::chrono::milliseconds(300));
        Screen still;
        ASSERT_TRUE(game.capture(still));
        ASSERT_EQ(countdown_seconds(still), paused_at) << "the countdown runs while paused";
    }

    // The next key only resumes: it is not typed.
    game.type_text("x");
    Screen resumed;
    ASSERT_TRUE(game.wait_for(
        "the countdown running again",
        [&](const Screen& screen) {
            const std::optional<double> left = countdown_seconds(screen);
            return left && *left < *paused_at - 0.5;
        },
        &resumed));
    ASSERT_TRUE(game.wait_for_turn(1, &resumed));
    EXPECT_EQ(resumed.row_trimmed(prompt_row(1)), ">") << "the key that resumed was typed";
    // The game goes on as before.
    ASSERT_TRUE(game.enter_command(1, "E"));
    ASSERT_TRUE(game.wait_for_turn(2));
}

TEST(FullScreenCycle, FiveAltEnterPressesReturnToTheWindow) {
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch("alt_enter")));
    ASSERT_TRUE(game.reach_first_turn());
    // The first press covers the screen; the next three change only the scaling and the
    // smoothing; the fifth brings the window back.
    game.press_key(XK_Return, alt);
    ASSERT_TRUE(game.wait_for_geometry(x_screen_width, x_screen_height, std::chrono::seconds(5)));
    for (int press = 2; press <= 4; ++press) {
        sleep_for(std::chrono::milliseconds(300));
        game.press_key(XK_Return, alt);
    }
    sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(game.window_geometry().width, x_screen_width);
    game.press_key(XK_Return, alt);
    ASSERT_TRUE(game.wait_for_geometry(640, 400, std::chrono::seconds(5)));
    ASSERT_TRUE(game.wait_for("the window back at 640x400 with the turn screen",
                              [](const Screen& screen) {
                                  return static_cast<bool>(check_turn_screen(screen, 1));
                              }));
    const WindowGeometry geometry = game.window_geometry();
    EXPECT_EQ(geometry.width, 640);
    EXPECT_EQ(geometry.height, 400);
    // Alt+Enter is no command: nothing was typed and no command ran.
    ASSERT_TRUE(game.wait_for_turn(1));
}

TEST(WindowSize, AWindowResizedByTheUserSnapsBack) {
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch("resize")));
    ASSERT_TRUE(game.reach_first_turn());
    game.resize_window(900, 700);
    ASSERT_TRUE(game.wait_for_geometry(900, 700, std::chrono::seconds(5)));
    ASSERT_TRUE(game.wait_for_geometry(640, 400, std::chrono::seconds(5)));
    ASSERT_TRUE(game.wait_for_turn(1));
}

}  // namespace
}  // namespace acceptance
