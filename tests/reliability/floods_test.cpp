// Floods and faults on the real executable, each case in a private Xvfb of its own: ten thousand
// keys sent as fast as an X client can send them, a command of five thousand letters, closing the
// window and Break in the phases the acceptance suite leaves out, and errors forced in the test
// build (tarrowgate_faults) answered through their boxes.
// gtest first: the X headers define macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/acceptance/game_play.h"
#include "tests/support/x_key_events.h"

#ifndef TARROWGATE_FAULTS_EXECUTABLE
#error "TARROWGATE_FAULTS_EXECUTABLE names the test build of the game"
#endif

namespace acceptance {
namespace {

using namespace std::chrono_literals;

// ---- The program this test started, seen from outside ----

// The process id of our child running `program` (the session starts exactly one).
pid_t child_running(const std::string& program) {
    const std::string name = program.substr(program.rfind('/') + 1).substr(0, 15);
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return -1;
    pid_t found = -1;
    while (dirent* entry = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid() && line.substr(open + 1, close - open - 1) == name) {
            found = static_cast<pid_t>(std::stol(entry->d_name));
        }
    }
    closedir(proc);
    return found;
}

// The DISPLAY the session gave the program.
std::string display_of(pid_t pid) {
    std::ifstream environ("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    std::string assignment;
    while (std::getline(environ, assignment, '\0')) {
        if (assignment.rfind("DISPLAY=", 0) == 0) return assignment.substr(8);
    }
    return {};
}

// Resident memory in KiB.
long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// A connection of this test's own to the program's display.
class Connection {
public:
    explicit Connection(const std::string& name) : display_(XOpenDisplay(name.c_str())) {}
    ~Connection() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* get() const { return display_; }

private:
    Display* display_;
};

Window find_titled(Display* display, Window under, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(display, under, &name) && name != nullptr) {
        const bool match = title == name;
        XFree(name);
        if (match) return under;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, under, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) found = find_titled(display, children[i], title);
    if (children != nullptr) XFree(children);
    return found;
}

// Waits for a window titled `title` (a message box takes its caption as its title).
Window wait_for_window(Display* display, const std::string& title, std::chrono::milliseconds limit) {
    const auto give_up = now() + limit;
    while (now() < give_up) {
        if (const Window w = find_titled(display, DefaultRootWindow(display), title)) return w;
        sleep_for(20ms);
    }
    return 0;
}


// ---- Floods ----

// `count` printable characters (letters of both cases, digits, punctuation, blanks) from a fixed
// seed, sent through the test extension back to back with no pause and one flush at the end.
void flood_keys(Display* display, int count) {
    std::mt19937 random(20261211);
    std::uniform_int_distribution<int> printable(32, 126);
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    for (int i = 0; i < count; ++i) {
        const char c = static_cast<char>(printable(random));
        const KeySym keysym = static_cast<unsigned char>(c);
        const KeyCode keycode = XKeysymToKeycode(display, keysym);
        if (keycode == 0) continue;
        const bool needs_shift = XkbKeycodeToKeysym(display, keycode, 0, 0) != keysym;
        if (needs_shift) XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, keycode, True, CurrentTime);
        XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        if (needs_shift) XTestFakeKeyEvent(display, shift, False, CurrentTime);
    }
    XFlush(display);
}

// Everything after the prompt "> " of `location` to the end of the screen, rows joined.
std::string typed_after_prompt(const Screen& screen, int location) {
    std::string text;
    for (int row = prompt_row(location); row <= screen_rows; ++row) text += screen.row_text(row);
    return text.size() >= 2 ? text.substr(2) : std::string();
}

bool only_letters_and_blanks(const std::string& text) {
    for (const char c : text) {
        if (!(c == ' ' || (c >= 'A' && c <= 'Z'))) return false;
    }
    return true;
}

TEST(KeyFlood, TenThousandKeysAtThePromptLeaveOnlyLettersAndBlanksAndTheGameRuns) {
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch("flood_keys")));
    ASSERT_TRUE(game.reach_first_turn());
    const pid_t pid = child_running(TARROWGATE_EXECUTABLE);
    ASSERT_GT(pid, 0);
    const long memory_before = resident_kib(pid);
    Connection connection(display_of(pid));
    ASSERT_NE(connection.get(), nullptr);

    flood_keys(connection.get(), 10'000);
    // The command entry takes one key code a second thirtieth, so the flood is worked off for
    // minutes (the key-hit queue keeps the newest 8,191 codes); meanwhile the game must go on:
    // the countdown runs and what the prompt shows is letters and blanks only.
    sleep_for(2s);
    Screen first, second;
    ASSERT_TRUE(game.capture(first));
    sleep_for(1s);
    ASSERT_TRUE(game.capture(second));
    const std::optional<double> before = countdown_seconds(first), after = countdown_seconds(second);
    ASSERT_TRUE(before && after) << screen_text(second);
    EXPECT_LT(*after, *before) << "the countdown stopped under the flood";
    EXPECT_TRUE(only_letters_and_blanks(typed_after_prompt(second, 1))) << screen_text(second);
    EXPECT_NE(typed_after_prompt(second, 1).find_first_not_of(' '), std::string::npos)
        << "nothing of the flood was typed\n" << screen_text(second);
    const long memory_after = resident_kib(pid);
    EXPECT_LT(memory_after - memory_before, 64 * 1024)
        << "resident memory grew from " << memory_before << " to " << memory_after << " KiB";

    game.close_window();
    int status = -1;
    ASSERT_TRUE(game.wait_for_exit(status, 5s));
    EXPECT_EQ(status, 0);
}

