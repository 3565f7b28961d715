// What the player of Tarrowgate sees, as checks on a decoded screen, and the moves of a player:
// getting through the briefing, typing a command at the prompt, dismissing a screen.
//
// The checks are structural where the game's prose is the game's own (rows that hold text, rows
// that are blank) and literal where the texts are fixed (the title frame, the compass, the help
// screen, the prompts).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/acceptance/window_driver.h"

namespace acceptance {

// Colours of the game: dark grey on black; the accusation endings yellow on blue.
constexpr int game_foreground = 8;
constexpr int game_background = 0;
constexpr int ending_foreground = 14;
constexpr int ending_background = 1;

constexpr char closing_prompt[] = "Press any key to continue";

struct LocationFacts {
    int location;
    const char* exits;       // the exits text LOOK shows; the compass is read from it
    int description_rows;    // rows of the description under the header
};

// Locations 1 to 8, at index location - 1.
const LocationFacts& location_facts(int location);

// The launch options for the game; `case_name` names the log file in the build folder.
LaunchOptions game_launch(const std::string& case_name,
                          std::vector<std::string> environment = {});
// The same with the process clock running `speed` times faster (libfaketime): the whole process
// sees time pass faster, its sleeps included.
LaunchOptions sped_up_game_launch(const std::string& case_name, int speed);

// The countdown in row 2, columns 32-42, as seconds (minutes * 60 + seconds); nothing when the
// field does not read as " mmm:ss.sss" or the rest of row 2 is not blank.
std::optional<double> countdown_seconds(const Screen& screen);

// The row of the prompt "> " in `location` (17 + its description rows).
int prompt_row(int location);

// The whole turn screen of `location` with `typed` after the prompt: header rows 1-16 with the
// countdown, the compass of the location, the description rows, the prompt, blank rows below,
// dark grey on black throughout.
::testing::AssertionResult check_turn_screen(const Screen& screen, int location,
                                             const std::string& typed = "");

// Every cell has this background and every cell showing a glyph this foreground.
::testing::AssertionResult check_colours(const Screen& screen, int foreground, int background);

// A screen layout row by row from row 1: "\x01" a row with text, "" a blank row, anything else
// the exact row text. Rows after the layout are blank, except row 25 when `closing_row` is set,
// which must then hold the closing prompt at its left edge.
extern const std::string any_text;
::testing::AssertionResult check_layout(const Screen& screen, const std::vector<std::string>& rows,
                                        bool closing_row = false);

// All the rows of the screen joined with blanks, for finding a fact that may wrap.
std::string joined_text(const Screen& screen);

// A session of the game with the moves of a player.
class GameSession : public WindowSession {
public:
    // Starts the game and waits for the briefing.
    ::testing::AssertionResult start_game(const LaunchOptions& options);
    // Briefing -> the blank second screen -> the first turn in location 1.
    ::testing::AssertionResult reach_first_turn(Screen* first_turn = nullptr);
    // Waits until the command entry of `location` runs (countdown shown, prompt empty).
    ::testing::AssertionResult wait_for_turn(int location, Screen* screen = nullptr,
                                             std::chrono::milliseconds timeout = default_wait);
    // At the prompt of `location`: types `text`, waits until the prompt shows it (upper-cased,
    // as the game keeps only letters and blanks) and presses Enter.
    ::testing::AssertionResult enter_command(int location, const std::string& text);
    // Waits for a screen with this layout (see check_layout) in the given colours.
    ::testing::AssertionResult wait_for_layout(const std::string& what,
                                               const std::vector<std::string>& rows,
                                               Screen* screen = nullptr,
                                               int foreground = game_foreground,
                                               int background = game_background,
                                               bool closing_row = false);
    // Presses a key on the waiting screen that stands now, until the screen changes (or the
    // program ends): the wait empties the keystroke buffer first, so a key sent a moment too
    // early is lost and is sent again.
    ::testing::AssertionResult dismiss();
    // Waits for the closing prompt on row 25, presses a key and expects exit status 0.
    ::testing::AssertionResult finish_at_closing_prompt(int foreground, int background);
};

}  // namespace acceptance
