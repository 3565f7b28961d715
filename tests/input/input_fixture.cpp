#include "tests/input/input_fixture.h"

#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"
#include "runtime/core/signals.h"
#include "runtime/input/clock.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/low_memory.h"

namespace {

FakeInputPlatform the_fake;
int the_fullscreen_cycles = 0;

int64_t fake_monotonic_ms() { return the_fake.now_ms; }

int64_t fake_wall_seconds() {
    ++the_fake.wall_reads;
    if (the_fake.wall_seconds < 0) return -1;
    return the_fake.wall_reads > the_fake.wall_reads_before_tick ? the_fake.wall_seconds + 1
                                                                 : the_fake.wall_seconds;
}

std::tm fake_local_time(int64_t seconds) {
    std::tm local{};
    local.tm_hour = static_cast<int>(seconds % 86'400 / 3'600);
    local.tm_min = static_cast<int>(seconds % 3'600 / 60);
    local.tm_sec = static_cast<int>(seconds % 60);
    return local;
}

void fake_sleep_ms(int32_t ms) {
    the_fake.sleeps_ms.push_back(ms);
    the_fake.now_ms += ms;
    the_fake.slept_ms += ms;
    if ((runtime_signals().threads_stopped.load() & 1u) != 0) throw ProgramParked{the_fake.now_ms};
    if (the_fake.slept_ms > the_fake.sleep_budget_ms) throw SleptTooLong{the_fake.now_ms};
    if (the_fake.on_sleep) the_fake.on_sleep(the_fake);
}

platform::BoxAnswer fake_message_box(const char*, const char*, platform::BoxKind) {
    ++the_fake.message_boxes;
    return platform::BoxAnswer::ok;
}

platform::KeyStates fake_key_states() { return the_fake.key_states; }

[[noreturn]] void fake_exit_process(int status) { throw ProcessExited{status}; }

void count_fullscreen_cycle() { ++the_fullscreen_cycles; }

}  // namespace

FakeInputPlatform& fake_input_platform() { return the_fake; }

void FreshInput::SetUp() {
    the_fake = FakeInputPlatform{};
    the_fake.now_ms = 5'000;
    the_fullscreen_cycles = 0;
    platform::PlatformSeams& seams = platform::seams();
    seams.monotonic_ms = fake_monotonic_ms;
    seams.wall_seconds = fake_wall_seconds;
    seams.local_time = fake_local_time;
    seams.sleep_ms = fake_sleep_ms;
    seams.message_box = fake_message_box;
    seams.key_states = fake_key_states;
    seams.exit_process = fake_exit_process;

    reset_runtime_signals();
    reset_error_state();
    init_string_state();
    init_low_memory();
    reset_key_queues();
    reset_key_intake();
    key_intake_hooks().cycle_fullscreen = count_fullscreen_cycle;
    reset_rate_mark();
}

void FreshInput::TearDown() { platform::reset_seams(); }

std::string next_keystroke() {
    const uint32_t mark = temp_mark();
    const RtString* key = read_key();
    std::string bytes(key->data, static_cast<size_t>(key->length));
    release_temporaries(mark);
    return bytes;
}

std::vector<int32_t> drain_key_hits() {
    std::vector<int32_t> hits;
    for (int32_t hit = read_key_hit(); hit != 0; hit = read_key_hit()) hits.push_back(hit);
    return hits;
}

std::vector<std::pair<int, int>> drain_keystrokes() {
    // Read the ring directly so (0, 0) and an empty ring are told apart.
    std::vector<std::pair<int, int>> keystrokes;
    const uint8_t* memory = low_memory();
    while (key_buffer_head() != key_buffer_tail()) {
        const uint8_t head = key_buffer_head();
        keystrokes.emplace_back(memory[0x400 + head], memory[0x401 + head]);
        next_keystroke();
    }
    return keystrokes;
}

int fullscreen_cycles() { return the_fullscreen_cycles; }