// The screen's rows joined, as text that wraps at the right edge reads.
std::string all_rows(const Screen& screen) {
    std::string all;
    for (int row = 1; row <= screen_rows; ++row) all += screen.row_text(row);
    return all;
}

// The end of `typed` stands on the screen just before the first blank after it.
bool screen_ends_with(const Screen& screen, const std::string& typed) {
    const std::string all = all_rows(screen);
    const size_t end = all.find_last_not_of(' ');
    const size_t shown = std::min<size_t>(typed.size(), 160);
    if (end == std::string::npos || end + 1 < shown) return false;
    return all.compare(end + 1 - shown, shown, typed, typed.size() - shown, shown) == 0;
}

TEST(LongCommand, FiveThousandLettersWrapAndScrollAndEnterStillDispatches) {
    // The entry takes one key code (a press or a release) per pass, 30 passes a second: the
    // process clock runs ten times faster so that 10,000 codes take seconds, not minutes.
    GameSession game;
    ASSERT_TRUE(game.start_game(sped_up_game_launch("long_command", 10)));
    ASSERT_TRUE(game.reach_first_turn());
    const pid_t pid = child_running(TARROWGATE_EXECUTABLE);
    ASSERT_GT(pid, 0);
    Connection connection(display_of(pid));
    ASSERT_NE(connection.get(), nullptr);
    Display* display = connection.get();

    // Letters a to z over and over, in batches well inside the key-hit queue, each batch sent
    // once the one before stands on the screen.
    std::string sent, upper;
    for (int i = 0; i < 5'000; ++i) {
        sent += static_cast<char>('a' + i % 26);
        upper += static_cast<char>('A' + i % 26);
    }
    Screen screen;
    for (size_t at = 0; at < sent.size(); at += 500) {
        const size_t end = std::min(sent.size(), at + 500);
        for (size_t i = at; i < end; ++i) {
            const KeyCode keycode = XKeysymToKeycode(display, static_cast<KeySym>(sent[i]));
            XTestFakeKeyEvent(display, keycode, True, CurrentTime);
            XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        }
        XFlush(display);
        ASSERT_TRUE(game.wait_for(
            "the first " + std::to_string(end) + " letters typed",
            [&](const Screen& s) { return screen_ends_with(s, upper.substr(0, end)); }, &screen, 60s));
    }
    // The text wrapped at every row end and scrolled the header away: every row above the last
    // text row is 80 letters of the run, and the rows end with the run's end.
    int full_rows = 0;
    for (int row = 1; row <= screen_rows; ++row) {
        const std::string text = screen.row_text(row);
        if (text.find(' ') != std::string::npos) continue;
        ++full_rows;
        EXPECT_NE(upper.find(text), std::string::npos) << "row " << row << "\n" << screen_text(screen);
    }
    EXPECT_GE(full_rows, 20) << screen_text(screen);

    game.press_key(XK_Return);
    ASSERT_TRUE(game.wait_for_turn(1)) << "Enter did not dispatch the long command";
    ASSERT_TRUE(game.enter_command(1, "E"));
    ASSERT_TRUE(game.wait_for_turn(2));
}

// ---- Closing the window and Break in every phase ----

const std::vector<std::string> help_layout = {
    "HERE ARE SOME BASIC COMMANDS THAT CAN BE USED IN THE GAME...",
};

enum class Phase { briefing, second_screen, prompt, help_screen, confession_page, closing_prompt };
enum class Ending { close_window, break_key };

struct PhaseCase {
    const char* name;
    Phase phase;
    Ending ending;
};

void PrintTo(const PhaseCase& c, std::ostream* out) { *out << c.name; }

// Brings the game to `phase` and leaves it waiting there.
::testing::AssertionResult reach(GameSession& game, Phase phase) {
    if (phase == Phase::briefing) return ::testing::AssertionSuccess();
    if (phase == Phase::second_screen) {
        if (auto r = game.dismiss(); !r) return r;
        return game.wait_for_layout("the blank second screen", {});
    }
    if (auto r = game.reach_first_turn(); !r) return r;
    switch (phase) {
        case Phase::prompt: return ::testing::AssertionSuccess();
        case Phase::help_screen:
            if (auto r = game.enter_command(1, "HELP"); !r) return r;
            return game.wait_for_text(help_layout[0]);
        case Phase::confession_page: {
            const std::pair<int, const char*> route[] = {{1, "E"}, {2, "N"}, {4, "E"}, {5, "S"}, {6, "S"}, {7, "E"}};
            for (const auto& [at, move] : route) {
                if (auto r = game.enter_command(at, move); !r) return r;
            }
            if (auto r = game.wait_for_turn(8); !r) return r;
            if (auto r = game.enter_command(8, "PRESENT EVIDENCE"); !r) return r;
            return game.wait_for("the first confession page", [](const Screen& s) {
                return static_cast<bool>(check_colours(s, ending_foreground, ending_background)) &&
                       !s.row_trimmed(1).empty();
            });
        }
        case Phase::closing_prompt:
            if (auto r = game.enter_command(1, "QUIT"); !r) return r;
            return game.wait_for("the closing prompt", [](const Screen& s) {
                return s.row_trimmed(screen_rows) == closing_prompt;
            });
        default: return ::testing::AssertionFailure() << "unknown phase";
    }
}

