// Random key downs and ups (every character, the special keys and some unmapped numbers,
// modifiers, Pause, Break, Alt+Enter, the lock keys and their synchronisation) interleaved with
// read_key and read_key_hit, against a model of the intake's rules:
//   - a press queues +code and at most one keystroke, a release -code and no keystroke;
//   - Break sets exit_now, Pause (or Ctrl+Num Lock) holds the program, the next other press only
//     resumes it, Alt+Enter asks for the full-screen cycle: none of them queues anything;
//   - the keystroke ring keeps at most 15 entries and drops new ones when full; the hit queue
//     keeps at most 8,191 hits and drops its oldest;
//   - both come back in the order they were queued, and nothing else is lost.
// Which keystroke a press makes is the translation table's business (checked exhaustively by the
// input suite); the model takes it from keystroke_for and checks where it goes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "runtime/core/signals.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/platform/platform.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t keystroke_capacity = 15;
constexpr size_t key_hit_capacity = key_hit_queue_slots - 1;

struct Model {
    std::vector<int32_t> held;
    std::deque<KeystrokeEntry> keystrokes;
    std::deque<int32_t> hits;
    bool paused = false;
    bool exit_requested = false;
    int fullscreen_cycles = 0;
};

Model model;
int fullscreen_cycles = 0;
platform::KeyStates os_keys;

void count_fullscreen_cycle() { ++fullscreen_cycles; }
platform::KeyStates scripted_key_states() { return os_keys; }

bool held(int32_t code) { return std::find(model.held.begin(), model.held.end(), code) != model.held.end(); }
void add_held(int32_t code) {
    if (!held(code)) model.held.push_back(code);
}
void remove_held(int32_t code) { std::erase(model.held, code); }
void switch_held(int32_t code) {
    if (held(code)) {
        remove_held(code);
    } else {
        add_held(code);
    }
}

Modifiers model_modifiers() {
    return {held(key_right_shift) || held(key_left_shift), held(key_right_ctrl) || held(key_left_ctrl),
            held(key_right_alt) || held(key_left_alt)};
}

void queue_hit(int32_t hit) {
    if (model.hits.size() == key_hit_capacity) model.hits.pop_front();
    model.hits.push_back(hit);
}

void model_down(int32_t code) {
    if (code == 0) code = key_character_0;
    const bool insert_was_held = held(key_insert);
    const bool scroll_lock_was_held = held(key_scroll_lock);
    add_held(code);
    const Modifiers m = model_modifiers();
    if (code == key_break || (code == key_scroll_lock && m.ctrl)) {
        model.exit_requested = true;
        return;
    }
    if (code == key_pause || (code == key_num_lock && m.ctrl)) {
        model.paused = true;
        return;
    }
    if (model.paused) {
        model.paused = false;
        return;
    }
    if (m.alt && code == 13) {
        ++model.fullscreen_cycles;
        return;
    }
    queue_hit(code);
    if (code >= key_num_lock && code <= key_left_alt) {
        if (code == key_scroll_lock && !scroll_lock_was_held && !m.ctrl) switch_held(state_scroll_lock_on);
        return;
    }
    if (code == key_insert && !insert_was_held && !m.alt && !m.shift && !m.ctrl) {
        switch_held(state_insert_on);
    }
    const KeystrokeEntry entry = keystroke_for(code, m);
    if (code >= 'a' && code <= 'z' && !m.shift && !m.ctrl && !m.alt) {
        FUZZ_CHECK(entry.present && entry.character == code && entry.scan != 0,
                   "a plain letter %c gives no keystroke of its own", code);
    }
    if (entry.present && model.keystrokes.size() < keystroke_capacity) model.keystrokes.push_back(entry);
}

void model_up(int32_t code) {
    if (code == 0) code = key_character_0;
    remove_held(code);
    queue_hit(-code);
}

// The window layer's character report, adjusted with the Ctrl and Shift it has reported held.
int32_t model_character_code(unsigned char c) {
    const Modifiers m = model_modifiers();
    if (m.ctrl && c == 10) return 13;
    if (m.ctrl && c >= 1 && c <= 26) return c + (m.shift ? 64 : 96);
    if (c == 127) return key_delete;
    return c;
}

struct SpecialKey {
    int number;
    int32_t code;  // 0: not mapped, ignored entirely
};
constexpr auto special_keys = std::to_array<SpecialKey>({
    {1, 0x3B00},   {5, 0x3F00},   {10, 0x4400},  {11, 0x8500},  {12, 0x8600},  {100, 0x4B00},
    {101, 0x4800}, {102, 0x4D00}, {103, 0x5000}, {104, 0x4900}, {105, 0x5100}, {106, 0x4700},
    {107, 0x4F00}, {108, 0x5200}, {112, key_left_shift},  {113, key_right_shift},
    {114, key_left_ctrl},  {115, key_right_ctrl},  {116, key_left_alt},  {117, key_right_alt},
    {0, 0},        {13, 0},       {109, 0},      {111, 0},      {118, 0},      {-4, 0},
});

// Codes whose held state is compared after every event.
constexpr auto watched_codes = std::to_array<int32_t>({
    'a', 'A', 13, 27, 200013, 0x5200, 0x5300, 0x4800, key_pause, key_break, key_num_lock,
    key_caps_lock, key_scroll_lock, key_left_shift, key_right_shift, key_left_ctrl, key_right_ctrl,
    key_left_alt, key_right_alt, state_scroll_lock_on, state_insert_on,
});

