#include "tests/game/game_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "game/game.h"
#include "game/locations.h"
#include "runtime/core/signals.h"
#include "runtime/display/frames.h"
#include "runtime/display/render.h"
#include "runtime/input/clock.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/program_end.h"
#include "runtime/platform/platform.h"
#include "tests/support/fresh_text_runtime.h"
#include "tests/support/page_text.h"

struct GameDriverState {
    // THREADING: the fake clock; moved by the game thread's sleeps and by the test thread while
    // the game is parked; read by both.
    std::atomic<int64_t> now_ms{5'000'000};
    // THREADING: the park/release handshake. The game thread counts its arrivals at a sleep and
    // waits until the test thread's releases catch up; the test reads the page only in between.
    std::atomic<uint64_t> arrivals{0};
    std::atomic<uint64_t> releases{0};
    // THREADING: set by the test thread before its last release; the game thread then parks for
    // good.
    std::atomic<bool> retired{false};
    std::atomic<int32_t> last_sleep_ms{0};
    // THREADING: wall-clock readings, all made by the test thread during init_clock_base.
    int64_t first_wall_seconds = 1'700'000'000;
    int32_t wall_readings = 0;
    int32_t start_seconds = 0;
    // The game thread asks for boxes; the test thread reads them while the game is parked.
    std::mutex boxes_lock;
    std::vector<std::string> boxes;
    std::thread game;
};

