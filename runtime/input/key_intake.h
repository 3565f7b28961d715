// Key intake: turns the window layer's key reports into runtime key codes, keeps the held keys and
// lock states, and for every press queues one key hit and at most one translated keystroke
// (key_queue.h). Pause, Break, Alt+Enter and the key that ends a pause have meanings of their own.
//
// Everything here runs on the window thread except synchronise_lock_keys (housekeeping thread);
// each entry point holds the key-intake mutex for its whole run and never blocks while holding it.
// The translation itself (characters, special keys, table lookup, status bytes) is a set of pure
// functions so it can be checked without a window or threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Key codes beyond the character and extended (scan x 256) ranges.
inline constexpr int32_t key_pause = 100019;
inline constexpr int32_t key_num_lock = 100300;     // held: Num Lock is on
inline constexpr int32_t key_caps_lock = 100301;    // held: Caps Lock is on
inline constexpr int32_t key_scroll_lock = 100302;  // the Scroll Lock key held down
inline constexpr int32_t key_right_shift = 100303;
inline constexpr int32_t key_left_shift = 100304;
inline constexpr int32_t key_right_ctrl = 100305;
inline constexpr int32_t key_left_ctrl = 100306;
inline constexpr int32_t key_right_alt = 100307;
inline constexpr int32_t key_left_alt = 100308;
inline constexpr int32_t key_sys_req = 100317;       // only read, for a status bit
inline constexpr int32_t key_break = 100318;
inline constexpr int32_t state_scroll_lock_on = 200011;  // a state, never a key hit
inline constexpr int32_t state_insert_on = 200012;       // a state, never a key hit
inline constexpr int32_t key_character_0 = 200013;       // stands for the character code 0
inline constexpr int32_t key_insert = 0x5200;
inline constexpr int32_t key_delete = 0x5300;

// The keys held down and the lock states that are on: no duplicates, in insertion order.
struct HeldKeys {
    std::vector<int32_t> codes;
};
bool held_keys_contain(const HeldKeys& held, int32_t code);
void held_keys_add(HeldKeys& held, int32_t code);     // a present code is left as it is
void held_keys_remove(HeldKeys& held, int32_t code);  // an absent code is ignored
void held_keys_switch(HeldKeys& held, int32_t code);  // add if absent, remove if present

struct Modifiers {
    bool shift = false, ctrl = false, alt = false;
};
Modifiers modifiers_of(const HeldKeys& held);

// One row of the translation table: the key, its scan code and the code produced with no
// modifier, Shift, Ctrl and Alt; the Num Lock columns serve keypad rows only. A produced code of 0
// means no entry; 256 or more is an extended key whose high byte is the scan code.
struct KeyTranslationRow {
    int32_t key = 0, scan = 0;
    int32_t plain = 0, shift = 0, ctrl = 0, alt = 0;
    int32_t num_lock = 0, reserved_1 = 0, reserved_2 = 0, num_lock_shift = 0;
};
// Rows 0-255 by character code, 256-511 by 256 + scan code, 512-527 keypad (unused here).
inline constexpr size_t key_translation_table_rows = 528;
const KeyTranslationRow& key_translation_row(size_t index);

// The keystroke a press leaves in the keystroke ring, if any.
struct KeystrokeEntry {
    bool present = false;
    uint8_t character = 0, scan = 0;
    bool operator==(const KeystrokeEntry&) const = default;
};
// The translation of one press with the modifiers held (no lock switching): a character or
// extended code, 200013 standing for character 0; codes above 65535 give no entry.
KeystrokeEntry keystroke_for(int32_t code, Modifiers held);

// The window layer's character report as a key code: Ctrl+10 becomes Enter, Ctrl+1..26 the letter
// (upper case with Shift), 127 the Delete key.
int32_t key_code_from_character(unsigned char character, bool ctrl, bool shift);
// The window layer's special-key number as a key code; 0 for a number that is not mapped.
int32_t key_code_from_special(int special_key);

// The three keyboard status bytes of the low-memory block for the given held keys.
struct KeyboardStatusBytes {
    uint8_t status_1 = 0, status_2 = 0, status_3 = 0;
    bool operator==(const KeyboardStatusBytes&) const = default;
};
KeyboardStatusBytes keyboard_status_bytes(const HeldKeys& held);

// The intake itself (each holds the key-intake mutex).
void handle_key_down(int32_t key_code);
void handle_key_up(int32_t key_code);
bool key_is_down(int32_t key_code);
void update_keyboard_flags();

// Start-up: samples the lock states and the physically held modifiers as presses, rewrites the
// status bytes, then empties both key queues so no key is left behind.
void sample_keyboard();
// Housekeeping (every even cycle): brings Scroll Lock (state only), Caps Lock and Num Lock (as
// press or release codes) in step with the operating system's toggles.
void synchronise_lock_keys();

// Entry points for the window layer's callbacks (window thread). The character is the one the
// window layer reports (Shift and Caps Lock already applied); modifiers come from the Shift and
// Ctrl keys the window layer has reported as held.
void on_character_key(unsigned char character, bool down);
void on_special_key(int glut_special_key, bool down);
// Pause, or Break when Ctrl is held (Ctrl+Pause), from the window layer's own key events.
void on_pause_key(bool ctrl_held, bool down);

// What Alt+Enter calls: set by the window when it opens (before that the press is only
// swallowed), replaceable by tests.
struct KeyIntakeHooks {
    void (*cycle_fullscreen)() = nullptr;
};
KeyIntakeHooks& key_intake_hooks();
// The same, under the key-intake mutex, for a thread other than the tests'.
void set_key_intake_hooks(const KeyIntakeHooks& hooks);

// A fresh intake for tests: nothing held, default hooks. Leaves the queues to reset_key_queues().
void reset_key_intake();
