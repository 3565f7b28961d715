// Key intake from the window layer's reports to both queues, the translation pieces on their own,
// the status bytes, the start-up sampling and the lock-key synchronisation. Expected values are
// the key codes, translations and special keys of a PC keyboard, typed by hand.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/signals.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/low_memory.h"
#include "tests/input/input_fixture.h"

namespace {

// The window layer's special-key numbers.
constexpr int special_f1 = 1, special_up_arrow = 101, special_insert = 108;
constexpr int special_shift_left = 112, special_shift_right = 113;
constexpr int special_ctrl_left = 114, special_alt_left = 116, special_alt_right = 117;

enum class Source { character, special, pause_key, break_key };
struct Event {
    Source source;
    int value;
    bool down;
};
Event character_down(int c) { return {Source::character, c, true}; }
Event character_up(int c) { return {Source::character, c, false}; }
Event special_down(int n) { return {Source::special, n, true}; }
Event special_up(int n) { return {Source::special, n, false}; }

void deliver(const Event& event) {
    switch (event.source) {
    case Source::character:
        on_character_key(static_cast<unsigned char>(event.value), event.down);
        break;
    case Source::special:
        on_special_key(event.value, event.down);
        break;
    case Source::pause_key:
        on_pause_key(false, event.down);
        break;
    case Source::break_key:
        on_pause_key(true, event.down);
        break;
    }
}

using Keystrokes = std::vector<std::pair<int, int>>;

struct Case {
    const char* name;
    std::vector<Event> events;
    std::vector<int32_t> hits;
    Keystrokes keystrokes;
    uint8_t pause_requested = 0;
    uint8_t exit_now = 0;
    int fullscreen_cycles = 0;
};

using KeyIntake = FreshInput;

TEST_F(KeyIntake, ReportsReachBothQueues) {
    const Case cases[] = {
        {"a, pressed and released", {character_down('a'), character_up('a')}, {97, -97},
         {{97, 0x1E}}},
        {"Enter", {character_down(13)}, {13}, {{13, 0x1C}}},
        {"Ctrl+Enter (reported as 10)", {special_down(special_ctrl_left), character_down(10)},
         {100306, 13}, {{10, 0x1C}}},
        {"Backspace", {character_down(8)}, {8}, {{8, 0x0E}}},
        {"Ctrl+H: the letter as hit, the control code as keystroke",
         {special_down(special_ctrl_left), character_down(8)}, {100306, 104}, {{8, 0x23}}},
        {"Ctrl+Shift+A (reported as 1)",
         {special_down(special_shift_right), special_down(special_ctrl_left), character_down(1)},
         {100303, 100306, 65}, {{1, 0x1E}}},
        {"Shift+Tab", {special_down(special_shift_left), character_down(9)}, {100304, 9},
         {{0, 0x0F}}},
        {"Alt+Tab has no keystroke", {special_down(special_alt_left), character_down(9)},
         {100308, 9}, {}},
        {"Alt+a", {special_down(special_alt_right), character_down('a')}, {100307, 97},
         {{0, 0x1E}}},
        {"Ctrl+2", {special_down(special_ctrl_left), character_down('2')}, {100306, '2'},
         {{0, 0x03}}},
        {"Ctrl+1 has no keystroke", {special_down(special_ctrl_left), character_down('1')},
         {100306, '1'}, {}},
        {"Up", {special_down(special_up_arrow), special_up(special_up_arrow)}, {0x4800, -0x4800},
         {{0, 0x48}}},
        {"Shift+F1", {special_down(special_shift_left), special_down(special_f1)},
         {100304, 0x3B00}, {{0, 0x54}}},
        {"left Shift alone", {special_down(special_shift_left), special_up(special_shift_left)},
         {100304, -100304}, {}},
        {"character 0", {character_down(0), character_up(0)}, {200013, -200013}, {{0, 0}}},
        {"Delete arrives as 127", {character_down(127), character_up(127)}, {0x5300, -0x5300},
         {{0, 0x53}}},
        {"a character without a row", {character_down(0xE9)}, {0xE9}, {{0xE9, 0}}},
        {"unmapped special keys are ignored",
         {special_down(109), special_down(111), special_down(0), special_up(118)}, {}, {}},
        {"Pause, then a key: it only resumes, its release is still queued",
         {{Source::pause_key, 0, true}, {Source::pause_key, 0, false}, character_down('x'),
          character_up('x')},
         {-100019, -'x'}, {}},
        {"Pause holds until the next key", {{Source::pause_key, 0, true}}, {}, {}, 1},
        {"Break", {{Source::break_key, 0, true}}, {}, {}, 0, 1},
        {"Alt+Enter cycles full screen and queues nothing",
         {special_down(special_alt_left), character_down(13)}, {100308}, {}, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        for (const Event& event : c.events) deliver(event);
        EXPECT_EQ(drain_key_hits(), c.hits);
        EXPECT_EQ(drain_keystrokes(), c.keystrokes);
        EXPECT_EQ(runtime_signals().pause_requested.load(), c.pause_requested);
        EXPECT_EQ(runtime_signals().exit_now.load(), c.exit_now);
        EXPECT_EQ(fullscreen_cycles(), c.fullscreen_cycles);
    }
}

TEST_F(KeyIntake, PauseSetsTheEventFlag) {
    on_pause_key(false, true);
    EXPECT_EQ(runtime_signals().event_pending.load(), 1);
    EXPECT_EQ(runtime_signals().exit_now.load(), 0);
}

TEST_F(KeyIntake, InsertSwitchesInsertModeOncePerPressAndNotWithShift) {
    auto insert_mode = [] { return (low_memory()[keyboard_status_1_offset] & 0x80) != 0; };
    on_special_key(special_insert, true);
    EXPECT_TRUE(insert_mode());
    EXPECT_TRUE(key_is_down(state_insert_on));
    on_special_key(special_insert, true);  // auto-repeat
    EXPECT_TRUE(insert_mode());
    on_special_key(special_insert, false);
    EXPECT_TRUE(insert_mode());
    on_special_key(special_insert, true);
    on_special_key(special_insert, false);
    EXPECT_FALSE(insert_mode());

    on_special_key(special_shift_left, true);
    on_special_key(special_insert, true);
    on_special_key(special_insert, false);
    EXPECT_FALSE(insert_mode());
    // Every press, the repeat included, still leaves its keystroke.
    EXPECT_EQ(drain_keystrokes(), Keystrokes(4, {0, 0x52}));
}

TEST_F(KeyIntake, StatusBytesFollowTheHeldKeys) {
    struct StatusCase {
        const char* name;
        std::vector<int32_t> held;
        KeyboardStatusBytes expected;
    };
    const StatusCase cases[] = {
        {"nothing", {}, {0x00, 0x00, 0x10}},
        {"right Shift", {100303}, {0x01, 0x00, 0x10}},
        {"left Shift", {100304}, {0x02, 0x00, 0x10}},
        {"left Ctrl", {100306}, {0x04, 0x01, 0x10}},
        {"right Ctrl", {100305}, {0x04, 0x00, 0x11}},
        {"left Alt", {100308}, {0x08, 0x02, 0x10}},
        {"right Alt", {100307}, {0x08, 0x00, 0x12}},
        {"locks and insert mode", {200011, 100300, 100301, 200012}, {0xF0, 0x00, 0x10}},
        {"SysReq, Pause, Scroll Lock and Insert held", {100317, 100019, 100302, 0x5200},
         {0x00, 0x9C, 0x10}},
    };
    for (const StatusCase& c : cases) {
        HeldKeys held;
        for (const int32_t code : c.held) held_keys_add(held, code);
        EXPECT_EQ(keyboard_status_bytes(held), c.expected) << c.name;
    }
}

TEST_F(KeyIntake, ShiftPressSetsStatusByteOneUntilReleased) {
    uint8_t* memory = low_memory();
    on_special_key(special_shift_left, true);
    EXPECT_EQ(memory[keyboard_status_1_offset], 0x02);
    EXPECT_EQ(memory[keyboard_status_3_offset], 0x10);
    on_special_key(special_shift_left, false);
    EXPECT_EQ(memory[keyboard_status_1_offset], 0x00);
}

TEST_F(KeyIntake, HeldKeysKeepOrderWithoutDuplicates) {
    HeldKeys held;
    held_keys_add(held, 5);
    held_keys_add(held, 7);
    held_keys_add(held, 5);
    held_keys_add(held, 9);
    held_keys_remove(held, 7);
    held_keys_remove(held, 42);
    EXPECT_EQ(held.codes, (std::vector<int32_t>{5, 9}));
    held_keys_switch(held, 5);
    held_keys_switch(held, 11);
    EXPECT_EQ(held.codes, (std::vector<int32_t>{9, 11}));
}

TEST_F(KeyIntake, CharacterAdjustment) {
    struct AdjustCase {
        int character;
        bool ctrl, shift;
        int32_t expected;
    };
    const AdjustCase cases[] = {
        {10, true, false, 13},    {10, false, false, 10},   {8, true, false, 'h'},
        {8, true, true, 'H'},     {1, true, false, 'a'},    {26, true, false, 'z'},
        {26, false, false, 26},   {27, true, false, 27},    {127, false, false, 0x5300},
        {127, true, false, 0x5300}, {0, false, false, 0},   {'a', false, true, 'a'},
    };
    for (const AdjustCase& c : cases) {
        EXPECT_EQ(key_code_from_character(static_cast<unsigned char>(c.character), c.ctrl,
                                          c.shift),
                  c.expected)
            << c.character << " ctrl " << c.ctrl << " shift " << c.shift;
    }
}

TEST_F(KeyIntake, SpecialKeyMap) {
    const std::pair<int, int32_t> mapped[] = {
        {1, 0x3B00},   {2, 0x3C00},   {3, 0x3D00},   {4, 0x3E00},   {5, 0x3F00},
        {6, 0x4000},   {7, 0x4100},   {8, 0x4200},   {9, 0x4300},   {10, 0x4400},
        {11, 0x8500},  {12, 0x8600},  {100, 0x4B00}, {101, 0x4800}, {102, 0x4D00},
        {103, 0x5000}, {104, 0x4900}, {105, 0x5100}, {106, 0x4700}, {107, 0x4F00},
        {108, 0x5200}, {112, 100304}, {113, 100303}, {114, 100306}, {115, 100305},
        {116, 100308}, {117, 100307},
    };
    for (const auto& [number, code] : mapped) EXPECT_EQ(key_code_from_special(number), code) << number;
    for (const int number : {0, 13, 99, 109, 110, 111, 118, 119, 200}) {
        EXPECT_EQ(key_code_from_special(number), 0) << number;
    }
}

// The translation table against the keyboard's codes typed by hand, key by key: scan code, Ctrl
// and Alt codes (0 = none). Both characters of a key share these.
TEST_F(KeyIntake, TranslationTableMatchesTheKeyboard) {
    struct KeyCase {
        const char* characters;
        int scan;
        int32_t ctrl, alt;
    };
    const KeyCase keys[] = {
        {"1!", 0x02, 0, 0x7800},  {"2@", 0x03, 0x0300, 0x7900}, {"3#", 0x04, 0, 0x7A00},
        {"4$", 0x05, 0, 0x7B00},  {"5%", 0x06, 0, 0x7C00},      {"6^", 0x07, 30, 0x7D00},
        {"7&", 0x08, 0, 0x7E00},  {"8*", 0x09, 0, 0x7F00},      {"9(", 0x0A, 0, 0x8000},
        {"0)", 0x0B, 0, 0x8100},  {"-_", 0x0C, 31, 0x8200},     {"=+", 0x0D, 0, 0x8300},
        {"[{", 0x1A, 27, 0x1A00}, {"]}", 0x1B, 29, 0x1B00},     {";:", 0x27, 0, 0x2700},
        {"'\"", 0x28, 0, 0x2800}, {"`~", 0x29, 0, 0x2900},      {"\\|", 0x2B, 28, 0x2B00},
        {",<", 0x33, 0, 0x3300},  {".>", 0x34, 0, 0x3400},      {"/?", 0x35, 0, 0x3500},
    };
    std::vector<bool> seen(256, false);
    auto check_character = [&](int character, int scan, int32_t ctrl, int32_t alt) {
        const KeyTranslationRow& row = key_translation_row(static_cast<size_t>(character));
        EXPECT_EQ(row.key, character) << character;
        EXPECT_EQ(row.scan, scan) << character;
        EXPECT_EQ(row.plain, character) << character;
        EXPECT_EQ(row.shift, character) << character;
        EXPECT_EQ(row.ctrl, ctrl) << character;
        EXPECT_EQ(row.alt, alt) << character;
        seen[static_cast<size_t>(character)] = true;
    };
    for (const KeyCase& key : keys) {
        for (const char c : std::string(key.characters)) {
            check_character(static_cast<unsigned char>(c), key.scan, key.ctrl, key.alt);
        }
    }
    const std::string letter_rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    const int first_scan[] = {0x10, 0x1E, 0x2C};
    for (int r = 0; r < 3; ++r) {
        for (size_t i = 0; i < letter_rows[r].size(); ++i) {
            const int letter = letter_rows[r][i];
            const int scan = first_scan[r] + static_cast<int>(i);
            check_character(letter, scan, letter - 'a' + 1, scan * 256);
            check_character(letter - 32, scan, letter - 'a' + 1, scan * 256);
        }
    }
    // The five control keys: no modifier, Shift, Ctrl, Alt.
    struct ControlCase {
        int character, scan;
        int32_t plain, shift, ctrl, alt;
    };
    const ControlCase controls[] = {
        {8, 0x0E, 8, 8, 127, 0x0E00},   {9, 0x0F, 9, 0x0F00, 0x9400, 0},
        {13, 0x1C, 13, 13, 10, 0},      {27, 0x01, 27, 27, 27, 0},
        {32, 0x39, 32, 32, 32, 0},
    };
    for (const ControlCase& c : controls) {
        const KeyTranslationRow& row = key_translation_row(static_cast<size_t>(c.character));
        EXPECT_EQ(row.scan, c.scan) << c.character;
        EXPECT_EQ(row.plain, c.plain) << c.character;
        EXPECT_EQ(row.shift, c.shift) << c.character;
        EXPECT_EQ(row.ctrl, c.ctrl) << c.character;
        EXPECT_EQ(row.alt, c.alt) << c.character;
        seen[static_cast<size_t>(c.character)] = true;
    }
    for (int character = 0; character < 256; ++character) {
        if (!seen[static_cast<size_t>(character)]) {
            EXPECT_EQ(key_translation_row(static_cast<size_t>(character)).scan, 0)
                << "character " << character << " should have no row";
        }
    }
}

TEST_F(KeyIntake, ExtendedRowsMatchTheKeyboard) {
    struct ExtendedCase {
        const char* name;
        int32_t code;
        int scan;
        int32_t shift, ctrl, alt;
    };
    std::vector<ExtendedCase> keys;
    for (int f = 0; f < 10; ++f) {
        const int scan = 0x3B + f;
        keys.push_back({"F1-F10", scan * 256, scan, (scan + 0x19) * 256, (scan + 0x23) * 256,
                        (scan + 0x2D) * 256});
    }
    const ExtendedCase others[] = {
        {"F11", 0x8500, 0x57, 0x8500, 0x8900, 0x8B00},
        {"F12", 0x8600, 0x58, 0x8600, 0x8A00, 0x8C00},
        {"Home", 0x4700, 0x47, 0x4700, 0x7700, 0x9700},
        {"Up", 0x4800, 0x48, 0x4800, 0x8D00, 0x9800},
        {"Page Up", 0x4900, 0x49, 0x4900, 0x8400, 0x9900},
        {"Left", 0x4B00, 0x4B, 0x4B00, 0x7300, 0x9B00},
        {"Right", 0x4D00, 0x4D, 0x4D00, 0x7400, 0x9D00},
        {"End", 0x4F00, 0x4F, 0x4F00, 0x7500, 0x9F00},
        {"Down", 0x5000, 0x50, 0x5000, 0x9100, 0xA000},
        {"Page Down", 0x5100, 0x51, 0x5100, 0x7600, 0xA100},
        {"Insert", 0x5200, 0x52, 0x5200, 0x9200, 0xA200},
        {"Delete", 0x5300, 0x53, 0x5300, 0x9300, 0xA300},
    };
    keys.insert(keys.end(), std::begin(others), std::end(others));
    std::vector<bool> seen(256, false);
    for (const ExtendedCase& key : keys) {
        const size_t index = 256 + static_cast<size_t>(key.code / 256);
        const KeyTranslationRow& row = key_translation_row(index);
        EXPECT_EQ(row.scan, key.scan) << key.name;
        EXPECT_EQ(row.plain, key.code) << key.name;
        EXPECT_EQ(row.shift, key.shift) << key.name;
        EXPECT_EQ(row.ctrl, key.ctrl) << key.name;
        EXPECT_EQ(row.alt, key.alt) << key.name;
        EXPECT_EQ(row.num_lock | row.reserved_1 | row.reserved_2 | row.num_lock_shift, 0) << key.name;
        seen[index - 256] = true;
    }
    for (size_t scan = 0; scan < 256; ++scan) {
        if (!seen[scan]) {
            EXPECT_EQ(key_translation_row(256 + scan).plain, 0) << "scan " << scan;
        }
    }
    for (size_t index = 512; index < key_translation_table_rows; ++index) {
        EXPECT_EQ(key_translation_row(index).plain, 0) << "keypad row " << index;
    }
}

TEST_F(KeyIntake, ColumnPrecedenceIsAltOverCtrlOverShift) {
    struct PrecedenceCase {
        Modifiers held;
        KeystrokeEntry expected;
    };
    const PrecedenceCase cases[] = {
        {{false, false, false}, {true, 'q', 0x10}},
        {{true, false, false}, {true, 'q', 0x10}},
        {{true, true, false}, {true, 17, 0x10}},    // Ctrl beats Shift
        {{true, true, true}, {true, 0, 0x10}},      // Alt beats both: 0x1000
        {{false, true, true}, {true, 0, 0x10}},
    };
    for (const PrecedenceCase& c : cases) {
        EXPECT_EQ(keystroke_for('q', c.held), c.expected)
            << c.held.shift << c.held.ctrl << c.held.alt;
    }
    EXPECT_EQ(keystroke_for(0x5400, {}), (KeystrokeEntry{true, 0, 0x54}));  // extended, no row
    EXPECT_EQ(keystroke_for(100304, {}), KeystrokeEntry{});
    EXPECT_EQ(keystroke_for(key_character_0, {}), (KeystrokeEntry{true, 0, 0}));
}

TEST_F(KeyIntake, StartUpSamplingLeavesStateButNoKeys) {
    FakeInputPlatform& fake = fake_input_platform();
    fake.key_states.scroll_lock = true;
    fake.key_states.caps_lock = true;
    fake.key_states.left_shift = true;
    fake.key_states.right_alt = true;
    key_buffer_append('z', 0x2C);  // something left over
    sample_keyboard();
    EXPECT_TRUE(key_is_down(state_scroll_lock_on));
    EXPECT_TRUE(key_is_down(key_caps_lock));
    EXPECT_TRUE(key_is_down(key_left_shift));
    EXPECT_TRUE(key_is_down(key_right_alt));
    EXPECT_FALSE(key_is_down(key_num_lock));
    const uint8_t* memory = low_memory();
    EXPECT_EQ(memory[keyboard_status_1_offset], 0x02 | 0x08 | 0x10 | 0x40);
    EXPECT_EQ(memory[keyboard_status_3_offset], 0x12);
    EXPECT_EQ(read_key_hit(), 0);
    EXPECT_EQ(next_keystroke(), "");
}

TEST_F(KeyIntake, StartUpSamplingSeesAHeldScrollLockKey) {
    FakeInputPlatform& fake = fake_input_platform();
    fake.key_states.scroll_lock_key = true;
    fake.key_states.left_ctrl = true;  // sampled after Scroll Lock: no Break at start-up
    sample_keyboard();
    EXPECT_TRUE(key_is_down(key_scroll_lock));
    EXPECT_EQ(low_memory()[keyboard_status_2_offset] & 0x10, 0x10);
    EXPECT_EQ(runtime_signals().exit_now.load(), 0);
    EXPECT_EQ(read_key_hit(), 0);
    // The press may switch the Scroll Lock state; the next synchronisation puts it back in step
    // with the operating system's toggle, here off.
    synchronise_lock_keys();
    EXPECT_FALSE(key_is_down(state_scroll_lock_on));
    EXPECT_EQ(low_memory()[keyboard_status_1_offset] & 0x10, 0);
}

TEST_F(KeyIntake, LockSynchronisationFollowsTheToggles) {
    FakeInputPlatform& fake = fake_input_platform();
    synchronise_lock_keys();
    EXPECT_EQ(read_key_hit(), 0);

    fake.key_states.caps_lock = true;
    fake.key_states.num_lock = true;
    fake.key_states.scroll_lock = true;
    synchronise_lock_keys();
    EXPECT_EQ(drain_key_hits(), (std::vector<int32_t>{100301, 100300}));
    EXPECT_EQ(low_memory()[keyboard_status_1_offset], 0x10 | 0x20 | 0x40);
    synchronise_lock_keys();  // no change, nothing queued
    EXPECT_EQ(read_key_hit(), 0);

    fake.key_states.caps_lock = false;
    fake.key_states.scroll_lock = false;
    synchronise_lock_keys();
    EXPECT_EQ(drain_key_hits(), (std::vector<int32_t>{-100301}));
    EXPECT_EQ(low_memory()[keyboard_status_1_offset], 0x20);
    EXPECT_EQ(next_keystroke(), "");
}

}  // namespace