namespace {

// The driver whose clock and boxes the seams serve: the one of the running test.
GameDriverState* active_state = nullptr;
// The driver of the game thread that runs on this thread (none on the test thread).
thread_local GameDriverState* own_state = nullptr;

constexpr auto watchdog_limit = std::chrono::seconds(30);

int64_t fake_monotonic_ms() { return active_state->now_ms.load(); }

int64_t fake_wall_seconds() {
    // The first reading, then the next second: init_clock_base's spin ends at once.
    return active_state->first_wall_seconds + (active_state->wall_readings++ == 0 ? 0 : 1);
}

std::tm fake_local_time(int64_t seconds) {
    const int64_t since_start = seconds - (active_state->first_wall_seconds + 1);
    const int64_t of_day = ((active_state->start_seconds + since_start) % 86'400 + 86'400) % 86'400;
    std::tm calendar{};
    calendar.tm_hour = static_cast<int>(of_day / 3600);
    calendar.tm_min = static_cast<int>(of_day / 60 % 60);
    calendar.tm_sec = static_cast<int>(of_day % 60);
    calendar.tm_mday = 1;
    calendar.tm_year = 126;
    return calendar;
}

[[noreturn]] void park_for_good() {
    static std::atomic<int> never{0};
    for (;;) never.wait(0);
}

void fake_sleep_ms(int32_t ms) {
    GameDriverState* state = own_state;
    if (state == nullptr) return;  // the test thread never waits for fake time
    state->last_sleep_ms.store(ms);
    const uint64_t arrival = state->arrivals.fetch_add(1) + 1;
    state->arrivals.notify_all();
    for (;;) {
        const uint64_t released = state->releases.load();
        if (released >= arrival) break;
        state->releases.wait(released);
    }
    if (state->retired.load()) park_for_good();
    state->now_ms.fetch_add(ms);
    // The housekeeping thread's pass that an explicit display waits for.
    if (auto_display_state() == -1) housekeeping_frame_step();
}

platform::BoxAnswer fake_message_box(const char* caption, const char* text, platform::BoxKind) {
    std::lock_guard<std::mutex> hold(active_state->boxes_lock);
    active_state->boxes.emplace_back(std::string(caption) + "|" + text);
    return platform::BoxAnswer::yes;
}

platform::KeyStates fake_key_states() { return {}; }

[[noreturn]] void fake_exit_process(int status) {
    std::lock_guard<std::mutex> hold(active_state->boxes_lock);
    active_state->boxes.emplace_back("exit_process|" + std::to_string(status));
    park_for_good();
}

// Waits (for real) until the game is parked at a sleep the test has not released yet.
void wait_until_parked(GameDriverState& state) {
    const auto give_up = std::chrono::steady_clock::now() + watchdog_limit;
    int32_t spins = 0;
    while (state.arrivals.load() <= state.releases.load()) {
        if (++spins < 1000) {
            std::this_thread::yield();
            continue;
        }
        if (std::chrono::steady_clock::now() > give_up) {
            // The game runs on without reaching a sleep; nothing after this can be trusted.
            std::fprintf(stderr, "game thread stopped reaching sleeps\n");
            for (const std::string& box : state.boxes) std::fprintf(stderr, "box: %s\n", box.c_str());
            std::abort();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

}  // namespace

GameDriver::GameDriver(int32_t start_seconds) : state_(new GameDriverState) {
    state_->start_seconds = start_seconds;
    active_state = state_;
    platform::reset_seams();
    platform::PlatformSeams& seams = platform::seams();
    seams.monotonic_ms = fake_monotonic_ms;
    seams.wall_seconds = fake_wall_seconds;
    seams.local_time = fake_local_time;
    seams.sleep_ms = fake_sleep_ms;
    seams.message_box = fake_message_box;
    seams.key_states = fake_key_states;
    seams.exit_process = fake_exit_process;

    reset_frame_slots();
    fresh_text_runtime();
    reset_key_intake();
    reset_key_queues();
    init_clock_base();
    reset_rate_mark();
    load_palettes_and_fonts();

    GameDriverState* state = state_;
    state_->game = std::thread([state] {
        own_state = state;
        run_game();
    });
    wait_until_parked(*state_);
}

GameDriver::~GameDriver() {
    // The game stays parked inside its fake sleep for the rest of the process; its state is
    // kept alive for it.
    state_->retired.store(true);
    state_->releases.fetch_add(1);
    state_->releases.notify_all();
    state_->game.detach();
    // A driver made before this one was destroyed keeps its fake seams.
    if (active_state == state_) platform::reset_seams();
}

void GameDriver::step() {
    state_->releases.fetch_add(1);
    state_->releases.notify_all();
    wait_until_parked(*state_);
}

bool GameDriver::run_until(const std::function<bool()>& done, int64_t max_steps) {
    for (int64_t n = 0; n < max_steps; ++n) {
        if (done()) return true;
        step();
    }
    return done();
}

void GameDriver::press_character(unsigned char character) {
    on_character_key(character, true);
    on_character_key(character, false);
}

void GameDriver::press_special(int glut_special_key) {
    on_special_key(glut_special_key, true);
    on_special_key(glut_special_key, false);
}

void GameDriver::type_text(std::string_view text) {
    for (const char character : text) press_character(static_cast<unsigned char>(character));
}

bool GameDriver::answer_pause(const std::function<bool()>& done) {
    if (!wait_in_pause(done)) return false;
    press_character(' ');
    return true;
}

bool GameDriver::wait_in_pause(const std::function<bool()>& done) {
    // The pause first reads the keystroke buffer empty (each read_key sleeps before it reads):
    // once the buffer is empty the game sits either in that last, empty read or already in the
    // wait for a new key, and one more sleep puts it in the wait either way.
    if (!run_until([&] { return done() && key_buffer_head() == key_buffer_tail(); })) return false;
    step();
    return true;
}

bool GameDriver::enter_command(std::string_view command) {
    if (!run_until([this] { return countdown_shown(*this); })) return false;
    type_text(command);
    press_character('\r');
    return run_until([this] { return !countdown_shown(*this) || at_closing_prompt(); });
}

bool GameDriver::start_case() {
    if (!answer_pause([this] { return row(15) == "Press any key to Continue..."; })) return false;
    if (!run_until([this] { return rows() == std::vector<std::string>(25); })) return false;
    press_character(' ');
    return run_until([this] { return countdown_shown(*this); });
}

void GameDriver::advance_clock_ms(int64_t ms) { state_->now_ms.fetch_add(ms); }
int64_t GameDriver::clock_now_ms() const { return state_->now_ms.load(); }
int32_t GameDriver::last_sleep_ms() const { return state_->last_sleep_ms.load(); }

const Image& GameDriver::page() const { return page_record(0); }

std::vector<std::string> GameDriver::rows() const { return page_rows(page()); }

std::string GameDriver::row(int32_t row) const { return rows()[static_cast<size_t>(row - 1)]; }

std::string GameDriver::row_exact(int32_t row) const { return row_text(page(), row); }

std::vector<std::string> GameDriver::boxes() const {
    std::lock_guard<std::mutex> hold(state_->boxes_lock);
    return state_->boxes;
}

bool GameDriver::at_closing_prompt() const {
    return row(25) == closing_prompt || row(25).starts_with(std::string(closing_prompt));
}

bool row_starts_with(const GameDriver& driver, int32_t row, std::string_view text) {
    return driver.row(row).starts_with(text);
}

bool countdown_shown(const GameDriver& driver) {
    // " ###:##.###" at row 2, columns 32 to 42: the colon in column 36, the point in column 39.
    const std::string row = driver.row_exact(2);
    return row[35] == ':' && row[38] == '.';
}

int32_t location_on_screen(const GameDriver& driver) {
    const std::vector<std::string> rows = driver.rows();
    if (rows[14] != "If you are stuck just type HELP.") return 0;
    for (int32_t location = 1; location <= 8; ++location) {
        const auto lines = location_description(location);
        bool same = true;
        for (size_t n = 0; n < lines.size(); ++n) same = same && rows[16 + n] == lines[n];
        if (same) return location;
    }
    return 0;
}

int32_t prompt_row(const GameDriver& driver) {
    const std::vector<std::string> rows = driver.rows();
    for (size_t n = 16; n < rows.size(); ++n) {
        if (rows[n].starts_with(">")) return static_cast<int32_t>(n) + 1;
    }
    return 0;
}

bool walk_to(GameDriver& driver, int32_t location) {
    // The chain 1 - 2 - 4 - 5 - 6 - 7 - 8, with 3 south of 2.
    struct Leg {
        int32_t to;
        std::string_view command;
    };
    constexpr Leg legs[] = {{2, "E"}, {4, "N"}, {5, "E"}, {6, "S"}, {7, "S"}, {8, "E"}};
    if (location == 1) return true;
    if (location == 3) {
        return driver.enter_command("E") && driver.enter_command("S") &&
               location_on_screen(driver) == 3;
    }
    for (const Leg& leg : legs) {
        if (!driver.enter_command(leg.command) || location_on_screen(driver) != leg.to) return false;
        if (leg.to == location) return true;
    }
    return false;
}

bool finish_program(GameDriver& driver) {
    // The prompt first discards typed-ahead keys; its own wait polls every 100 ms.
    if (!driver.run_until([&] { return driver.at_closing_prompt() && driver.last_sleep_ms() == 100; })) {
        return false;
    }
    driver.press_character(' ');
    const RuntimeSignals& signals = runtime_signals();
    return driver.run_until([&] {
        return signals.exit_now.load() == 1 && (signals.threads_stopped.load() & 1u) != 0;
    });
}
