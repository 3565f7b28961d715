// The screen reader and the window driver, tested against the stand-in window, whose page is
// known cell by cell.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "tests/acceptance/stand_in/stand_in_page.h"
#include "tests/acceptance/window_driver.h"

namespace acceptance {
namespace {

LaunchOptions stand_in(std::vector<std::string> arguments = {}) {
    LaunchOptions options;
    options.program = STAND_IN_EXECUTABLE;
    options.arguments = std::move(arguments);
    return options;
}

bool is_blank_glyph(int code) { return code == 0 || code == 32 || code == 255; }

TEST(StandInWindow, ReaderDecodesEveryCodeAndColourPair) {
    WindowSession session;
    ASSERT_TRUE(session.start(stand_in()));
    Screen screen;
    ASSERT_TRUE(session.wait_for_text("STAND-IN WINDOW", &screen));

    // Codes 0-255 in yellow (14) on blue (1): a foreground that cannot be a background, so each
    // cell has one reading, except the blank glyphs and the full block, which are one colour.
    for (int code = 0; code < 256; ++code) {
        const DecodedCell& cell = screen.at(stand_in_code_row + code / 32, 1 + code % 32);
        SCOPED_TRACE("code " + std::to_string(code));
        if (is_blank_glyph(code)) {
            EXPECT_EQ(cell.character, 32);
            EXPECT_EQ(cell.foreground, unknown_colour);
            EXPECT_EQ(cell.background, 1);
        } else if (code == 219) {
            EXPECT_EQ(cell.character, 219);
            EXPECT_EQ(cell.foreground, 14);
            EXPECT_EQ(cell.background, unknown_colour);
        } else {
            EXPECT_EQ(cell.character, code);
            EXPECT_EQ(cell.foreground, 14);
            EXPECT_EQ(cell.background, 1);
        }
    }

    // "A" in every foreground on every background; equal colours leave a blank cell.
    for (int combination = 0; combination < 128; ++combination) {
        const int foreground = combination % 16;
        const int background = combination / 16;
        const DecodedCell& cell =
            screen.at(stand_in_colour_row + combination / 64, 1 + combination % 64);
        SCOPED_TRACE("foreground " + std::to_string(foreground) + " on background " +
                     std::to_string(background));
        EXPECT_EQ(cell.background, background);
        if (foreground == background) {
            EXPECT_EQ(cell.character, 32);
        } else {
            EXPECT_EQ(cell.character, 'A');
            EXPECT_EQ(cell.foreground, foreground);
        }
    }

    // Glyphs that are each other's inverse: the lower code wins.
    struct Expected {
        int character, foreground, background;
    };
    const Expected inverse[] = {{220, 2, 1}, {220, 2, 1}, {7, 4, 3},
                                {221, 6, 5}, {32, unknown_colour, 7}, {32, unknown_colour, 1}};
    for (size_t i = 0; i < std::size(inverse); ++i) {
        const DecodedCell& cell = screen.at(stand_in_inverse_row, 1 + static_cast<int>(i));
        SCOPED_TRACE("inverse row, column " + std::to_string(i + 1));
        EXPECT_EQ(cell.character, inverse[i].character);
        EXPECT_EQ(cell.foreground, inverse[i].foreground);
        EXPECT_EQ(cell.background, inverse[i].background);
    }
    EXPECT_EQ(screen.row_trimmed(1), "STAND-IN WINDOW");
    EXPECT_EQ(screen.at(1, 1).foreground, 15);
}

TEST(StandInWindow, ReaderRejectsAPixelOfNoTextColour) {
    WindowSession session;
    ASSERT_TRUE(session.start(stand_in({"--broken-cell"})));
    Screen screen;
    const ::testing::AssertionResult found =
        session.wait_for_text("STAND-IN WINDOW", &screen, std::chrono::milliseconds(3000));
    ASSERT_FALSE(found);
    EXPECT_NE(std::string(found.message()).find("row 5, column 40"), std::string::npos)
        << found.message();
}

TEST(StandInWindow, DriverTypesKeysAndClosesLikeAWindowManager) {
    WindowSession session;
    ASSERT_TRUE(session.start(stand_in()));
    ASSERT_TRUE(session.wait_for_text("NO KEY YET"));

    session.type_text("Look, 42 ?x\b");
    ASSERT_TRUE(session.wait_for(
        "the typed text on row 24",
        [](const Screen& screen) { return screen.row_trimmed(stand_in_typed_row) == "Look, 42 ?"; }));

    const struct {
        unsigned long keysym;
        unsigned modifiers;
        const char* shown;
    } keys[] = {{XK_Pause, no_modifier, "Pause"},
                {XK_Pause, control, "Break"},
                {XK_Return, alt, "Alt+Return"},
                {XK_Left, no_modifier, "Left"},
                {XK_a, shift, "A"}};
    for (const auto& key : keys) {
        session.press_key(key.keysym, key.modifiers);
        ASSERT_TRUE(session.wait_for(std::string("key name ") + key.shown, [&](const Screen& screen) {
            return screen.row_trimmed(stand_in_key_row) == key.shown;
        }));
    }

    session.resize_window(800, 600);
    ASSERT_TRUE(session.wait_for_geometry(800, 600, std::chrono::seconds(5)));
    ASSERT_TRUE(session.wait_for_geometry(640, 400, std::chrono::seconds(5)));

    session.close_window();
    int status = -1;
    ASSERT_TRUE(session.wait_for_exit(status, std::chrono::seconds(5)));
    EXPECT_EQ(status, 3);
}

}  // namespace
}  // namespace acceptance
