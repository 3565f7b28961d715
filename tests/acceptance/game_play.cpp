#include "tests/acceptance/game_play.h"

#include <sys/stat.h>

#include <array>
#include <cctype>
#include <cstdlib>

namespace acceptance {

namespace {

// The exits texts and the number of description rows of the eight locations.
constexpr std::array<LocationFacts, 8> locations = {{
    {1, "EAST", 2},                   // garage entrance
    {2, "NORTH, SOUTH, OR WEST", 2},  // crime scene
    {3, "NORTH", 3},                  // waiting room
    {4, "EAST OR SOUTH", 3},          // twisted hallway
    {5, "WEST OR SOUTH", 2},          // box-lined hallway
    {6, "NORTH OR SOUTH", 2},         // smoky corridor
    {7, "NORTH OR EAST", 3},          // dispatch room
    {8, "WEST", 6},                   // Fish's office
}};

// A waiting screen first empties the keystroke buffer, so a key sent before the program reached
// its wait is thrown away. A short pause before the key makes that rare; a key that still went
// nowhere is sent again once the screen has stood still for key_answer_wait.
constexpr std::chrono::milliseconds settle_before_key{100};
constexpr std::chrono::milliseconds key_answer_wait{3000};
constexpr int key_attempts = 4;

bool same_cells(const Screen& first, const Screen& second) {
    for (size_t n = 0; n < first.cells.size(); ++n) {
        const DecodedCell& a = first.cells[n];
        const DecodedCell& b = second.cells[n];
        if (a.character != b.character || a.foreground != b.foreground ||
            a.background != b.background) {
            return false;
        }
    }
    return true;
}

std::string blanks(size_t count) { return std::string(count, ' '); }

// What the prompt shows of typed keys: letters upper-cased and blanks; nothing else enters.
std::string kept_by_entry(const std::string& typed) {
    std::string kept;
    for (const char c : typed) {
        if (std::isalpha(static_cast<unsigned char>(c)) || c == ' ') {
            kept += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return kept;
}

// Rows are compared without their trailing blanks.
::testing::AssertionResult row_is(const Screen& screen, int row, std::string expected) {
    while (!expected.empty() && expected.back() == ' ') expected.pop_back();
    if (screen.row_trimmed(row) == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "row " << row << " is\n  \"" << screen.row_trimmed(row)
                                         << "\"\nnot\n  \"" << expected << "\"";
}

std::string log_folder() {
    const std::string folder = artifact_folder() + "/acceptance_logs";
    mkdir(folder.c_str(), 0755);
    return folder;
}

}  // namespace

const std::string any_text = "\x01";

const LocationFacts& location_facts(int location) {
    return locations[static_cast<size_t>(location - 1)];
}

int prompt_row(int location) { return 17 + location_facts(location).description_rows; }

LaunchOptions game_launch(const std::string& case_name, std::vector<std::string> environment) {
    LaunchOptions options;
    // Another build of the game can be played by the same suite (a deliberately broken one, to
    // see the suite catch the fault).
    const char* other = std::getenv("TARROWGATE_UNDER_TEST");
    options.program = other != nullptr ? other : TARROWGATE_EXECUTABLE;
    options.environment = std::move(environment);
    options.log_path = log_folder() + "/" + case_name + ".log";
    return options;
}

LaunchOptions sped_up_game_launch(const std::string& case_name, int speed) {
    // A fixed start in the morning keeps the sped-up half hour clear of midnight.
    return game_launch(case_name, {std::string("LD_PRELOAD=") + LIBFAKETIME_PATH,
                                   "FAKETIME=@2026-06-01 10:00:00 x" + std::to_string(speed),
                                   "FAKETIME_NO_CACHE=1"});
}

std::optional<double> countdown_seconds(const Screen& screen) {
    const std::string row = screen.row_text(2);
    for (int column = 1; column <= screen_columns; ++column) {
        if ((column < 32 || column > 42) && row[static_cast<size_t>(column - 1)] != ' ') {
            return std::nullopt;
        }
    }
    const std::string field = row.substr(31, 11);  // columns 32-42
    if (field[0] != ' ' || field[4] != ':' || field[7] != '.') return std::nullopt;
    const std::string minutes = field.substr(1, 3);
    const std::string seconds = field.substr(5, 6);
    // Right-aligned numbers: leading blanks, then an optional minus, then digits.
    const auto well_formed = [](const std::string& text, size_t point) {
        size_t i = 0;
        while (i < text.size() && text[i] == ' ') ++i;
        if (i < text.size() && text[i] == '-') ++i;
        if (i >= text.size()) return false;
        for (; i < text.size(); ++i) {
            if (i == point) {
                if (text[i] != '.') return false;
            } else if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
                return false;
            }
        }
        return true;
    };
    if (!well_formed(minutes, std::string::npos) || !well_formed(seconds, 2)) return std::nullopt;
    return std::atof(minutes.c_str()) * 60.0 + std::atof(seconds.c_str());
}

::testing::AssertionResult check_colours(const Screen& screen, int foreground, int background) {
    for (int row = 1; row <= screen_rows; ++row) {
        for (int column = 1; column <= screen_columns; ++column) {
            const DecodedCell& cell = screen.at(row, column);
            const bool glyph_shown = cell.foreground != unknown_colour;
            if ((cell.background != unknown_colour && cell.background != background) ||
                (glyph_shown && cell.foreground != foreground)) {
                return ::testing::AssertionFailure()
                       << "row " << row << ", column " << column << " has foreground "
                       << cell.foreground << " on background " << cell.background
                       << "; the screen is " << foreground << " on " << background << "\n"
                       << screen_text(screen) << screen_colours(screen);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult check_turn_screen(const Screen& screen, int location,
                                             const std::string& typed) {
    const LocationFacts& facts = location_facts(location);
    const std::string exits = facts.exits;
    const auto has = [&](const char* way) { return exits.find(way) != std::string::npos; };
    const int prompt = prompt_row(location);

    std::vector<std::pair<int, std::string>> rows = {
        {1, ""},
        {3, ""},
        {4, blanks(23) + std::string(32, '_')},
        {5, blanks(22) + "/The Casebook of Detective Vellam\\"},
        {7, blanks(22) + "/" + std::string(32, '_') + "\\"},
        {8, ""},
        {9, blanks(33) + "Episode Twelve:"},
        {10, blanks(33) + "Tarrowgate"},
        {11, has("NORTH") ? blanks(38) + "N" : ""},
        {12, "*---------------------------------* " + std::string(has("WEST") ? "W" : " ") +
                 " + " + std::string(has("EAST") ? "E" : " ") +
                 " *------------------------------------*"},
        {13, has("SOUTH") ? blanks(38) + "S" : ""},
        {14, ""},
        {15, "If you are stuck just type HELP."},
        {16, ""},
        {prompt, "> " + typed},
    };
    const auto fail = [&](const std::string& why) {
        return ::testing::AssertionFailure() << "turn screen of location " << location << ": "
                                             << why << "\n" << screen_text(screen);
    };
    for (const auto& [row, text] : rows) {
        const ::testing::AssertionResult same = row_is(screen, row, text);
        if (!same) return fail(same.message());
    }
    // The credit row: "/Written by: " and a name padded to 32 characters, "\" in column 56,
    // then blanks to the end of the row.
    const std::string credit = screen.row_text(6);
    if (credit.substr(0, 22) != blanks(22) || credit.substr(22, 13) != "/Written by: " ||
        credit[55] != '\\' || screen.row_trimmed(6).size() != 56 ||
        credit.substr(35, 20).find_first_not_of(' ') == std::string::npos) {
        return fail("the credit row is not \"/Written by: <name>\" framed in columns 23-56");
    }
    if (!countdown_seconds(screen)) return fail("row 2 shows no countdown in columns 32-42");
    for (int row = 17; row < prompt; ++row) {
        if (screen.row_blank(row)) {
            return fail("description row " + std::to_string(row) + " is blank; the description "
                        "has " + std::to_string(facts.description_rows) + " rows");
        }
    }
    for (int row = prompt + 1; row <= screen_rows; ++row) {
        if (!screen.row_blank(row)) return fail("row " + std::to_string(row) + " is not blank");
    }
    return check_colours(screen, game_foreground, game_background);
}

::testing::AssertionResult check_layout(const Screen& screen, const std::vector<std::string>& rows,
                                        bool closing_row) {
    const auto fail = [&](const std::string& why) {
        return ::testing::AssertionFailure() << why << "\n" << screen_text(screen);
    };
    for (int row = 1; row <= screen_rows; ++row) {
        const size_t index = static_cast<size_t>(row - 1);
        if (closing_row && row == screen_rows) {
            if (screen.row_trimmed(row) != closing_prompt) {
                return fail("row 25 does not hold the closing prompt at its left edge");
            }
        } else if (index < rows.size() && rows[index] == any_text) {
            if (screen.row_blank(row)) return fail("row " + std::to_string(row) + " is blank");
        } else {
            const std::string expected = index < rows.size() ? rows[index] : "";
            const ::testing::AssertionResult same = row_is(screen, row, expected);
            if (!same) return fail(same.message());
        }
    }
    return ::testing::AssertionSuccess();
}

std::string joined_text(const Screen& screen) {
    std::string text;
    for (int row = 1; row <= screen_rows; ++row) text += screen.row_trimmed(row) + " ";
    return text;
}

::testing::AssertionResult GameSession::start_game(const LaunchOptions& options) {
    ::testing::AssertionResult started = start(options);
    if (!started) return started;
    return wait_for_layout("the briefing",
                           {"", "", any_text, any_text, any_text, any_text, any_text, any_text,
                            any_text, any_text, any_text, "", "The Adventure begins...now.", "",
                            "Press any key to Continue..."});
}

::testing::AssertionResult GameSession::reach_first_turn(Screen* first_turn) {
    ::testing::AssertionResult dismissed = dismiss();
    if (!dismissed) return dismissed;
    ::testing::AssertionResult blank = wait_for_layout("the blank second screen", {});
    if (!blank) return blank;
    dismissed = dismiss();
    if (!dismissed) return dismissed;
    return wait_for_turn(1, first_turn);
}

::testing::AssertionResult GameSession::wait_for_turn(int location, Screen* screen,
                                                      std::chrono::milliseconds timeout) {
    Screen shown;
    ::testing::AssertionResult waited = wait_for(
        "the command prompt of location " + std::to_string(location),
        [&](const Screen& current) {
            return countdown_seconds(current).has_value() &&
                   current.row_trimmed(prompt_row(location)) == ">";
        },
        &shown, timeout);
    if (!waited) {
        // Say what is wrong with the screen that stands instead.
        Screen last;
        if (program_running() && capture(last)) {
            const ::testing::AssertionResult turn = check_turn_screen(last, location);
            if (!turn) {
                return ::testing::AssertionFailure()
                       << "no command prompt of location " << location << " within "
                       << timeout.count() << " ms; " << turn.message();
            }
        }
        return waited;
    }
    if (screen != nullptr) *screen = shown;
    return check_turn_screen(shown, location);
}

::testing::AssertionResult GameSession::enter_command(int location, const std::string& text) {
    ::testing::AssertionResult ready = wait_for_turn(location);
    if (!ready) return ready;
    type_text(text);
    const std::string shown = "> " + kept_by_entry(text);
    std::string expected_row = shown;
    while (!expected_row.empty() && expected_row.back() == ' ') expected_row.pop_back();
    ::testing::AssertionResult echoed = wait_for(
        "\"" + shown + "\" on the prompt row",
        [&](const Screen& current) {
            return current.row_trimmed(prompt_row(location)) == expected_row;
        });
    if (!echoed) return echoed;
    type_text("\n");
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult GameSession::wait_for_layout(const std::string& what,
                                                        const std::vector<std::string>& rows,
                                                        Screen* screen, int foreground,
                                                        int background, bool closing_row) {
    Screen shown;
    ::testing::AssertionResult waited = wait_for(
        what,
        [&](const Screen& current) {
            return check_layout(current, rows, closing_row) &&
                   check_colours(current, foreground, background);
        },
        &shown);
    if (!waited) {
        // Say which rule the last screen broke.
        Screen last;
        if (capture(last)) {
            ::testing::AssertionResult layout = check_layout(last, rows, closing_row);
            if (!layout) return ::testing::AssertionFailure() << waited.message() << "\n"
                                                              << layout.message();
            return ::testing::AssertionFailure() << waited.message() << "\n"
                                                 << check_colours(last, foreground, background)
                                                        .message();
        }
        return waited;
    }
    if (screen != nullptr) *screen = shown;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult GameSession::dismiss() {
    Screen waiting;
    ::testing::AssertionResult seen =
        wait_for("a screen waiting for a key", [](const Screen&) { return true; }, &waiting);
    if (!seen) return seen;
    for (int attempt = 1; attempt <= key_attempts; ++attempt) {
        sleep_for(settle_before_key);
        type_text(" ");
        ::testing::AssertionResult moved_on = wait_for(
            "the screen to go on after a key",
            [&](const Screen& current) { return !same_cells(current, waiting); }, nullptr,
            key_answer_wait);
        // A key at the closing prompt ends the program; the caller collects the exit status.
        if (moved_on || !program_running()) return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << key_attempts << " key presses did not move on from\n"
                                         << screen_text(waiting);
}

::testing::AssertionResult GameSession::finish_at_closing_prompt(int foreground, int background) {
    Screen screen;
    ::testing::AssertionResult prompt = wait_for(
        "the closing prompt on row 25",
        [](const Screen& current) { return current.row_trimmed(screen_rows) == closing_prompt; },
        &screen);
    if (!prompt) return prompt;
    for (int column = 1; column <= screen_columns; ++column) {
        const DecodedCell& cell = screen.at(screen_rows, column);
        if (cell.background != background ||
            (cell.foreground != unknown_colour && cell.foreground != foreground)) {
            return ::testing::AssertionFailure()
                   << "row 25, column " << column << " is not " << foreground << " on "
                   << background << "\n" << screen_colours(screen);
        }
    }
    ::testing::AssertionResult dismissed = dismiss();
    if (!dismissed) return dismissed;
    int status = -1;
    ::testing::AssertionResult ended = wait_for_exit(status, std::chrono::seconds(5));
    if (!ended) return ended;
    if (status != 0) return ::testing::AssertionFailure() << "exit status " << status << ", not 0";
    return ::testing::AssertionSuccess();
}

}  // namespace acceptance