void check_signals(const char* after) {
    RuntimeSignals& signals = runtime_signals();
    FUZZ_CHECK(((signals.pause_requested.load() & 1) != 0) == model.paused, "after %s: paused %d, model %d",
               after, signals.pause_requested.load(), model.paused);
    FUZZ_CHECK((signals.exit_now.load() != 0) == model.exit_requested, "after %s: exit_now %d, model %d",
               after, signals.exit_now.load(), model.exit_requested);
    FUZZ_CHECK(fullscreen_cycles == model.fullscreen_cycles, "after %s: %d full-screen cycles, model %d",
               after, fullscreen_cycles, model.fullscreen_cycles);
    for (const int32_t code : watched_codes) {
        FUZZ_CHECK(key_is_down(code) == held(code), "after %s: key_is_down(%d) = %d, model %d", after, code,
                   key_is_down(code), held(code));
    }
}

void check_read_key() {
    const uint32_t mark = temp_mark();
    const RtString* s = read_key();
    if (model.keystrokes.empty()) {
        FUZZ_CHECK(s->length == 0, "read_key gave %d bytes from an empty ring", s->length);
    } else {
        const KeystrokeEntry e = model.keystrokes.front();
        model.keystrokes.pop_front();
        const int32_t length = e.character != 0 || e.scan == 0 ? 1 : 2;
        FUZZ_CHECK(s->length == length, "read_key gave %d bytes for (%d, %d)", s->length, e.character, e.scan);
        const uint8_t first = static_cast<uint8_t>(s->data[0]);
        FUZZ_CHECK(first == e.character, "read_key gave character %d, model (%d, %d)", first, e.character,
                   e.scan);
        if (length == 2) {
            const uint8_t second = static_cast<uint8_t>(s->data[1]);
            FUZZ_CHECK(second == e.scan, "read_key gave scan %d, model %d", second, e.scan);
        }
    }
    release_temporaries(mark);
}

void check_read_key_hit() {
    const int32_t hit = read_key_hit();
    if (model.hits.empty()) {
        FUZZ_CHECK(hit == 0, "read_key_hit gave %d from an empty queue", hit);
        return;
    }
    FUZZ_CHECK(hit == model.hits.front(), "read_key_hit gave %d, model %d (%zu queued)", hit,
               model.hits.front(), model.hits.size());
    model.hits.pop_front();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    fresh_fuzz_runtime();
    platform::seams().key_states = scripted_key_states;
    os_keys = {};
    reset_key_queues();
    reset_key_intake();
    key_intake_hooks().cycle_fullscreen = count_fullscreen_cycle;
    model = Model{};
    fullscreen_cycles = 0;

    FuzzedDataProvider data(bytes, size);
    while (data.remaining_bytes() > 0) {
        const char* what = "";
        switch (data.ConsumeIntegralInRange(0, 9)) {
            case 0:
            case 1: {
                const unsigned char c = data.ConsumeIntegral<unsigned char>();
                const bool down = data.ConsumeBool();
                const int32_t code = model_character_code(c);
                on_character_key(c, down);
                down ? model_down(code) : model_up(code);
                what = "a character key";
                break;
            }
            case 2: {
                const SpecialKey key = special_keys[data.ConsumeIntegralInRange<size_t>(0, special_keys.size() - 1)];
                const bool down = data.ConsumeBool();
                on_special_key(key.number, down);
                if (key.code != 0) down ? model_down(key.code) : model_up(key.code);
                what = "a special key";
                break;
            }
            case 3: {
                const bool ctrl = data.ConsumeBool();
                const bool down = data.ConsumeBool();
                on_pause_key(ctrl, down);
                const int32_t code = ctrl ? key_break : key_pause;
                down ? model_down(code) : model_up(code);
                what = "Pause or Break";
                break;
            }
            case 4: {  // the Scroll Lock key itself, which the window layer reports as a press
                const bool down = data.ConsumeBool();
                down ? handle_key_down(key_scroll_lock) : handle_key_up(key_scroll_lock);
                down ? model_down(key_scroll_lock) : model_up(key_scroll_lock);
                what = "Scroll Lock";
                break;
            }
            case 5: {  // the operating system's toggles change; housekeeping brings them in
                os_keys.scroll_lock = data.ConsumeBool();
                os_keys.caps_lock = data.ConsumeBool();
                os_keys.num_lock = data.ConsumeBool();
                synchronise_lock_keys();
                if (os_keys.scroll_lock != held(state_scroll_lock_on)) switch_held(state_scroll_lock_on);
                for (const auto& [on, code] : {std::pair{os_keys.caps_lock, key_caps_lock},
                                               std::pair{os_keys.num_lock, key_num_lock}}) {
                    if (on != held(code)) on ? model_down(code) : model_up(code);
                }
                what = "the lock synchronisation";
                break;
            }
            case 6: {  // a flood of one key, auto-repeated, past the size of either queue
                const unsigned char c = data.ConsumeIntegral<unsigned char>();
                const int count = data.ConsumeIntegralInRange(1, 9'000);
                const int32_t code = model_character_code(c);
                for (int i = 0; i < count; ++i) {
                    on_character_key(c, true);
                    model_down(code);
                }
                what = "a flood";
                break;
            }
            case 7:
            case 8:
                check_read_key();
                what = "read_key";
                break;
            default: {
                const int reads = data.ConsumeIntegralInRange(1, 40);
                for (int i = 0; i < reads; ++i) check_read_key_hit();
                what = "read_key_hit";
                break;
            }
        }
        check_signals(what);
    }
    // Nothing beyond the drop rules is lost: everything the model still holds comes out, in order.
    while (!model.hits.empty()) check_read_key_hit();
    FUZZ_CHECK(read_key_hit() == 0, "the hit queue holds more than the model");
    while (!model.keystrokes.empty()) check_read_key();
    check_read_key();
    return 0;
}
