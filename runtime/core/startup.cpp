// Start-up steps 1 to 16, in their fixed order, on the window thread.
#include <unistd.h>

#include <array>
#include <cstring>
#include <string>

#include "runtime/core/errors.h"
#include "runtime/core/local_arena.h"
#include "runtime/core/runtime.h"
#include "runtime/platform/platform.h"

namespace {

struct KeyTrap {
    int32_t trap;
    int32_t key_code;
};

// F1-F10, the four arrows, F11 and F12. This program arms no trap.
constexpr auto key_traps = std::to_array<KeyTrap>({
    {1, 0x3B00}, {2, 0x3C00}, {3, 0x3D00}, {4, 0x3E00}, {5, 0x3F00},   // F1-F5
    {6, 0x4000}, {7, 0x4100}, {8, 0x4200}, {9, 0x4300}, {10, 0x4400},  // F6-F10
    {11, 0x4800},                                                      // up
    {12, 0x4B00},                                                      // left
    {13, 0x4D00},                                                      // right
    {14, 0x5000},                                                      // down
    {30, 0x8500},                                                      // F11
    {31, 0x8600},                                                      // F12
});

struct StartupResults {
    std::array<int32_t, 32> key_trap_codes{};
    int32_t environment_count = 0;
    RtString* command_line = nullptr;
    RtString* launch_directory = nullptr;
    RtString* program_directory = nullptr;
    int argument_count = 0;
    char** arguments = nullptr;
};

StartupResults& results() {
    static StartupResults the_results;
    return the_results;
}

RtString* variable_holding(const std::string& text) {
    RtString* s = string_new(static_cast<int32_t>(text.size()), false);
    if (!text.empty()) std::memcpy(s->data, text.data(), text.size());
    return s;
}

// An unreadable current directory leaves error 51 pending, reported at the first statement
// boundary; the directory is then recorded as empty.
RtString* record_current_directory() {
    std::string directory;
    if (!platform::current_directory(directory)) raise_error(error_internal);
    return variable_holding(directory);
}

void fill_key_trap_table() {
    StartupResults& r = results();
    r.key_trap_codes.fill(0);
    for (const KeyTrap& row : key_traps) r.key_trap_codes[static_cast<size_t>(row.trap)] = row.key_code;
    timer_event_entry() = TimerEvent{};
}

int32_t count_environment() {
    int32_t count = 0;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) ++count;
    return count;
}

}  // namespace

const RtString* command_line() { return results().command_line; }
const RtString* launch_directory() { return results().launch_directory; }
const RtString* program_directory() { return results().program_directory; }
int program_argument_count() { return results().argument_count; }
char** program_arguments() { return results().arguments; }

int32_t key_trap_code(int32_t trap) {
    if (trap < 0 || trap >= static_cast<int32_t>(results().key_trap_codes.size())) return 0;
    return results().key_trap_codes[static_cast<size_t>(trap)];
}

int32_t environment_count() { return results().environment_count; }

RtString* join_arguments(int argc, char** argv) {
    std::string joined;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) joined += ' ';
        joined += argv[i];
    }
    return variable_holding(joined);
}

void run_startup(const StartupSteps& steps, const WorkerHooks& hooks, int argc, char** argv) {
    StartupResults& r = results();
    r.argument_count = argc;
    r.arguments = argv;
    // Step 1, the static initialisers, has run before the entry.
    steps.reset_frame_slots();  // 2
    // 3: the handle lists of files, connections, graphics and mouse queues: none are used here.
    fill_key_trap_table();  // 4
    r.environment_count = count_environment();  // 5
    steps.init_image_table();
    init_local_arena();       // 6
    steps.init_low_memory();  // 7
    init_string_state();      // 8

    r.launch_directory = record_current_directory();  // 9
    const std::string folder = platform::directory_of(platform::executable_path());
    if (!folder.empty()) platform::change_directory(folder);  // a failure reports nothing
    r.program_directory = record_current_directory();

    r.command_line = join_arguments(argc, argv);  // 10
    steps.init_clock_base();                      // 11: waits for the next wall-clock second
    steps.sample_keyboard();                      // 12
    steps.load_palettes_and_fonts();              // 13
    steps.create_first_screen();                  // 14
    // 15: the keyboard and mouse input devices are never read by this program.
    steps.start_threads(hooks);  // 16
}