class EndingInPhase : public ::testing::TestWithParam<PhaseCase> {};

TEST_P(EndingInPhase, EndsWithStatusZero) {
    const PhaseCase& c = GetParam();
    GameSession game;
    ASSERT_TRUE(game.start_game(game_launch(std::string("ending_") + c.name)));
    ASSERT_TRUE(reach(game, c.phase));
    if (c.ending == Ending::close_window) {
        game.close_window();
    } else {
        game.press_key(XK_Pause, control);
    }
    int status = -1;
    ASSERT_TRUE(game.wait_for_exit(status, 5s));
    EXPECT_EQ(status, 0);
}

// Closing at the briefing, the prompt and the closing prompt and Break at the prompt are the
// acceptance suite's cases; these are the rest.
INSTANTIATE_TEST_SUITE_P(
    Phases, EndingInPhase,
    ::testing::Values(PhaseCase{"close_at_second_screen", Phase::second_screen, Ending::close_window},
                      PhaseCase{"close_at_help_screen", Phase::help_screen, Ending::close_window},
                      PhaseCase{"close_at_confession", Phase::confession_page, Ending::close_window},
                      PhaseCase{"break_at_briefing", Phase::briefing, Ending::break_key},
                      PhaseCase{"break_at_second_screen", Phase::second_screen, Ending::break_key},
                      PhaseCase{"break_at_help_screen", Phase::help_screen, Ending::break_key},
                      PhaseCase{"break_at_confession", Phase::confession_page, Ending::break_key},
                      PhaseCase{"break_at_closing_prompt", Phase::closing_prompt, Ending::break_key}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Errors forced in the test build ----

LaunchOptions faulty_launch(const std::string& case_name, const std::string& fault) {
    LaunchOptions options = game_launch(case_name, {"TARROWGATE_FAULT=" + fault});
    options.program = TARROWGATE_FAULTS_EXECUTABLE;
    return options;
}

struct Answered {
    int status = -1;
    bool briefing_shown = false;
};

class ForcedError : public ::testing::Test {
protected:
    // Starts the test build with `fault`, waits for the box `caption` and answers it with `key`.
    ::testing::AssertionResult start_and_answer(const std::string& name, const std::string& fault,
                                                const std::string& caption, KeySym key) {
        if (auto r = game_.start(faulty_launch(name, fault)); !r) return r;
        const pid_t pid = child_running(TARROWGATE_FAULTS_EXECUTABLE);
        if (pid <= 0) return ::testing::AssertionFailure() << "the test build is not running";
        connection_ = std::make_unique<Connection>(display_of(pid));
        Display* display = connection_->get();
        if (display == nullptr) return ::testing::AssertionFailure() << "no display";
        const Window box = wait_for_window(display, caption, 15s);
        if (box == 0) return ::testing::AssertionFailure() << "no box \"" << caption << "\"\n" << game_.log_tail();
        // The box waits for its answer: the program is still there meanwhile.
        sleep_for(200ms);
        if (!game_.program_running()) return ::testing::AssertionFailure() << "ended before the answer";
        send_key_press(display, box, key);
        return ::testing::AssertionSuccess();
    }

    GameSession game_;
    std::unique_ptr<Connection> connection_;
};

TEST_F(ForcedError, TheDialogAnsweredYesContinuesIntoTheGame) {
    ASSERT_TRUE(start_and_answer("forced_error_yes", "error:5", "Unhandled Error #5", XK_y));
    ASSERT_TRUE(game_.wait_for_text("The Adventure begins...now."));
    ASSERT_TRUE(game_.reach_first_turn());
    ASSERT_TRUE(game_.enter_command(1, "E"));
    ASSERT_TRUE(game_.wait_for_turn(2));
}

TEST_F(ForcedError, TheDialogAnsweredNoEndsWithStatusZero) {
    ASSERT_TRUE(start_and_answer("forced_error_no", "error:5", "Unhandled Error #5", XK_n));
    int status = -1;
    ASSERT_TRUE(game_.wait_for_exit(status, 5s));
    EXPECT_EQ(status, 0);
}

TEST_F(ForcedError, ACriticalErrorExitsWithStatusOneAfterItsBox) {
    ASSERT_TRUE(start_and_answer("forced_critical", "critical:512", "Critical Error #12", XK_Return));
    int status = -1;
    ASSERT_TRUE(game_.wait_for_exit(status, 5s));
    EXPECT_EQ(status, 1);
}

}  // namespace
}  // namespace acceptance
